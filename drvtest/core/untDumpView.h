#pragma once
// What the dump viewer shows and compares: a byte stream as a table of 16
// bytes a row under a header row, and the comparison of the stream with a
// file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr int kDumpViewBytesPerRow = 16;
inline constexpr int kDumpViewColumns = kDumpViewBytesPerRow + 1;

// Data rows of the table (not the header): one per 16 bytes begun, at least one.
int DumpViewRows(size_t size);

// The text of a cell: row 0 is the header ("" then "00" .. "0F"); in the
// other rows column 0 is the offset of the row's first byte (at least six
// upper-case hex digits) and columns 1..16 its bytes ("" past the end).
std::wstring DumpViewCell(std::string_view data, int col, int row);

// An offset as the table writes it: at least six upper-case hex digits.
std::wstring DumpOffsetText(uint64_t offset);

// The cell that shows a byte, and the byte a cell shows (a data cell: column
// 1..16, row 1 on).
struct TDumpCell {
  int Col, Row;
};
TDumpCell DumpCellOf(uint64_t offset);
uint64_t DumpOffsetOf(int col, int row);

// The bytes from offset `first` to `last` (both included) that lie in the
// columns `leftCol`..`rightCol`, as the programs write hex ("01 FF "), one
// line a row of the table, lines ending with CR LF but the last: a block of
// cells selected in the table, or a run of bytes (columns 1..16). Bytes past
// the end of the data are left out.
std::wstring DumpCellsHex(std::string_view data, uint64_t first, uint64_t last, int leftCol = 1,
                          int rightCol = kDumpViewBytesPerRow);

// An offset typed by the user: hexadecimal digits, optionally after "$" or
// "0x", blanks around. Raises EConvertError for any other text.
uint64_t ParseDumpOffset(std::wstring_view text);

enum class TCompareResult { Equal, Different };

// The file against the data. Raises Exception "Размеры файлов отличаются."
// when the sizes differ (nothing else is compared) and EInOutError when the
// file cannot be read. The file is read piece by piece, never whole.
TCompareResult CompareWithFile(std::string_view data, const std::wstring& fileName);
