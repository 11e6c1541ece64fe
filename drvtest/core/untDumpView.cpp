#include "untDumpView.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "untCommand.h"
#include "untError.h"
#include "untFile.h"
#include "untInteger.h"
#include "untText.h"

namespace {

std::wstring Hex(uint64_t value, int digits) {
  static const wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring text;
  do {
    text.insert(text.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0 || static_cast<int>(text.size()) < digits);
  return text;
}

}  // namespace

int DumpViewRows(size_t size) {
  const size_t rows = size / kDumpViewBytesPerRow + (size % kDumpViewBytesPerRow != 0 ? 1 : 0);
  return rows == 0 ? 1 : static_cast<int>(rows);
}

std::wstring DumpViewCell(std::string_view data, int col, int row) {
  if (col < 0 || col >= kDumpViewColumns || row < 0) return {};
  if (row == 0) return col == 0 ? std::wstring() : Hex(static_cast<unsigned>(col - 1), 2);
  const size_t first = static_cast<size_t>(row - 1) * kDumpViewBytesPerRow;
  if (col == 0) return DumpOffsetText(first);
  const size_t at = first + static_cast<size_t>(col - 1);
  if (at >= data.size()) return {};
  return Hex(static_cast<unsigned char>(data[at]), 2);
}

std::wstring DumpOffsetText(uint64_t offset) { return Hex(offset, 6); }

TDumpCell DumpCellOf(uint64_t offset) {
  return {static_cast<int>(offset % kDumpViewBytesPerRow) + 1, static_cast<int>(offset / kDumpViewBytesPerRow) + 1};
}

uint64_t DumpOffsetOf(int col, int row) {
  return static_cast<uint64_t>(row - 1) * kDumpViewBytesPerRow + static_cast<uint64_t>(col - 1);
}

std::wstring DumpCellsHex(std::string_view data, uint64_t first, uint64_t last, int leftCol, int rightCol) {
  std::wstring text;
  if (data.empty() || first > last) return text;
  last = std::min<uint64_t>(last, data.size() - 1);
  const int firstRow = DumpCellOf(first).Row;
  for (int row = firstRow; row <= DumpCellOf(last).Row; ++row) {
    const uint64_t from = std::max(first, DumpOffsetOf(leftCol, row));
    const uint64_t to = std::min(last, DumpOffsetOf(rightCol, row));
    if (row != firstRow) text += L"\r\n";
    if (from <= to) text += BytesToHexText(data.substr(static_cast<size_t>(from), static_cast<size_t>(to - from + 1)));
  }
  return text;
}

uint64_t ParseDumpOffset(std::wstring_view text) {
  std::wstring_view digits = TrimBlanks(text);
  if (!digits.empty() && digits.front() == L'$') digits.remove_prefix(1);
  else if (digits.size() > 2 && digits[0] == L'0' && (digits[1] == L'x' || digits[1] == L'X')) digits.remove_prefix(2);
  uint64_t value = 0;
  bool ok = !digits.empty() && digits.size() <= 16;
  for (wchar_t c : digits) {
    const int d = HexDigitValue(c);
    if (d < 0) ok = false;
    value = value << 4 | static_cast<unsigned>(d & 0xF);
  }
  if (!ok) throw EConvertError(Format(L"\"%ls\" не является шестнадцатеричным числом", std::wstring(text).c_str()));
  return value;
}

TCompareResult CompareWithFile(std::string_view data, const std::wstring& fileName) {
  TFileReader file(fileName);
  if (file.Size() != data.size()) throw Exception(L"Размеры файлов отличаются.");
  std::vector<char> buffer(1 << 20);
  size_t at = 0;
  for (;;) {
    const size_t got = file.Read(buffer.data(), buffer.size());
    if (got == 0) break;
    // A file that grew after its size was taken is not the data either.
    if (got > data.size() - at || std::memcmp(buffer.data(), data.data() + at, got) != 0)
      return TCompareResult::Different;
    at += got;
  }
  return at == data.size() ? TCompareResult::Equal : TCompareResult::Different;
}
