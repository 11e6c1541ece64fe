#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <unistd.h>

#include "BigIni.h"
#include "untCommand.h"
#include "untDateTime.h"
#include "untError.h"
#include "untFormatSettings.h"
#include "untText.h"

namespace {

std::string Bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s.push_back(static_cast<char>(b));
  return s;
}

class CommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = FormatSettings();
    FormatSettings() = TFormatSettings{};  // Russian: "," and dd.MM.yyyy
  }
  void TearDown() override { FormatSettings() = saved_; }
  TFormatSettings saved_;
};

TEST(HexText, ToBytes) {
  struct Case {
    const char* text;
    std::string bytes;
  } cases[] = {
      {"1 2 3", Bytes({0x01, 0x02, 0x03})},
      {"ABC", Bytes({0xAB, 0x0C})},
      {"12 3", Bytes({0x12, 0x03})},
      {"a1", Bytes({0x01})},  // lower case separates
      {"", ""},
      {"FF,", Bytes({0xFF})},
      {"01 FF ", Bytes({0x01, 0xFF})},
      {"  ,, ", ""},
      {"0123456789ABCDEF", Bytes({0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF})},
      {"1-2-3F", Bytes({0x01, 0x02, 0x3F})},
      {"\xC1" "1", Bytes({0x01})},  // a high byte is a separator, not a digit
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HexTextToBytes(std::string_view(c.text)), c.bytes) << c.text;
    EXPECT_EQ(HexTextToBytes(AnsiToWide(c.text)), c.bytes) << c.text;
  }
}

TEST(HexText, FromBytesAndBack) {
  EXPECT_EQ(BytesToHexText(Bytes({0x01, 0xFF})), L"01 FF ");
  EXPECT_EQ(BytesToHexText(""), L"");
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(HexTextToBytes(BytesToHexText(all)), all);
}

