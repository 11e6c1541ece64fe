// The table pages: the structure listing and the single-field operations,
// against a scripted set of tables and against the virtual cash register.
#include "untTables.h"

#include <gtest/gtest.h>

#include <map>

#include "EcrTestSupport.h"
#include "untDriverResult.h"
#include "untEcrResults.h"
#include "untError.h"

namespace {

struct TFakeField {
  std::wstring Name;
  int32_t Type, Size, Min, Max;
};
struct TFakeTable {
  std::wstring Name;
  int32_t Rows;
  std::vector<TFakeField> Fields;
};

// Tables 1.. of a script; beyond them GetTableStruct leaves 130. A failure
// can be set for one table's structure or one field's.
class TTableFake : public TDriver {
 public:
  std::vector<TFakeTable> Tables;
  std::map<int32_t, int32_t> TableFails;                   // table -> code
  std::map<std::pair<int32_t, int32_t>, int32_t> FieldFails;  // table, field -> code
  std::vector<std::wstring> Log;                           // "put Name", "call Name"

  int32_t LookupName(const std::wstring& name) override { return FindMemberByName(name)->DispId; }
  void PutById(int32_t id, const TVariant& v) override {
    Log.push_back(std::wstring(L"put ") + FindMemberById(id)->Name);
    FProps[id] = VarAsType(v, VarTypeOfKind(FindMemberById(id)->Kind));
  }
  TVariant GetById(int32_t id) override {
    auto it = FProps.find(id);
    if (it != FProps.end()) return it->second;
    return VarAsType(TVariant::FromInt(0), VarTypeOfKind(FindMemberById(id)->Kind));
  }
  int32_t CallById(int32_t id) override {
    Log.push_back(std::wstring(L"call ") + FindMemberById(id)->Name);
    int32_t rc = Run(id);
    FProps[dispid::ResultCode] = TVariant::FromInt(rc);
    FProps[dispid::ResultCodeDescription] = TVariant::FromStr(L"Ошибка " + std::to_wstring(rc));
    return rc;
  }
  int32_t Int(int32_t id) { return GetById(id).Int(); }
  void SetStr(int32_t id, const std::wstring& s) { FProps[id] = TVariant::FromStr(s); }
  void SetInt(int32_t id, int32_t v) { FProps[id] = TVariant::FromInt(v); }

 private:
  int32_t Run(int32_t id) {
    const int32_t t = Int(dispid::TableNumber);
    if (t < 1 || t > static_cast<int32_t>(Tables.size())) return 130;
    const TFakeTable& table = Tables[static_cast<size_t>(t - 1)];
    if (id == dispid::GetTableStruct) {
      if (TableFails.count(t)) return TableFails[t];
      SetStr(dispid::TableName, table.Name);
      SetInt(dispid::RowCount, table.Rows);
      SetInt(dispid::FieldCount, static_cast<int32_t>(table.Fields.size()));
      return 0;
    }
    const int32_t f = Int(dispid::FieldNumber);
    if (FieldFails.count({t, f})) return FieldFails[{t, f}];
    if (f < 1 || f > static_cast<int32_t>(table.Fields.size())) return 132;
    const TFakeField& field = table.Fields[static_cast<size_t>(f - 1)];
    SetStr(dispid::FieldName, field.Name);
    SetInt(dispid::FieldType, field.Type);
    SetInt(dispid::FieldSize, field.Size);
    SetInt(dispid::FieldMinValue, field.Min);
    SetInt(dispid::FieldMaxValue, field.Max);
    if (id == dispid::ReadTable) SetStr(dispid::FieldValue, L"прочитано");
    return 0;
  }
  std::map<int32_t, TVariant> FProps;
};

const std::wstring kDash(45, L'-');

std::vector<std::wstring> Listing(TDriver& d) {
  std::vector<std::wstring> lines;
  ReadTablesListing(d, [&](const std::wstring& line) { lines.push_back(line); });
  return lines;
}

void TwoTables(TTableFake& d) {
  d.Tables = {{L"Кассиры", 30, {{L"Пароль", 0, 4, 0, 9999}, {L"Имя кассира в чеке и отчётах", 1, 21, 0, 0}}},
              {L"Резерв", 1, {}},
              {L"Маски", 2, {{L"Маска", 2, 4, 0, 0}}}};
}

}  // namespace

TEST(TablesListing, TypeTextsAreWordsForZeroAndOneOnly) {
  EXPECT_EQ(FieldTypeText(0), L"число");
  EXPECT_EQ(FieldTypeText(1), L"строка");
  EXPECT_EQ(FieldTypeText(2), L"2");
  EXPECT_EQ(FieldTypeText(-1), L"-1");
}

