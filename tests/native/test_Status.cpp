// The lines of the status and flags pages and the driver result check, against
// a scripted driver and against the virtual cash register.
#include <gtest/gtest.h>

#include <map>

#include "untDateTime.h"
#include "untDirectDriver.h"
#include "untDriverResult.h"
#include "untFormatSettings.h"
#include "untStatus.h"

namespace {

// Properties by identifier, scripted method results, and a log of every call.
class TScriptDriver : public TDriver {
 public:
  std::map<int32_t, TVariant> Props;
  std::map<int32_t, int32_t> Results;  // method id -> result code
  std::vector<std::wstring> Log;
  int DescriptionReads = 0;

  int32_t LookupName(const std::wstring& name) override { return FindMemberByName(name)->DispId; }
  void PutById(int32_t id, const TVariant& v) override {
    Log.push_back(std::wstring(L"put ") + FindMemberById(id)->Name);
    if (id == dispid::FlagNumber) FlagNumber = v.Int();
    Props[id] = v;
  }
  TVariant GetById(int32_t id) override {
    if (id == dispid::ResultCodeDescription) ++DescriptionReads;
    if (id == dispid::FlagName) return TVariant::FromStr(L"Флаг " + std::to_wstring(FlagNumber));
    auto it = Props.find(id);
    if (it != Props.end()) return it->second;
    return VarAsType(TVariant::FromInt(0), VarTypeOfKind(FindMemberById(id)->Kind));
  }
  int32_t CallById(int32_t id) override {
    Log.push_back(std::wstring(L"call ") + FindMemberById(id)->Name);
    auto it = Results.find(id);
    return it == Results.end() ? 0 : it->second;
  }
  int FlagNumber = -1;
};

class StatusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FSaved = FormatSettings();
    FormatSettings().ShortDateFormat = L"dd.MM.yyyy";
    FormatSettings().LongTimeFormat = L"HH:mm:ss";
    FormatSettings().DateSeparator = L'.';
    FormatSettings().TimeSeparator = L':';
  }
  void TearDown() override { FormatSettings() = FSaved; }
  TFormatSettings FSaved;
};

// Where " : " starts, counted from 1 as an editor shows columns.
size_t SeparatorColumn(const std::wstring& line) { return line.find(L" : ") + 1; }

}  // namespace

TEST_F(StatusTest, EcrListingHasElevenAlignedLinesWithTheirValues) {
  TScriptDriver d;
  d.Props[dispid::OperatorNumber] = TVariant::FromInt(30);
  d.Props[dispid::ECRSoftVersion] = TVariant::FromStr(L"A.4");
  d.Props[dispid::ECRSoftDate] = TVariant::FromDate(EncodeDate(2003, 5, 16));
  d.Props[dispid::ECRFlags] = TVariant::FromInt(-2147483647 - 1);
  d.Props[dispid::ECRModeDescription] = TVariant::FromStr(L"Открытая смена, 24 часа не кончились");
  d.Props[dispid::ECRDate] = TVariant::FromDate(EncodeDate(2026, 12, 8) + EncodeTime(13, 5, 9, 0));
  d.Props[dispid::ECRTime] = TVariant::FromDate(EncodeTime(13, 5, 9, 0));

  const auto lines = EcrStatusLines(d);
  ASSERT_EQ(lines.size(), 11u);
  for (const auto& line : lines) EXPECT_EQ(SeparatorColumn(line), 16u) << line;
  EXPECT_EQ(lines[0], L"Номер оператора : 30");
  EXPECT_EQ(lines[1], L"Версия ПО ККМ   : A.4");
  EXPECT_EQ(lines[3], L"Дата ПО ККМ     : 16.05.2003");  // midnight: no time part
  EXPECT_EQ(lines[5], L"Флаги ККМ       : -2147483648");
  EXPECT_EQ(lines[6], L"Режим ККМ       : Открытая смена, 24 часа не кончились");
  EXPECT_EQ(lines[9], L"Дата ККМ        : 08.12.2026");
  EXPECT_EQ(lines[10], L"Время ККМ       : 13:05:09");
  // The flags are asked for before the status.
  EXPECT_EQ(d.Log, (std::vector<std::wstring>{L"call GetECRFlags", L"call GetECRStatus"}));
  EXPECT_EQ(d.DescriptionReads, 0);
}

TEST_F(StatusTest, SoftwareDateWithATimeShowsBoth) {
  TScriptDriver d;
  d.Props[dispid::ECRSoftDate] = TVariant::FromDate(EncodeDate(2003, 5, 16) + EncodeTime(7, 30, 0, 0));
  EXPECT_EQ(EcrStatusLines(d)[3], L"Дата ПО ККМ     : 16.05.2003 07:30:00");
}

TEST_F(StatusTest, FiscalMemoryListingAlignsAtColumn27) {
  TScriptDriver d;
  d.Props[dispid::SerialNumber] = TVariant::FromStr(L"00123456");
  d.Props[dispid::INN] = TVariant::FromStr(L"7701234567");
  d.Props[dispid::FreeRecordInFM] = TVariant::FromInt(2093);
  const auto lines = FMStatusLines(d);
  ASSERT_EQ(lines.size(), 11u);
  for (const auto& line : lines) EXPECT_EQ(SeparatorColumn(line), 27u) << line;
  EXPECT_EQ(lines[2], L"Заводской номер            : 00123456");
  EXPECT_EQ(lines[4], L"Свободно записей           : 2093");
  EXPECT_EQ(lines[7], L"ИНН                        : 7701234567");
  EXPECT_EQ(lines[10].substr(0, 26), L"Регистрационный номер ЭКЛЗ");
}