TEST_F(CommandTest, ParamsListAddsAndResets) {
  TCmdParams list;
  TCmdParam& p = list.Add(L"Summ", L"Сумма", ptCurrency, L"0");
  EXPECT_EQ(p.Value, L"0");
  EXPECT_FALSE(p.ReadOnly);
  EXPECT_EQ(p.Owner(), &list);
  p.Value = L"12.5";
  list.Add(L"Text", L"Наименование", ptString, L"x").Value = L"y";
  list.SetDefaults();
  EXPECT_EQ(list.Items(0).Value, L"0");
  EXPECT_EQ(list.Items(1).Value, L"x");
  EXPECT_THROW(list.Items(2), Exception);
  EXPECT_THROW(list.Items(-1), Exception);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(CommandTest, ParamChangesOwner) {
  TCmdParams a, b;
  TCmdParam& first = a.Add(L"A1", L"", ptInteger, L"1");
  a.Add(L"A2", L"", ptInteger, L"2");
  b.Add(L"B1", L"", ptInteger, L"3");

  first.SetOwner(b);  // leaves a, joins the end of b
  ASSERT_EQ(a.Count(), 1);
  EXPECT_EQ(a.Items(0).Name, L"A2");
  ASSERT_EQ(b.Count(), 2);
  EXPECT_EQ(&b.Items(1), &first);
  EXPECT_EQ(first.Owner(), &b);

  first.SetOwner(b);  // already there: stays where it is
  EXPECT_EQ(b.IndexOf(first), 1);

  std::unique_ptr<TCmdParam> loose = first.Detach();
  EXPECT_EQ(b.Count(), 1);
  EXPECT_EQ(loose->Owner(), nullptr);
  a.Adopt(std::move(loose));
  EXPECT_EQ(a.Items(1).Name, L"A1");
}

TEST_F(CommandTest, CommandWithoutClassHasOnlyResultOutputs) {
  TCommands list;
  TCommand& c = TCommand::Create(TCommand::Class(), list, L"Гудок", 0x13);
  EXPECT_EQ(c.Owner(), &list);
  EXPECT_EQ(c.Index(), 0);
  EXPECT_EQ(c.InParams.Count(), 0);
  ASSERT_EQ(c.OutParams.Count(), 2);
  const TCmdParam& code = c.OutParams.Items(0);
  const TCmdParam& text = c.OutParams.Items(1);
  EXPECT_EQ(code.Name, L"CommandResultCode");
  EXPECT_EQ(code.Caption, L"Код ошибки");
  EXPECT_EQ(code.ValueType, ptInteger);
  EXPECT_EQ(code.DefValue, L"0");
  EXPECT_FALSE(code.ReadOnly);
  EXPECT_EQ(text.Name, L"CommandResultDescription");
  EXPECT_EQ(text.Caption, L"Описание ошибки");
  EXPECT_EQ(text.ValueType, ptString);
  EXPECT_EQ(text.DefValue, L"");
  EXPECT_TRUE(text.ReadOnly);
}

TEST_F(CommandTest, ItemByCodeFindsTheFirst) {
  TCommands list;
  TCommand& first = TCommand::Create(nullptr, list, L"one", 0x13);
  TCommand::Create(nullptr, list, L"two", 0x13);
  TCommand& last = TCommand::Create(nullptr, list, L"three", 0xFF);
  EXPECT_EQ(list.ItemByCode(0x13), &first);
  EXPECT_EQ(list.ItemByCode(255), &last);
  EXPECT_EQ(list.ItemByCode(0x14), nullptr);
  EXPECT_EQ(list.ItemByCode(256 + 0x13), nullptr);
  EXPECT_EQ(list.ItemByCode(-1), nullptr);
  EXPECT_EQ(last.Index(), 2);
}

TEST_F(CommandTest, CommandChangesOwner) {
  TCommands a, b;
  TCommand& c = TCommand::Create(nullptr, a, L"x", 1);
  TCommand::Create(nullptr, a, L"y", 2);
  c.SetOwner(b);
  EXPECT_EQ(a.Count(), 1);
  EXPECT_EQ(c.Index(), 0);
  EXPECT_EQ(b.ItemByCode(1), &c);
  auto loose = c.Detach();
  EXPECT_EQ(loose->Index(), -1);
  EXPECT_EQ(b.Count(), 0);
}

TEST_F(CommandTest, TextToVariantByType) {
  TCmdParams list;
  auto variant = [&](TCmdParamType type, const wchar_t* text) {
    list.Clear();
    return list.Add(L"P", L"", type, text).GetAsVariant();
  };
  EXPECT_EQ(variant(ptInteger, L"-12"), TVariant::FromInt(-12));
  EXPECT_EQ(variant(ptInteger, L"$10"), TVariant::FromInt(16));
  EXPECT_EQ(variant(ptString, L"Привет"), TVariant::FromStr(L"Привет"));
  EXPECT_EQ(variant(ptHexData, L"41 42"), TVariant::FromStr(L"AB"));
  EXPECT_EQ(variant(ptHexData, L"C0 FF"), TVariant::FromStr(L"Ая"));  // one character per byte
  EXPECT_EQ(variant(ptHexData, L"zz"), TVariant::FromStr(L""));
  EXPECT_EQ(variant(ptDate, L"05.03.2024"), TVariant::FromDate(EncodeDate(2024, 3, 5)));
  EXPECT_EQ(variant(ptTime, L"18:00:00"), TVariant::FromDate(0.75));
  // "." whatever the locale says (the settings here use ",").
  EXPECT_EQ(variant(ptCurrency, L"1.5"), TVariant::FromDouble(1.5));
  EXPECT_EQ(variant(ptDouble, L"-0.25"), TVariant::FromDouble(-0.25));
  EXPECT_EQ(variant(static_cast<TCmdParamType>(9), L"12"), TVariant::FromStr(L"12"));

  const std::pair<TCmdParamType, const wchar_t*> bad[] = {
      {ptInteger, L"abc"}, {ptInteger, L"1.5"}, {ptDate, L"2024-03-05"}, {ptTime, L"25:00"},
      {ptCurrency, L"1,5"}, {ptDouble, L""},
  };
  for (const auto& [type, text] : bad) EXPECT_THROW(variant(type, text), EConvertError) << text;
}

TEST_F(CommandTest, VariantToTextByType) {
  TCmdParams list;
  auto text = [&](TCmdParamType type, const TVariant& v) {
    list.Clear();
    TCmdParam& p = list.Add(L"P", L"", type, L"");
    p.SetAsVariant(v);
    return p.Value;
  };
  const TDateTime day = EncodeDate(2024, 3, 5);
  EXPECT_EQ(text(ptInteger, TVariant::FromInt(-5)), L"-5");
  EXPECT_EQ(text(ptInteger, TVariant::FromStr(L"12")), L"12");
  EXPECT_EQ(text(ptInteger, TVariant::FromBool(true)), L"-1");
  EXPECT_EQ(text(ptString, TVariant::FromInt(7)), L"7");
  EXPECT_EQ(text(ptHexData, TVariant::FromStr(L"AБ")), L"41 C1 ");
  EXPECT_EQ(text(ptHexData, TVariant::FromStr(L"")), L"");
  EXPECT_EQ(text(ptDate, TVariant::FromDate(day + 0.75)), L"05.03.2024");
  EXPECT_EQ(text(ptTime, TVariant::FromDate(day + 0.75)), L"18:00:00");
  EXPECT_EQ(text(ptCurrency, TVariant::FromCurrency(15000)), L"1.5");
  EXPECT_EQ(text(ptCurrency, TVariant::FromDouble(0.1 + 0.2)), L"0.3");
  EXPECT_EQ(text(ptDouble, TVariant::FromDouble(1e20)), L"1E20");
  EXPECT_EQ(text(ptDouble, TVariant::FromInt(3)), L"3");

  EXPECT_THROW(text(ptInteger, TVariant::FromStr(L"abc")), EOleError);
  EXPECT_THROW(text(ptDate, TVariant::FromStr(L"abc")), EOleError);
}

TEST_F(CommandTest, ConversionRoundTrips) {
  TCmdParams list;
  const std::pair<TCmdParamType, const wchar_t*> cases[] = {
      {ptInteger, L"-2147483648"}, {ptString, L"Строка"}, {ptHexData, L"00 7F 80 FF "},
      {ptDate, L"29.02.2024"},     {ptTime, L"23:59:59"}, {ptCurrency, L"92233720368.4775"},
      {ptDouble, L"0.001"},
  };
  for (const auto& [type, value] : cases) {
    list.Clear();
    TCmdParam& p = list.Add(L"P", L"", type, value);
    p.SetAsVariant(p.GetAsVariant());
    EXPECT_EQ(p.Value, value);
  }
}

// Two commands standing for a catalogue: 01h with inputs, 1Ah with an output.
void MakeCommands(TCommands& list) {
  TCommand& c01 = TCommand::Create(nullptr, list, L"Запрос дампа", 0x01);
  c01.AddInParam(L"DeviceNumber", L"Код устройства", L"0", ptInteger);
  c01.AddInParam(L"DataBlockNumber", L"Номер блока данных", L"7", ptInteger);
  TCommand& c1a = TCommand::Create(nullptr, list, L"Запрос денежного регистра", 0x1A);
  c1a.AddInParam(L"RegisterNumber", L"Номер регистра", L"0", ptInteger);
}

TEST_F(CommandTest, SaveParamsWritesOneSectionPerCommand) {
  TCommands list;
  MakeCommands(list);
  list.Items(0).InParams.Items(0).Value = L"5";
  list.Items(0).OutParams.Items(1).Value = L"нет связи";
  TBigIniFile ini(L"");
  list.SaveParams(ini);

  std::vector<std::wstring> lines;
  ini.ReadAll(lines);
  const std::vector<std::wstring> expected = {
      L"[01]",
      L"Название=Запрос дампа",
      L"DeviceNumber=5",
      L"DataBlockNumber=7",
      L"CommandResultCode=0",
      L"CommandResultDescription=нет связи",
      L"",
      L"[1A]",
      L"Название=Запрос денежного регистра",
      L"RegisterNumber=0",
      L"CommandResultCode=0",
      L"CommandResultDescription=",
      L"",
  };
  EXPECT_EQ(lines, expected);
}

TEST_F(CommandTest, SaveParamsCutsLongLines) {
  TCommands list;
  MakeCommands(list);
  list.Items(0).InParams.Items(0).Value = std::wstring(300, L'7');
  TBigIniFile ini(L"");
  list.SaveParams(ini);
  const std::wstring stored = ini.ReadString(L"01", L"DeviceNumber", L"");
  EXPECT_EQ(std::wstring(L"DeviceNumber=").size() + stored.size(), 255u);
}

TEST_F(CommandTest, LoadParamsReadsHexSections) {
  TCommands list;
  MakeCommands(list);
  TBigIniFile ini(L"");
  ini.LoadText(WideToAnsi(
      L"[Параметры]\r\nDeviceNumber=99\r\n"
      L"[101]\r\nDeviceNumber=3\r\nDataBlockNumber=\r\nUnknown=1\r\n"
      L"[1a]\r\nRegisterNumber=12\r\nCommandResultCode=4\r\n"
      L"[FF]\r\nRegisterNumber=13\r\n"
      L"[xyz]\r\nRegisterNumber=14\r\n"));
  list.Items(0).InParams.Items(1).Value = L"old";
  list.Items(1).OutParams.Items(0).Value = L"old";
  list.LoadParams(ini);

  const TCommand& c01 = list.Items(0);
  EXPECT_EQ(c01.InParams.Items(0).Value, L"3");   // section 101 is code 01
  EXPECT_EQ(c01.InParams.Items(1).Value, L"7");   // empty value: the default
  EXPECT_EQ(c01.OutParams.Items(0).Value, L"0");  // missing key: the default
  const TCommand& c1a = list.Items(1);
  EXPECT_EQ(c1a.InParams.Items(0).Value, L"12");
  EXPECT_EQ(c1a.OutParams.Items(0).Value, L"4");
}

TEST_F(CommandTest, ParamsSurviveAFile) {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("model_params_" + std::to_string(::getpid()) + ".ini");
  {
    TCommands list;
    MakeCommands(list);
    list.Items(0).InParams.Items(0).Value = L"Значение = с пробелами ";
    list.Items(1).InParams.Items(0).Value = L"42";
    TBigIniFile ini(file.wstring());
    list.SaveParams(ini);
    ini.UpdateFile();
  }
  TCommands loaded;
  MakeCommands(loaded);
  {
    TBigIniFile ini(file.wstring());
    loaded.LoadParams(ini);
  }
  std::filesystem::remove(file);
  EXPECT_EQ(loaded.Items(0).InParams.Items(0).Value, L"Значение = с пробелами ");
  EXPECT_EQ(loaded.Items(1).InParams.Items(0).Value, L"42");
}

}  // namespace