TEST(TablesListing, TablesBetweenDashLinesWithTheirFields) {
  TTableFake d;
  TwoTables(d);
  EXPECT_EQ(Listing(d), (std::vector<std::wstring>{
                            kDash,
                            L"  1. Кассиры, рядов   30, полей  2",
                            kDash,
                            L"  1. Пароль               число,  4",
                            L"  2. Имя кассира в чеке и отчётах строка, 21",
                            kDash,
                            L"  2. Резерв, рядов    1, полей  0",
                            kDash,
                            kDash,
                            L"  3. Маски, рядов    2, полей  1",
                            kDash,
                            L"  1. Маска                2,  4",
                            kDash,
                        }));
}

TEST(TablesListing, NoTablesGiveOneDashLine) {
  TTableFake d;
  EXPECT_EQ(Listing(d), std::vector<std::wstring>{kDash});
}

TEST(TablesListing, FailureMidListingKeepsTheLinesAndAddsNoClosingDash) {
  TTableFake d;
  TwoTables(d);
  d.FieldFails[{1, 2}] = 7;
  std::vector<std::wstring> lines;
  try {
    ReadTablesListing(d, [&](const std::wstring& line) { lines.push_back(line); });
    ADD_FAILURE();
  } catch (const ECustomError& e) {
    EXPECT_EQ(e.Code, 7);
    EXPECT_EQ(e.Message(), L"Ошибка 7");
  }
  EXPECT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines.back(), L"  1. Пароль               число,  4");

  d.FieldFails.clear();
  d.TableFails[2] = 131;
  lines.clear();
  EXPECT_THROW(ReadTablesListing(d, [&](const std::wstring& line) { lines.push_back(line); }), ECustomError);
  EXPECT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines.back(), L"  2. Имя кассира в чеке и отчётах строка, 21");

  d.TableFails[1] = 2;
  lines.clear();
  EXPECT_THROW(ReadTablesListing(d, [&](const std::wstring& line) { lines.push_back(line); }), ECustomError);
  EXPECT_TRUE(lines.empty());
}

TEST(TablesListing, DeviceThatAnswersEveryNumberStopsAfterTable255) {
  TTableFake d;
  d.Tables.assign(400, {L"Т", 1, {}});
  const auto lines = Listing(d);
  EXPECT_EQ(lines.size(), 255u * 3 + 1);
  EXPECT_EQ(lines[lines.size() - 3], L" 255. Т, рядов    1, полей  0");
}

// ---------------------------------------------------------------- "Таблицы"

TEST(TableOps, EditsAreConvertedInTheOperationsOrderBeforeTheCall) {
  TTableFake d;
  TwoTables(d);
  TTableInput in;
  in.TableNumber = L"1";
  in.FieldNumber = L"2";
  in.RowNumber = L"3";
  in.Value = L" как есть ";
  RunTableOp(d, TTableOp::WriteTable, in);
  EXPECT_EQ(d.Log, (std::vector<std::wstring>{L"put TableNumber", L"put FieldNumber", L"put RowNumber",
                                              L"put FieldValue", L"call WriteTable"}));
  EXPECT_EQ(d.GetById(dispid::FieldValue).Str(), L" как есть ");

  d.Log.clear();
  in.FieldNumber = L"2x";
  try {
    RunTableOp(d, TTableOp::ReadTable, in);
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_NE(e.Message().find(L"\"2x\""), std::wstring::npos);
  }
  EXPECT_EQ(d.Log, std::vector<std::wstring>{L"put TableNumber"});
}

TEST(TableOps, RefusalShowsNothing) {
  TTableFake d;
  TwoTables(d);
  TTableInput in;
  in.TableNumber = L"9";
  for (TTableOp op : {TTableOp::GetTableStruct, TTableOp::GetFieldStruct, TTableOp::ReadTable, TTableOp::WriteTable}) {
    const TTableAnswer a = RunTableOp(d, op, in);
    EXPECT_TRUE(a.Lines.empty());
    EXPECT_FALSE(a.Value.has_value());
  }
}

class TableOpsDevice : public TEcrTest {
 protected:
  TTableAnswer Run(TTableOp op, const wchar_t* table, const wchar_t* field, const wchar_t* row = L"1",
                   const wchar_t* value = L"") {
    return RunTableOp(*Drv, op, {table, row, field, value});
  }
};

TEST_F(TableOpsDevice, StructureLines) {
  EXPECT_EQ(Run(TTableOp::GetTableStruct, L"2", L"1").Lines,
            (std::vector<std::wstring>{L"Название таблицы: Пароли кассиров и администраторов", L"Количество рядов: 30",
                                       L"Количество полей: 2"}));
  EXPECT_EQ(Run(TTableOp::GetFieldStruct, L"3", L"4").Lines,
            (std::vector<std::wstring>{L" Название поля : Сдвиг, минут", L" Тип поля      : число", L" Размер поля   : 2",
                                       L" Мин. значение : -120", L" Макс. значение: 120"}));
  EXPECT_EQ(Run(TTableOp::GetFieldStruct, L"14", L"5").Lines,
            (std::vector<std::wstring>{L" Название поля : Кодовая страница", L" Тип поля      : 2",
                                       L" Размер поля   : 2"}));
}

