#include "untTables.h"

#include "untDriverResult.h"
#include "untInteger.h"
#include "untText.h"

namespace {

constexpr int32_t kTablesEnd = 130;

const std::wstring& DashLine() {
  static const std::wstring line(45, L'-');
  return line;
}

std::wstring Number(int32_t value) { return IntToStr(value); }

// ReadTable and WriteTable show the type as a word either way.
const wchar_t* TypeWord(int32_t type) { return type == 1 ? L"строка" : L"число"; }

}  // namespace

std::wstring FieldTypeText(int32_t type) {
  switch (type) {
    case 0: return L"число";
    case 1: return L"строка";
    default: return IntToStr(type);
  }
}

void ReadTablesListing(TDriver& d, const TLineSink& add) {
  d.set_TableNumber(1);
  for (;;) {
    d.GetTableStruct();
    const int32_t rc = d.get_ResultCode();
    if (rc == kTablesEnd) break;
    CheckDriverResult(d, rc);
    add(DashLine());
    add(Format(L" %2d. %ls, рядов %4d, полей %2d", d.get_TableNumber(), DriverText(d.get_TableName()).c_str(),
               d.get_RowCount(), d.get_FieldCount()));
    add(DashLine());
    const int32_t fields = d.get_FieldCount();
    for (int32_t f = 1; f <= fields; ++f) {
      d.set_FieldNumber(f);
      CheckDriverResult(d, d.GetFieldStruct());
      add(Format(L" %2d. %-20ls %ls, %2d", d.get_FieldNumber(), DriverText(d.get_FieldName()).c_str(),
                 FieldTypeText(d.get_FieldType()).c_str(), d.get_FieldSize()));
    }
    const int32_t table = d.get_TableNumber();
    // A device that answered every number would keep the window busy forever.
    if (table >= kLastTableNumber) break;
    d.set_TableNumber(table + 1);
  }
  add(DashLine());
}

TTableAnswer RunTableOp(TDriver& d, TTableOp op, const TTableInput& in) {
  TTableAnswer answer;
  auto& lines = answer.Lines;
  switch (op) {
    case TTableOp::GetTableStruct:
      d.set_TableNumber(ParseInt32(in.TableNumber, irDecimal));
      if (d.GetTableStruct() != 0) break;
      lines.push_back(L"Название таблицы: " + DriverText(d.get_TableName()));
      lines.push_back(L"Количество рядов: " + Number(d.get_RowCount()));
      lines.push_back(L"Количество полей: " + Number(d.get_FieldCount()));
      break;
    case TTableOp::GetFieldStruct: {
      d.set_TableNumber(ParseInt32(in.TableNumber, irDecimal));
      d.set_FieldNumber(ParseInt32(in.FieldNumber, irDecimal));
      if (d.GetFieldStruct() != 0) break;
      lines.push_back(L" Название поля : " + DriverText(d.get_FieldName()));
      const int32_t type = d.get_FieldType();
      lines.push_back(L" Тип поля      : " + FieldTypeText(type));
      lines.push_back(L" Размер поля   : " + Number(d.get_FieldSize()));
      if (type == 0) {
        lines.push_back(L" Мин. значение : " + Number(d.get_FieldMinValue()));
        lines.push_back(L" Макс. значение: " + Number(d.get_FieldMaxValue()));
      }
      break;
    }
    case TTableOp::ReadTable:
    case TTableOp::WriteTable: {
      const bool write = op == TTableOp::WriteTable;
      d.set_TableNumber(ParseInt32(in.TableNumber, irDecimal));
      d.set_FieldNumber(ParseInt32(in.FieldNumber, irDecimal));
      d.set_RowNumber(ParseInt32(in.RowNumber, irDecimal));
      if (write) d.set_FieldValue(in.Value);
      if ((write ? d.WriteTable() : d.ReadTable()) != 0) break;
      const std::wstring indent = write ? L"    " : L"";
      if (write) lines.push_back(L"Структура поля:");
      lines.push_back(indent + L"Название поля: " + DriverText(d.get_FieldName()));
      const int32_t type = d.get_FieldType();
      lines.push_back(indent + L"Тип поля: " + TypeWord(type));
      lines.push_back(indent + L"Размер поля: " + Number(d.get_FieldSize()));
      if (type == 0) {
        lines.push_back(indent + L"Мини. значение: " + Number(d.get_FieldMinValue()));
        lines.push_back(indent + L"Макс. значение: " + Number(d.get_FieldMaxValue()));
      }
      answer.Value = DriverText(d.get_FieldValue());
      break;
    }
  }
  return answer;
}

void RunInitTable(TDriver& d) { d.InitTable(); }
