#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "PloverDrv_TLB.h"
#include "untDateTime.h"
#include "untEcrCmd.h"
#include "untFormatSettings.h"
#include "untText.h"

namespace {

class EcrCmdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = FormatSettings();
    FormatSettings() = TFormatSettings{};
    oldClock_ = SetClock([] { return EncodeDate(2024, 3, 5) + EncodeTime(7, 8, 9, 0); });
    CreateCommands(list_);
  }
  void TearDown() override {
    FormatSettings() = saved_;
    SetClock(oldClock_);
  }
  TCommand& Cmd(int code) {
    TCommand* c = list_.ItemByCode(code);
    EXPECT_NE(c, nullptr) << code;
    return *c;
  }
  static const TCmdParam* Find(const TCmdParams& params, const std::wstring& name) {
    for (int i = 0; i < params.Count(); ++i)
      if (params.Items(i).Name == name) return &params.Items(i);
    return nullptr;
  }
  static std::vector<std::wstring> Names(const TCmdParams& params) {
    std::vector<std::wstring> names;
    for (int i = 0; i < params.Count(); ++i) names.push_back(params.Items(i).Name);
    return names;
  }

  TFormatSettings saved_;
  TClock oldClock_;
  TCommands list_;
};

TEST_F(EcrCmdTest, ClassByCode) {
  for (int code : {0x13, 0x24, 0xFA, 0x92, 0x00, 0xFF, 0x02, 0x23})
    EXPECT_EQ(CommandClassByCode(static_cast<uint8_t>(code)), TCommand::Class()) << code;
  EXPECT_EQ(CommandClassByCode(0x01), TCommand01h::Class());
  EXPECT_EQ(CommandClassByCode(0xFC), TCommandFCh::Class());

  // Every class is named after the code it answers.
  int own = 0;
  for (int code = 0; code < 256; ++code) {
    TCommandClass cls = CommandClassByCode(static_cast<uint8_t>(code));
    if (cls == TCommand::Class()) continue;
    ++own;
    EXPECT_EQ(std::wstring(cls->ClassName), Format(L"TCommand%.2Xh", static_cast<unsigned>(code)));
  }
  EXPECT_EQ(own, 33);

  auto plain = TCommand::Create(CommandClassByCode(0x00), L"?", 0x00);
  EXPECT_EQ(plain->InParams.Count(), 0);
  EXPECT_EQ(plain->OutParams.Count(), 2);
}

TEST_F(EcrCmdTest, ListOrder) {
  ASSERT_EQ(list_.Count(), 37);
  EXPECT_EQ(list_.Items(0).Code, 0x01);
  EXPECT_EQ(list_.Items(0).Name, L"Запрос дампа");
  EXPECT_EQ(list_.Items(21).Code, 0xFA);
  EXPECT_EQ(list_.Items(21).Name, L"Поиск");
  EXPECT_EQ(list_.Items(36).Code, 0x92);
  EXPECT_EQ(list_.Items(36).Name, L"*Подтверждение закрытия");
  EXPECT_EQ(list_.Items(20).Code, 0xFC);
  EXPECT_EQ(list_.Items(20).ClassType(), TCommandFCh::Class());

  std::set<int> codes;
  for (int i = 0; i < list_.Count(); ++i) {
    codes.insert(list_.Items(i).Code);
    EXPECT_EQ(list_.Items(i).ClassType(), CommandClassByCode(list_.Items(i).Code));
    EXPECT_EQ(list_.Items(i).Index(), i);
  }
  EXPECT_EQ(codes.size(), 37u);

  CreateCommands(list_);  // again: the old commands go first
  EXPECT_EQ(list_.Count(), 37);
}