TEST_F(TableOpsDevice, ReadLinesAndTheValue) {
  TTableAnswer a = Run(TTableOp::ReadTable, L"2", L"2", L"3");
  EXPECT_EQ(a.Lines, (std::vector<std::wstring>{L"Название поля: Имя", L"Тип поля: строка", L"Размер поля: 21"}));
  EXPECT_EQ(a.Value, L"Кассир 3");
  a = Run(TTableOp::ReadTable, L"1", L"6");
  EXPECT_EQ(a.Lines, (std::vector<std::wstring>{L"Название поля: Количество копий чека", L"Тип поля: число",
                                                L"Размер поля: 1", L"Мини. значение: 0", L"Макс. значение: 9"}));
  EXPECT_EQ(a.Value, L"0");
  a = Run(TTableOp::ReadTable, L"14", L"5");
  EXPECT_EQ(a.Lines, (std::vector<std::wstring>{L"Название поля: Кодовая страница", L"Тип поля: число",
                                                L"Размер поля: 2"}));
  EXPECT_EQ(a.Value, L"04E3");
}

TEST_F(TableOpsDevice, WriteShowsTheStoredValueOrNothingWhenRefused) {
  TTableAnswer a = Run(TTableOp::WriteTable, L"1", L"1", L"1", L" +07 ");
  EXPECT_EQ(a.Lines, (std::vector<std::wstring>{L"Структура поля:", L"    Название поля: Номер кассы в магазине",
                                                L"    Тип поля: число", L"    Размер поля: 1", L"    Мини. значение: 1",
                                                L"    Макс. значение: 99"}));
  EXPECT_EQ(a.Value, L"7");
  a = Run(TTableOp::WriteTable, L"7", L"1", L"1", L"012345678901234567890");
  EXPECT_TRUE(a.Lines.empty());
  EXPECT_FALSE(a.Value.has_value());
  EXPECT_EQ(Drv->get_ResultCode(), ecr::kValueTooLong);
}

TEST_F(TableOpsDevice, BinaryFieldTakesHexadecimalBytes) {
  const std::tuple<const wchar_t*, int32_t, const wchar_t*> cases[] = {
      {L"4e3", 0, L"04E3"},     {L" ff01 ", 0, L"FF01"},         {L"0", 0, L"0000"},
      {L"12345", ecr::kValueTooLong, nullptr}, {L"XYZ", ecr::kBadParam, nullptr}, {L"", ecr::kBadParam, nullptr},
      {L"12 34", ecr::kBadParam, nullptr}};
  for (const auto& [value, code, stored] : cases) {
    const TTableAnswer a = Run(TTableOp::WriteTable, L"14", L"5", L"1", value);
    EXPECT_EQ(Drv->get_ResultCode(), code) << value;
    if (stored) {
      EXPECT_EQ(a.Value, stored) << value;
    }
  }
  RunInitTable(*Drv);  // the time-out is short: the device still resets its tables
  EXPECT_EQ(Run(TTableOp::ReadTable, L"14", L"5").Value, L"04E3");
}

class TablesListingDevice : public TEcrTest {};

TEST_F(TablesListingDevice, ListsEveryTableOfTheDevice) {
  const auto lines = Listing(*Drv);
  ASSERT_GT(lines.size(), 40u);
  EXPECT_EQ(lines[0], kDash);
  EXPECT_EQ(lines[1], L"  1. Тип и режим кассы, рядов    1, полей  7");
  EXPECT_EQ(lines[4], L"  2. Автоматическое обнуление денежной наличности число,  1");
  EXPECT_EQ(lines.back(), kDash);
  const auto reserve = std::find(lines.begin(), lines.end(), L" 13. Резерв, рядов    1, полей  0");
  ASSERT_NE(reserve, lines.end());
  EXPECT_EQ(*(reserve + 1), kDash);
  EXPECT_EQ(*(reserve + 2), kDash);
  EXPECT_NE(std::find(lines.begin(), lines.end(), L"  5. Кодовая страница     2,  2"), lines.end());
}

TEST_F(TablesListingDevice, DeviceWithoutTablesByFaultInjection) {
  Drv->set_FaultMethod(L"GetTableStruct");
  Drv->set_FaultCode(130);
  Drv->set_FaultEvery(1);
  EXPECT_EQ(Listing(*Drv), std::vector<std::wstring>{kDash});
  Drv->set_FaultCode(2);
  EXPECT_THROW(Listing(*Drv), ECustomError);
}
