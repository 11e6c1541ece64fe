#pragma once
// The two table pages: "Структура таблиц" lists every table with its fields;
// "Таблицы" runs one driver operation on a table, row and field the user
// typed and shows what came back.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Driver.h"
#include "untStatus.h"  // TLineSink

// FieldType in full: 0 "число", 1 "строка", any other its decimal number.
std::wstring FieldTypeText(int32_t type);

// The listing, line by line into `add`: a line of 45 "-", then per table
// " %2d. %s, рядов %4d, полей %2d" between two dash lines and a line
// " %2d. %-20s %s, %2d" per field, and a dash line after the last table. The
// walk starts at table 1 and ends when GetTableStruct leaves ResultCode 130,
// or after table 255 (table numbers are one byte on the device). Any other
// refusal raises ECustomError; the lines added so far stay and no closing
// dash line follows.
void ReadTablesListing(TDriver& driver, const TLineSink& add);
inline constexpr int32_t kLastTableNumber = 255;

enum class TTableOp { GetTableStruct, GetFieldStruct, ReadTable, WriteTable };

// The page's edits as typed.
struct TTableInput {
  std::wstring TableNumber = L"1";
  std::wstring RowNumber = L"1";
  std::wstring FieldNumber = L"1";
  std::wstring Value;
};

// What the page shows after an operation: the memo's lines and, after
// ReadTable and WriteTable, the new text of the value edit. Both are empty
// when the driver refused (the refusal itself is not reported).
struct TTableAnswer {
  std::vector<std::wstring> Lines;
  std::optional<std::wstring> Value;
};

// Sets the operation's properties from the edits, in its order (a number
// that is not one raises EConvertError naming the text before the driver is
// called), calls the method and collects the lines.
TTableAnswer RunTableOp(TDriver& driver, TTableOp op, const TTableInput& input);
// InitTable; its result is not looked at, the page shows nothing.
void RunInitTable(TDriver& driver);