TEST_F(EcrCmdTest, Command81h) {
  const TCommand& c = Cmd(0x81);
  EXPECT_EQ(Names(c.InParams),
            (std::vector<std::wstring>{L"RegType", L"RegSign", L"Quantity", L"Code", L"OperatorNumber"}));
  EXPECT_EQ(Names(c.OutParams),
            (std::vector<std::wstring>{L"Text", L"Price", L"Section", L"Tax1", L"Tax2", L"Tax3",
                                       L"Tax4", L"CommandResultCode", L"CommandResultDescription"}));
  EXPECT_EQ(c.InParams.Items(2).Caption, L"Количество");
  EXPECT_EQ(c.InParams.Items(2).ValueType, ptDouble);
  EXPECT_EQ(c.OutParams.Items(2).DefValue, L"1");
}

TEST_F(EcrCmdTest, RowsThatDifferFromTheirLikes) {
  struct Row {
    int code;
    bool in;
    const wchar_t* name;
    TCmdParamType type;
    const wchar_t* caption;
    const wchar_t* def;
  } rows[] = {
      {0x81, true, L"OperatorNumber", ptString, L"Номер оператора", L"0"},
      {0x82, true, L"OperatorNumber", ptString, L"Номер оператора", L"0"},
      {0x80, true, L"OperatorNumber", ptInteger, L"Номер оператора", L"0"},
      {0x83, true, L"OperatorNumber", ptInteger, L"Номер оператора", L"0"},
      {0x11, false, L"OperatorNumber", ptInteger, L"Номер оператора", L"0"},
      {0xC0, false, L"OperatorNumber", ptInteger, L"Номер оператора", L"0"},
      {0x50, true, L"OperatorNumber", ptInteger, L"Оператор", L"0"},
      {0x85, true, L"RecSumm", ptDouble, L"Сумма чека", L"0"},
      {0x84, true, L"RecSumm", ptCurrency, L"Сумма чека", L"0"},
      {0x86, true, L"RecSumm", ptCurrency, L"Сумма чека", L"0"},
      {0x88, true, L"RecSumm", ptCurrency, L"Сумма чека", L"0"},
      {0x1C, false, L"RestRegister", ptDouble, L"Значение регистра", L"0"},
      {0x1D, false, L"RestRegister", ptDouble, L"Значение регистра", L"0"},
      {0x1A, false, L"CashRegister", ptCurrency, L"Значение регистра", L"0"},
      {0x1E, true, L"FieldType", ptInteger, L"Тип поля", L"0"},
      {0x1E, true, L"FieldValue", ptString, L"Значение поля", L"0"},
      {0x1F, false, L"FieldType", ptInteger, L"Тип поля", L"0"},
      {0x1F, false, L"FieldValue", ptString, L"Значение поля", L"0"},
      {0x50, true, L"OperationNumber", ptInteger, L"Номер подкрепления", L"0"},
      {0x51, true, L"OperationNumber", ptInteger, L"Номер инкассации", L"0"},
      {0x52, true, L"OperationNumber", ptInteger, L"Номер смены", L"0"},
      {0x10, false, L"FlagName", ptString, L"Название бита", L"Бит 0"},
      {0x11, false, L"ECRSoftVersion", ptString, L"Версия ПО ККМ", L"1.0"},
      {0x12, false, L"FMSoftVersion", ptString, L"Версия ПО ФП", L"1.0"},
      {0x11, false, L"ECRSoftBuild", ptInteger, L"Сборка ПО ККМ", L"1234"},
      {0x14, true, L"ECRBaudRate", ptInteger, L"Скорость обмена", L"3"},
      {0x14, true, L"ECRTimeout", ptInteger, L"Таймаут", L"100"},
      {0x15, false, L"ECRTimeout", ptInteger, L"Таймаут", L"0"},
      {0x15, false, L"ECRBaudRate", ptInteger, L"Скорость обмена", L"3"},
      {0x80, true, L"Section", ptInteger, L"Отдел", L"1"},
      {0xC0, true, L"LineData", ptString, L"Данные строки", L""},
      {0x01, false, L"DataBlock", ptHexData, L"Данные блока", L"0"},
      {0x88, false, L"PayType", ptInteger, L"Тип оплаты", L"0"},
      {0x82, false, L"BarcodeWeight", ptDouble, L"Вес штрих-кода", L"0"},
  };
  for (const auto& r : rows) {
    const TCommand& c = Cmd(r.code);
    const TCmdParam* p = Find(r.in ? c.InParams : c.OutParams, r.name);
    ASSERT_NE(p, nullptr) << r.code << " " << WideToUtf8(r.name);
    EXPECT_EQ(p->ValueType, r.type) << r.code << " " << WideToUtf8(r.name);
    EXPECT_EQ(p->Caption, r.caption) << r.code << " " << WideToUtf8(r.name);
    EXPECT_EQ(p->DefValue, r.def) << r.code << " " << WideToUtf8(r.name);
    EXPECT_EQ(Find(r.in ? c.OutParams : c.InParams, r.name), nullptr)
        << r.code << " " << WideToUtf8(r.name) << " in the other direction too";
  }
}

