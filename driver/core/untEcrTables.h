#pragma once
// The virtual cash register's settings tables: their layout and the values
// they hold. Not thread-safe: the device serialises access.
#include <cstdint>
#include <string>
#include <vector>

namespace ecr {

constexpr int32_t kFieldNumber = 0;
constexpr int32_t kFieldString = 1;
// Raw bytes, read and written as hexadecimal text of two digits a byte.
constexpr int32_t kFieldBinary = 2;

struct TFieldDef {
  const wchar_t* Name;
  int32_t Type;  // kFieldNumber, kFieldString or kFieldBinary
  int32_t Size;  // bytes of a number or of binary data, characters of a string
  int32_t MinValue;
  int32_t MaxValue;
  // Default of a row (1-based): numbers as decimal text.
  std::wstring (*Default)(int row);
};

struct TTableDef {
  const wchar_t* Name;
  int32_t RowCount;
  std::vector<TFieldDef> Fields;
};

// Tables are numbered from 1 in this order.
const std::vector<TTableDef>& TableDefs();

class TEcrTables {
 public:
  TEcrTables() { Init(); }
  // Every field of every row back to its default.
  void Init();

  int32_t TableCount() const;
  // nullptr when out of range (numbers from 1).
  const TTableDef* Table(int32_t table) const;
  const TFieldDef* Field(int32_t table, int32_t field) const;

  // Result codes of untEcrResults.h; 0 on success.
  int32_t Read(int32_t table, int32_t row, int32_t field, std::wstring& value) const;
  // Checks the value against the field (number: a whole number within its range,
  // string: no longer than its size, binary: hexadecimal digits for at most
  // its size) and stores it normalised (binary: upper case, zero-padded on
  // the left to the whole size).
  int32_t Write(int32_t table, int32_t row, int32_t field, const std::wstring& value);

 private:
  int32_t Locate(int32_t table, int32_t row, int32_t field) const;
  // [table-1][row-1][field-1]
  std::vector<std::vector<std::vector<std::wstring>>> FValues;
};

}  // namespace ecr
