#include "untDumpDiff.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "untCommand.h"
#include "untDumpView.h"
#include "untText.h"

namespace {

uint64_t Load64(const char* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// The first index from `at` on where the two differ; `end` when none does.
// Eight bytes at a time: equal stretches of a dump are long.
size_t FirstDifferent(const char* a, const char* b, size_t at, size_t end) {
  while (end - at >= 8) {
    const uint64_t x = Load64(a + at) ^ Load64(b + at);
    if (x != 0) {
      if constexpr (std::endian::native == std::endian::little)
        return at + static_cast<size_t>(std::countr_zero(x)) / 8;
      else
        return at + static_cast<size_t>(std::countl_zero(x)) / 8;
    }
    at += 8;
  }
  while (at < end && a[at] == b[at]) ++at;
  return at;
}

// The first index from `at` on where the two agree again; `end` when none does.
size_t FirstEqual(const char* a, const char* b, size_t at, size_t end) {
  while (at < end && a[at] != b[at]) ++at;
  return at;
}

std::wstring Preview(std::string_view bytes, const TDiffRange& range) {
  if (range.Offset >= bytes.size()) return {};
  const size_t n = static_cast<size_t>(std::min<uint64_t>(range.Length, kDumpDiffPreviewBytes));
  std::wstring text = BytesToHexText(bytes.substr(static_cast<size_t>(range.Offset), n));
  if (range.Length > kDumpDiffPreviewBytes) text += L"...";
  else if (!text.empty()) text.pop_back();
  return text;
}

}  // namespace

TDumpDiff::TDumpDiff(std::string_view data, std::string_view file) {
  const size_t common = std::min(data.size(), file.size());
  const char* a = data.data();
  const char* b = file.data();
  size_t at = 0;
  while ((at = FirstDifferent(a, b, at, common)) < common) {
    const size_t end = FirstEqual(a, b, at + 1, common);
    Add(at, end - at);
    at = end;
  }
  if (data.size() != file.size()) {
    FTail = {common, std::max(data.size(), file.size()) - common};
    FTailSide = data.size() > file.size() ? TDiffSide::DataOnly : TDiffSide::FileOnly;
    FDifferentBytes += FTail.Length;
  }
}

void TDumpDiff::Add(uint64_t offset, uint64_t length) {
  if (FCount % kBlockRanges == 0) FBlocks.push_back(std::make_unique<TDiffRange[]>(kBlockRanges));
  FBlocks.back()[FCount % kBlockRanges] = {offset, length};
  ++FCount;
  FDifferentBytes += length;
}

TDiffRange TDumpDiff::Range(size_t index) const {
  if (index < FCount) return At(index);
  return index == FCount ? FTail : TDiffRange{};
}

TDiffSide TDumpDiff::Side(size_t index) const { return index < FCount ? TDiffSide::Both : FTailSide; }

size_t TDumpDiff::NextAfter(uint64_t offset) const {
  // Ranges are in offset order, the tail last: a binary search over them.
  size_t lo = 0, hi = Count();
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    if (Range(mid).Offset <= offset) lo = mid + 1;
    else hi = mid;
  }
  return lo;
}

size_t TDumpDiff::PreviousBefore(uint64_t offset) const {
  size_t lo = 0, hi = Count();
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    if (Range(mid).Offset < offset) lo = mid + 1;
    else hi = mid;
  }
  return lo == 0 ? Count() : lo - 1;
}

size_t TDumpDiff::MemoryBytes() const {
  return sizeof *this + FBlocks.capacity() * sizeof FBlocks[0] + FBlocks.size() * kBlockRanges * sizeof(TDiffRange);
}

std::wstring DumpDiffCell(const TDumpDiff& diff, std::string_view data, std::string_view file, int col, int row) {
  if (row == 0) {
    static const wchar_t* const kHeaders[kDumpDiffColumns] = {L"Смещение", L"Длина", L"Данные", L"Файл"};
    return col >= 0 && col < kDumpDiffColumns ? kHeaders[col] : L"";
  }
  if (row < 0 || static_cast<size_t>(row) > diff.Count()) return {};
  const size_t index = static_cast<size_t>(row - 1);
  const TDiffRange range = diff.Range(index);
  const TDiffSide side = diff.Side(index);
  switch (col) {
    case 0: return DumpOffsetText(range.Offset);
    case 1: return IntToStr(static_cast<long long>(range.Length));
    case 2: return side == TDiffSide::FileOnly ? L"только в файле" : Preview(data, range);
    case 3: return side == TDiffSide::DataOnly ? L"только в данных" : Preview(file, range);
  }
  return {};
}