TEST_F(EcrCmdTest, DateAndTimeDefaultsAreTakenAtCreation) {
  const TCommand& c = Cmd(0x90);
  EXPECT_EQ(Find(c.InParams, L"ECRDate")->DefValue, L"05.03.2024");
  EXPECT_EQ(Find(c.InParams, L"ECRTime")->DefValue, L"07:08:09");
  EXPECT_EQ(Find(c.InParams, L"ECRTime")->Value, L"07:08:09");
  EXPECT_EQ(Find(Cmd(0x11).OutParams, L"ECRSoftDate")->ValueType, ptDate);

  SetClock([] { return EncodeDate(2030, 1, 2) + EncodeTime(3, 4, 5, 0); });
  EXPECT_EQ(Find(c.InParams, L"ECRDate")->DefValue, L"05.03.2024");  // kept from creation
  TCommands later;
  CreateCommands(later);
  EXPECT_EQ(Find(later.ItemByCode(0x51)->InParams, L"ECRDate")->DefValue, L"02.01.2030");
}

// What the binding will do with each parameter must be possible: every
// property exists on the driver, and each one written is writable.
TEST_F(EcrCmdTest, EveryParameterIsADriverProperty) {
  int params = 0;
  for (int i = 0; i < list_.Count(); ++i) {
    const TCommand& c = list_.Items(i);
    for (const TCmdParams* ps : {&c.InParams, &c.OutParams}) {
      for (int k = 0; k < ps->Count(); ++k) {
        const TCmdParam& p = ps->Items(k);
        ++params;
        const TMemberInfo* m = FindMemberByName(p.Name);
        ASSERT_NE(m, nullptr) << WideToUtf8(p.Name);
        EXPECT_FALSE(m->IsMethod) << WideToUtf8(p.Name);
        EXPECT_EQ(m->ReadOnly, p.ReadOnly) << WideToUtf8(p.Name);
        EXPECT_EQ(p.ReadOnly, p.Name == L"CommandResultDescription");
      }
    }
    ASSERT_GE(c.OutParams.Count(), 2);
    EXPECT_EQ(c.OutParams.Items(c.OutParams.Count() - 2).Name, L"CommandResultCode");
    EXPECT_EQ(c.OutParams.Items(c.OutParams.Count() - 1).Name, L"CommandResultDescription");
  }
  EXPECT_EQ(params, 185 + 2 * 37);
}

// The defaults must be values of their own type, or the first Execute of an
// untouched command would fail.
TEST_F(EcrCmdTest, EveryDefaultConverts) {
  for (int i = 0; i < list_.Count(); ++i) {
    const TCommand& c = list_.Items(i);
    for (const TCmdParams* ps : {&c.InParams, &c.OutParams})
      for (int k = 0; k < ps->Count(); ++k)
        EXPECT_NO_THROW(ps->Items(k).GetAsVariant()) << WideToUtf8(ps->Items(k).Name);
  }
}

}  // namespace
