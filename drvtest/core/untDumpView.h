#pragma once
// What the dump viewer shows and compares: a byte stream as a table of 16
// bytes a row under a header row, and the comparison of the stream with a
// file.
#include <cstddef>
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

enum class TCompareResult { Equal, Different };

// The file against the data. Raises Exception "Размеры файлов отличаются."
// when the sizes differ (nothing else is compared) and EInOutError when the
// file cannot be read. The file is read piece by piece, never whole.
TCompareResult CompareWithFile(std::string_view data, const std::wstring& fileName);