TEST_F(StatusTest, TextsGoThroughTheAnsiCodePage) {
  TScriptDriver d;
  d.Props[dispid::ECRSoftVersion] = TVariant::FromStr(L"Ω1€");
  EXPECT_EQ(EcrStatusLines(d)[1], L"Версия ПО ККМ   : ?1€");
}

TEST_F(StatusTest, FlagsMarkTheSetBitsOfTheLowSixteenOnly) {
  TScriptDriver d;
  // Bits 0 and 2, plus bits above 15 that the listing never shows.
  d.Props[dispid::ECRFlags] = TVariant::FromInt(5 | (1 << 16) | (1 << 31));
  const auto lines = FlagLines(d);
  ASSERT_EQ(lines.size(), 16u);
  for (int n = 0; n < 16; ++n) {
    const bool set = n == 0 || n == 2;
    EXPECT_EQ(lines[n], std::wstring(L"[") + (set ? L"X" : L" ") + L"] Флаг " + std::to_wstring(n));
  }
  // Enabled first, then each number set before its name is asked for, flags last.
  ASSERT_EQ(d.Log.size(), 1u + 16 * 2 + 1);
  EXPECT_EQ(d.Log[0], L"put DeviceEnabled");
  EXPECT_EQ(d.Log[1], L"put FlagNumber");
  EXPECT_EQ(d.Log[2], L"call GetFlagName");
  EXPECT_EQ(d.Log.back(), L"call GetECRFlags");
}

TEST_F(StatusTest, AFailingMethodAddsNoLineAndCarriesTheDriverText) {
  struct TCase {
    int32_t Method;
    std::vector<std::wstring> (*Read)(TDriver&);
  } cases[] = {{dispid::GetECRFlags, EcrStatusLines},
               {dispid::GetECRStatus, EcrStatusLines},
               {dispid::GetFMStatus, FMStatusLines},
               {dispid::GetFlagName, FlagLines},
               {dispid::GetECRFlags, FlagLines}};
  for (const auto& c : cases) {
    TScriptDriver d;
    d.Results[c.Method] = 117;
    d.Props[dispid::ResultCodeDescription] = TVariant::FromStr(L"Нет связи");
    std::vector<std::wstring> added;
    auto sink = [&](const std::wstring& line) { added.push_back(line); };
    try {
      if (c.Read == EcrStatusLines) ReadEcrStatus(d, sink);
      if (c.Read == FMStatusLines) ReadFMStatus(d, sink);
      if (c.Read == FlagLines) ReadEcrFlags(d, sink);
      ADD_FAILURE() << "no error for method " << c.Method;
    } catch (const ECustomError& e) {
      EXPECT_EQ(e.Code, 117);
      EXPECT_EQ(e.Message(), L"Нет связи");
    }
    EXPECT_TRUE(added.empty());
    EXPECT_EQ(d.DescriptionReads, 1);
  }
}

TEST(DriverResult, ZeroReadsNothingAndOtherCodesRaise) {
  TScriptDriver d;
  d.Props[dispid::ResultCodeDescription] = TVariant::FromStr(L"Ошибка ①");
  CheckDriverResult(d, 0);
  EXPECT_EQ(d.DescriptionReads, 0);
  for (int32_t code : {1, -1, 129}) {
    try {
      CheckDriverResult(d, code);
      ADD_FAILURE() << code;
    } catch (const ECustomError& e) {
      EXPECT_EQ(e.Code, code);
      EXPECT_EQ(e.Message(), L"Ошибка ?");
    }
  }
  EXPECT_EQ(d.DescriptionReads, 3);
  EXPECT_THROW(RaiseCustomError(5, L"текст"), ECustomError);
  EXPECT_STREQ(CheckMarks[false], L" ");
  EXPECT_STREQ(CheckMarks[true], L"X");
}

TEST_F(StatusTest, VirtualCashRegisterGivesFullListings) {
  auto driver = CreateDirectDriver();
  const auto ecr = EcrStatusLines(*driver);
  const auto fm = FMStatusLines(*driver);
  const auto flags = FlagLines(*driver);
  ASSERT_EQ(ecr.size(), 11u);
  ASSERT_EQ(fm.size(), 11u);
  ASSERT_EQ(flags.size(), 16u);
  for (const auto& line : ecr) EXPECT_EQ(SeparatorColumn(line), 16u) << line;
  for (const auto& line : fm) EXPECT_EQ(SeparatorColumn(line), 27u) << line;
  // The flags value of the listing marks exactly the flags it has set.
  const int32_t value = driver->get_ECRFlags();
  for (int n = 0; n < 16; ++n) {
    EXPECT_EQ(flags[n].substr(0, 3), ((value >> n) & 1) ? L"[X]" : L"[ ]") << n;
    EXPECT_GT(flags[n].size(), 4u) << "flag " << n << " has a name";
  }
}

TEST_F(StatusTest, VirtualCashRegisterFaultStopsTheListing) {
  TEcrSettings settings;
  settings.FaultMethod = L"GetFMStatus";
  settings.FaultCode = 2;
  settings.FaultEvery = 1;
  auto driver = CreateDirectDriver(settings);
  try {
    FMStatusLines(*driver);
    FAIL() << "no error";
  } catch (const ECustomError& e) {
    EXPECT_EQ(e.Code, 2);
    EXPECT_FALSE(e.Message().empty());
  }
}
