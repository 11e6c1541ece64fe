#include "untDumpView.h"

#include <cstring>
#include <vector>

#include "untError.h"
#include "untFile.h"

namespace {

std::wstring Hex(unsigned value, int digits) {
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
  if (col == 0) return Hex(static_cast<unsigned>(first), 6);
  const size_t at = first + static_cast<size_t>(col - 1);
  if (at >= data.size()) return {};
  return Hex(static_cast<unsigned char>(data[at]), 2);
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
