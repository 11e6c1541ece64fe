// The control's device methods against the virtual cash register.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "EcrTestSupport.h"
#include "untEcrDump.h"
#include "untEcrResults.h"
#include "untError.h"
#include "untText.h"

using namespace ecr;

namespace {

TDateTime Day(int y, int m, int d) {
  TDateTime r = 0;
  EncodeEcrDate(y, m, d, r);
  return r;
}

TDateTime Tod(int h, int m, int s) {
  TDateTime r = 0;
  EncodeEcrTime(h, m, s, r);
  return r;
}

}  // namespace

class EcrControl : public TEcrTest {};

TEST_F(EcrControl, SuccessLeavesCodeZeroAndItsText) {
  EXPECT_EQ(Drv->GetECRFlags(), 0);
  EXPECT_EQ(Drv->get_ResultCode(), 0);
  EXPECT_EQ(Drv->get_ResultCodeDescription(), L"Ошибок нет");
  EXPECT_EQ(Drv->get_DriverVersion(), L"1.6.0.62");
}

TEST_F(EcrControl, ResultDescribesTheLastCallOnly) {
  Drv->set_FlagNumber(16);
  EXPECT_EQ(Drv->GetFlagName(), kBadFlag);
  EXPECT_EQ(Drv->get_ResultCodeDescription(), L"Неверный номер флага");
  // A property put is no call: the failure stays visible.
  Drv->set_FlagNumber(1);
  EXPECT_EQ(Drv->get_ResultCode(), kBadFlag);
  EXPECT_EQ(Drv->GetFlagName(), 0);
  EXPECT_EQ(Drv->get_ResultCode(), 0);
}

TEST_F(EcrControl, StatusReportsEveryValueWithModeTexts) {
  ASSERT_EQ(Drv->GetECRStatus(), 0);
  EXPECT_EQ(Drv->get_OperatorNumber(), 1);
  EXPECT_EQ(Drv->get_ECRSoftVersion(), L"1.6");
  EXPECT_EQ(Drv->get_ECRSoftBuild(), 3172);
  EXPECT_EQ(Drv->get_ECRSoftDate(), Day(2005, 3, 14));
  EXPECT_EQ(Drv->get_DocumentNumber(), 1287);
  EXPECT_EQ(Drv->get_ECRFlags(), 0x33);
  EXPECT_EQ(Drv->get_ECRMode(), 2);
  EXPECT_EQ(Drv->get_ECRModeDescription(), L"Смена открыта");
  EXPECT_EQ(Drv->get_ECRAdvancedModeDescription(), L"Бумага есть");
  EXPECT_EQ(Drv->get_ECRPortNumber(), 0);
  // The description follows the mode property, whoever wrote it.
  Drv->set_ECRMode(99);
  EXPECT_EQ(Drv->get_ECRModeDescription(), L"Неизвестный режим 99");
}

TEST_F(EcrControl, ClockRunsFromTheDateAndTimeLastSet) {
  Drv->set_ECRDate(Day(2024, 2, 29));
  ASSERT_EQ(Drv->SetDate(), 0);
  Drv->set_ECRTime(Tod(23, 59, 30));
  ASSERT_EQ(Drv->SetTime(), 0);
  FClock->Advance(45000);
  ASSERT_EQ(Drv->GetECRStatus(), 0);
  EXPECT_EQ(Drv->get_ECRDate(), Day(2024, 3, 1));
  int h, m, s;
  DecodeEcrTime(Drv->get_ECRTime(), h, m, s);
  EXPECT_EQ(h * 3600 + m * 60 + s, 15);
  // Setting the date keeps the time of day.
  Drv->set_ECRDate(Day(2030, 12, 31) + 0.75);
  ASSERT_EQ(Drv->SetDate(), 0);
  ASSERT_EQ(Drv->GetECRStatus(), 0);
  EXPECT_EQ(Drv->get_ECRDate(), Day(2030, 12, 31));
  DecodeEcrTime(Drv->get_ECRTime(), h, m, s);
  EXPECT_EQ(h * 3600 + m * 60 + s, 15);
}

TEST_F(EcrControl, DatesOutsideTheDeviceRangeAreRefused) {
  Drv->set_ECRDate(Day(1999, 12, 31));
  EXPECT_EQ(Drv->SetDate(), kBadDate);
  Drv->set_ECRDate(Day(2100, 1, 1));
  EXPECT_EQ(Drv->SetDate(), kBadDate);
  Drv->set_ECRDate(std::nan(""));
  EXPECT_EQ(Drv->SetDate(), kBadDate);
  EXPECT_EQ(Drv->get_ResultCodeDescription(), L"Неверная дата");
}

TEST_F(EcrControl, SixteenNamedFlagsAFewSet) {
  std::set<std::wstring> names;
  for (int n = 0; n < 16; ++n) {
    Drv->set_FlagNumber(n);
    ASSERT_EQ(Drv->GetFlagName(), 0) << n;
    std::wstring name = Drv->get_FlagName();
    EXPECT_FALSE(name.empty());
    EXPECT_GT(name[0], 0x400) << "Russian name expected for flag " << n;
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 16u);
  for (int bad : {-1, 16, 31}) {
    Drv->set_FlagNumber(bad);
    EXPECT_EQ(Drv->GetFlagName(), kBadFlag) << bad;
  }
  ASSERT_EQ(Drv->GetECRFlags(), 0);
  int flags = Drv->get_ECRFlags();
  int set = 0;
  for (int n = 0; n < 16; ++n) set += (flags >> n) & 1;
  EXPECT_GE(set, 2);
  EXPECT_LE(set, 8);
  EXPECT_EQ(flags & ~0xFFFF, 0);
}

TEST_F(EcrControl, FiscalMemoryStatus) {
  ASSERT_EQ(Drv->GetFMStatus(), 0);
  EXPECT_EQ(Drv->get_FMSoftVersion(), L"2.1");
  EXPECT_EQ(Drv->get_FMSoftBuild(), 211);
  EXPECT_EQ(Drv->get_SerialNumber(), L"00123456");
  EXPECT_EQ(Drv->get_SessionNumber(), 57);
  EXPECT_EQ(Drv->get_FreeRecordInFM(), 2043);
  EXPECT_EQ(Drv->get_RegistrationNumber(), 1);
  EXPECT_EQ(Drv->get_FreeRegistration(), 15);
  EXPECT_EQ(Drv->get_INN(), L"770123456789");
  EXPECT_EQ(Drv->get_ActivizationNumber(), 1);
  EXPECT_EQ(Drv->get_FreeActivization(), 19);
  EXPECT_EQ(Drv->get_EKLZNumber(), L"0012345678");
}

// ---------------------------------------------------------------- registers

struct TRegisterKind {
  const char* Name;
  int32_t (TPloverDriver::*Method)();
  int Count;
};

class EcrRegisters : public TEcrTest, public ::testing::WithParamInterface<TRegisterKind> {};

TEST_P(EcrRegisters, WalkEndsWith129AtTheLastRegister) {
  const TRegisterKind& kind = GetParam();
  int n = 0;
  for (; n < 10000; ++n) {
    Drv->set_RegisterNumber(n);
    int32_t rc = (Drv.get()->*kind.Method)();
    if (rc != 0) {
      EXPECT_EQ(rc, 129);
      EXPECT_EQ(Drv->get_ResultCodeDescription(), L"Неверный номер регистра");
      break;
    }
  }
  EXPECT_EQ(n, kind.Count);
  Drv->set_RegisterNumber(-1);
  EXPECT_EQ((Drv.get()->*kind.Method)(), 129);
}

INSTANTIATE_TEST_SUITE_P(Kinds, EcrRegisters,
                         ::testing::Values(TRegisterKind{"Cash", &TPloverDriver::GetCashRegister, kCashRegisterCount},
                                           TRegisterKind{"Operation", &TPloverDriver::GetOperationRegister,
                                                         kOperationRegisterCount},
                                           TRegisterKind{"Rest", &TPloverDriver::GetRestRegister, kRestRegisterCount}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(EcrControl, RegisterContentsExerciseTheirPages) {
  Drv->set_RegisterNumber(0);
  ASSERT_EQ(Drv->GetCashRegister(), 0);
  EXPECT_EQ(Drv->get_CashRegister(), 15002500);  // 1500.25
  bool above16Bits = false, fractionalCash = false;
  for (int n = 0; n < kOperationRegisterCount; ++n) {
    Drv->set_RegisterNumber(n);
    ASSERT_EQ(Drv->GetOperationRegister(), 0);
    above16Bits |= Drv->get_OperationRegister() > 65535;
  }
  for (int n = 0; n < kCashRegisterCount; ++n) {
    Drv->set_RegisterNumber(n);
    ASSERT_EQ(Drv->GetCashRegister(), 0);
    fractionalCash |= Drv->get_CashRegister() % 10000 != 0;
  }
  EXPECT_TRUE(above16Bits);
  EXPECT_TRUE(fractionalCash);
  bool negative = false, whole = false, thousandths = false;
  for (int n = 0; n < kRestRegisterCount; ++n) {
    Drv->set_RegisterNumber(n);
    ASSERT_EQ(Drv->GetRestRegister(), 0);
    int v = Drv->get_RestRegister();
    negative |= v < 0;
    whole |= v != 0 && v % 1000 == 0;
    thousandths |= v % 10 != 0;
  }
  EXPECT_TRUE(negative && whole && thousandths);
}

TEST_F(EcrControl, WriteRestRegisterChangesTheValue) {
  for (int value : {-1500, 0, 7000, 2147483647}) {
    Drv->set_RegisterNumber(3);
    Drv->set_RestRegister(value);
    ASSERT_EQ(Drv->WriteRestRegister(), 0);
    Drv->set_RestRegister(12);
    ASSERT_EQ(Drv->GetRestRegister(), 0);
    EXPECT_EQ(Drv->get_RestRegister(), value);
  }
  Drv->set_RegisterNumber(kRestRegisterCount);
  EXPECT_EQ(Drv->WriteRestRegister(), 129);
}

// ---------------------------------------------------------------- tables

TEST_F(EcrControl, TableWalkFromOneEndsWith130) {
  int t = 1;
  for (; t < 300; ++t) {
    Drv->set_TableNumber(t);
    Drv->GetTableStruct();
    if (Drv->get_ResultCode() != 0) break;
    EXPECT_FALSE(Drv->get_TableName().empty());
    EXPECT_GT(Drv->get_RowCount(), 0);
    int fields = Drv->get_FieldCount();
    for (int f = 1; f <= fields; ++f) {
      Drv->set_FieldNumber(f);
      ASSERT_EQ(Drv->GetFieldStruct(), 0) << t << "/" << f;
      EXPECT_FALSE(Drv->get_FieldName().empty());
      if (Drv->get_FieldType() == 0) {
        EXPECT_LE(Drv->get_FieldMinValue(), Drv->get_FieldMaxValue());
      } else {
        EXPECT_TRUE(Drv->get_FieldType() == 1 || Drv->get_FieldType() == 2) << t << "/" << f;
        EXPECT_GT(Drv->get_FieldSize(), 0);
      }
      Drv->set_RowNumber(1);
      EXPECT_EQ(Drv->ReadTable(), 0) << t << "/" << f;
    }
    Drv->set_FieldNumber(fields + 1);
    EXPECT_EQ(Drv->GetFieldStruct(), kBadField);
  }
  EXPECT_EQ(Drv->get_ResultCode(), 130);
  EXPECT_EQ(Drv->get_ResultCodeDescription(), L"Неверный номер таблицы");
  EXPECT_GE(t - 1, 12);
  Drv->set_TableNumber(0);
  EXPECT_EQ(Drv->GetTableStruct(), 130);
}

TEST_F(EcrControl, ReadTableFillsTheFieldStructureToo) {
  Drv->set_TableNumber(2);
  Drv->set_RowNumber(3);
  Drv->set_FieldNumber(2);
  ASSERT_EQ(Drv->ReadTable(), 0);
  EXPECT_EQ(Drv->get_FieldValue(), L"Кассир 3");
  EXPECT_EQ(Drv->get_FieldName(), L"Имя");
  EXPECT_EQ(Drv->get_FieldType(), 1);
  EXPECT_EQ(Drv->get_FieldSize(), 21);
}

struct TWriteCase {
  int Table, Row, Field;
  const wchar_t* Value;
  int32_t Code;
  const wchar_t* Stored;  // what reads back on success
};

class EcrWriteTable : public TEcrTest, public ::testing::WithParamInterface<TWriteCase> {};

TEST_P(EcrWriteTable, ChecksTheValueAgainstItsField) {
  const TWriteCase& c = GetParam();
  Drv->set_TableNumber(c.Table);
  Drv->set_RowNumber(c.Row);
  Drv->set_FieldNumber(c.Field);
  Drv->set_FieldValue(c.Value);
  EXPECT_EQ(Drv->WriteTable(), c.Code);
  EXPECT_EQ(Drv->get_ResultCodeDescription(), ResultText(c.Code));
  if (c.Code == 0) {
    Drv->set_FieldValue(L"?");
    ASSERT_EQ(Drv->ReadTable(), 0);
    EXPECT_EQ(Drv->get_FieldValue(), c.Stored);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EcrWriteTable,
    ::testing::Values(TWriteCase{1, 1, 1, L"42", 0, L"42"}, TWriteCase{1, 1, 1, L" +07 ", 0, L"7"},
                      TWriteCase{1, 1, 1, L"100", kValueOutOfRange, nullptr},
                      TWriteCase{1, 1, 1, L"0", kValueOutOfRange, nullptr},
                      TWriteCase{3, 1, 4, L"-120", 0, L"-120"},
                      TWriteCase{3, 1, 4, L"-121", kValueOutOfRange, nullptr},
                      TWriteCase{1, 1, 1, L"1.5", kValueNotNumber, nullptr},
                      TWriteCase{1, 1, 1, L"", kValueNotNumber, nullptr},
                      TWriteCase{1, 1, 1, L"abc", kValueNotNumber, nullptr},
                      TWriteCase{7, 16, 1, L"ОТДЕЛ ИГРУШЕК", 0, L"ОТДЕЛ ИГРУШЕК"},
                      TWriteCase{7, 1, 1, L"01234567890123456789", 0, L"01234567890123456789"},
                      TWriteCase{7, 1, 1, L"012345678901234567890", kValueTooLong, nullptr},
                      TWriteCase{7, 17, 1, L"X", kBadRow, nullptr}, TWriteCase{7, 0, 1, L"X", kBadRow, nullptr},
                      TWriteCase{7, 1, 2, L"X", kBadField, nullptr}, TWriteCase{99, 1, 1, L"X", kBadTable, nullptr}));

TEST_F(EcrControl, RejectedWriteKeepsTheOldValue) {
  Drv->set_TableNumber(7);
  Drv->set_RowNumber(1);
  Drv->set_FieldNumber(1);
  Drv->set_FieldValue(L"012345678901234567890");
  ASSERT_EQ(Drv->WriteTable(), kValueTooLong);
  ASSERT_EQ(Drv->ReadTable(), 0);
  EXPECT_EQ(Drv->get_FieldValue(), L"ОТДЕЛ 1");
}

TEST_F(EcrControl, InitTableRestoresDefaultsInSimulatedSeconds) {
  Drv->set_TableNumber(5);
  Drv->set_RowNumber(2);
  Drv->set_FieldNumber(1);
  Drv->set_FieldValue(L"ЧЕКОМ");
  ASSERT_EQ(Drv->WriteTable(), 0);
  Drv->set_Timeout(30000);
  int64_t before = FClock->Slept();
  ASSERT_EQ(Drv->InitTable(), 0);
  EXPECT_EQ(FClock->Slept() - before, kInitTableMs);
  ASSERT_EQ(Drv->ReadTable(), 0);
  EXPECT_EQ(Drv->get_FieldValue(), L"КРЕДИТОМ");
}

TEST_F(EcrControl, InitTableTimesOutWhenTimeoutIsShort) {
  Drv->set_Timeout(1000);
  int64_t before = FClock->Slept();
  EXPECT_EQ(Drv->InitTable(), kDeviceTimeout);
  EXPECT_EQ(FClock->Slept() - before, 1000);
  EXPECT_NE(Drv->get_ResultCodeDescription().find(L"Timeout"), std::wstring::npos);
}

// ---------------------------------------------------------------- dump

TEST_F(EcrControl, EveryDumpDeviceHasItsOwnBlocks) {
  std::set<int> counts;
  for (int device = 1; device <= 6; ++device) {
    Drv->set_DeviceNumber(device);
    Drv->set_DataBlockNumber(0);
    ASSERT_EQ(Drv->RequestDump(), 0) << device;
    int count = Drv->get_DataBlockCount();
    counts.insert(count);
    for (int block : {0, count / 2, count - 1}) {
      Drv->set_DataBlockNumber(block);
      ASSERT_EQ(Drv->RequestDump(), 0);
      std::string bytes = WideToAnsi(Drv->get_DataBlock());
      EXPECT_EQ(bytes, DumpBlock(device, block)) << device << "/" << block;
      EXPECT_EQ(static_cast<int>(bytes.size()), DumpBlockSize(device));
    }
    Drv->set_DataBlockNumber(count);
    EXPECT_EQ(Drv->RequestDump(), kBadBlock);
    EXPECT_EQ(Drv->get_DataBlockCount(), count);
  }
  EXPECT_EQ(counts.size(), 6u);
  EXPECT_LE(*counts.begin(), 8);
  EXPECT_GE(*counts.rbegin(), 4000);
}

TEST_F(EcrControl, UnknownDumpDeviceIsAnError) {
  for (int device : {0, 7, -1}) {
    Drv->set_DeviceNumber(device);
    Drv->set_DataBlockNumber(0);
    EXPECT_EQ(Drv->RequestDump(), kBadDevice);
    EXPECT_EQ(Drv->get_ResultCodeDescription(), L"Неизвестное устройство");
  }
}

TEST(EcrDump, BlocksAreDeterministicAndDistinct) {
  EXPECT_EQ(DumpBlock(5, 10), DumpBlock(5, 10));
  EXPECT_NE(DumpBlock(5, 10), DumpBlock(5, 11));
  EXPECT_NE(DumpBlock(3, 10), DumpBlock(6, 10));
  EXPECT_TRUE(DumpBlock(7, 0).empty());
  EXPECT_TRUE(DumpBlock(1, -1).empty());
}

TEST(EcrDump, EveryByteSurvivesTheWideString) {
  // The program turns DataBlock back into bytes through the ANSI code page;
  // all 256 values must come back, including those the code page leaves undefined.
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(WideToAnsi(AnsiToWide(all)), all);
}

// ---------------------------------------------------------------- enabling and faults

TEST_F(EcrControl, DisabledDeviceRefusesDeviceWorkOnly) {
  Drv->set_DeviceEnabled(false);
  EXPECT_EQ(Drv->get_ResultCode(), 0);
  EXPECT_EQ(Drv->GetECRStatus(), kNotEnabled);
  EXPECT_NE(Drv->get_ResultCodeDescription().find(L"DeviceEnabled"), std::wstring::npos);
  EXPECT_EQ(Drv->CheckConnection(), kNotEnabled);
  Drv->set_CommandID(12345);
  EXPECT_EQ(Drv->GetCommand(), kCommandNotFound);
  Drv->set_DeviceEnabled(true);
  EXPECT_EQ(Drv->CheckConnection(), 0);
}

TEST_F(EcrControl, DeviceThatStopsAnsweringFailsAfterTheTimeout) {
  Drv->set_Timeout(700);
  Drv->set_DeviceNotAnswering(true);
  int64_t before = FClock->Slept();
  EXPECT_EQ(Drv->CheckConnection(), kNoLink);
  EXPECT_EQ(FClock->Slept() - before, 700);
  EXPECT_EQ(Drv->get_ResultCodeDescription(), L"Нет связи с ККМ");
  // Opening the port finds out too.
  Drv->set_DeviceEnabled(true);
  EXPECT_EQ(Drv->get_ResultCode(), kNoLink);
  EXPECT_FALSE(Drv->get_DeviceEnabled());
  Drv->set_DeviceNotAnswering(false);
  Drv->set_DeviceEnabled(true);
  EXPECT_EQ(Drv->get_ResultCode(), 0);
  EXPECT_EQ(Drv->CheckConnection(), 0);
}

TEST_F(EcrControl, ChosenMethodFailsEveryNthCall) {
  Drv->set_FaultMethod(L"checkconnection");
  Drv->set_FaultCode(55);
  Drv->set_FaultEvery(3);
  std::vector<int32_t> results;
  for (int i = 0; i < 7; ++i) results.push_back(Drv->CheckConnection());
  EXPECT_EQ(results, (std::vector<int32_t>{0, 0, 55, 0, 0, 55, 0}));
  // Other methods are untouched; an unknown code still has a text.
  EXPECT_EQ(Drv->GetECRFlags(), 0);
  Drv->CheckConnection();
  Drv->CheckConnection();
  EXPECT_EQ(Drv->get_ResultCode(), 55);
  EXPECT_EQ(Drv->get_ResultCodeDescription(), L"Неизвестная ошибка");
  Drv->set_FaultEvery(0);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Drv->CheckConnection(), 0);
}

TEST_F(EcrControl, FaultCanUseADeviceCode) {
  Drv->set_FaultMethod(L"GetCashRegister");
  Drv->set_FaultCode(129);
  Drv->set_FaultEvery(1);
  Drv->set_RegisterNumber(0);
  EXPECT_EQ(Drv->GetCashRegister(), 129);
  EXPECT_EQ(Drv->get_ResultCodeDescription(), L"Неверный номер регистра");
}

TEST_F(EcrControl, LinkLatencyIsPaidByEveryDeviceCall) {
  Drv->set_LinkLatency(40);
  int64_t before = FClock->Slept();
  for (int i = 0; i < 5; ++i) ASSERT_EQ(Drv->CheckConnection(), 0);
  EXPECT_EQ(FClock->Slept() - before, 200);
}

TEST_F(EcrControl, SettingsAreProperties) {
  TEcrSettings s = Drv->Control().Settings();
  EXPECT_EQ(s.SrcAddress, 1);
  Drv->set_SrcAddress(9);
  Drv->set_FaultMethod(L"GetECRStatus");
  Drv->set_LinkLatency(5);
  s = Drv->Control().Settings();
  EXPECT_EQ(s.SrcAddress, 9);
  EXPECT_EQ(s.FaultMethod, L"GetECRStatus");
  EXPECT_EQ(s.LinkLatency, 5);
  s.Timeout = 4321;
  s.DeviceNotAnswering = true;
  Drv->Control().ApplySettings(s);
  EXPECT_EQ(Drv->get_Timeout(), 4321);
  EXPECT_TRUE(Drv->get_DeviceNotAnswering());
}

TEST(EcrResults, ReadmeTableListsEveryCodeWithItsText) {
  auto root = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
  std::ifstream in(root / "driver" / "README.md", std::ios::binary);
  ASSERT_TRUE(in) << "driver/README.md";
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t count = 0;
  const TResultInfo* table = ResultTable(count);
  for (size_t i = 0; i < count; ++i) {
    std::string row = "| " + std::to_string(table[i].Code) + " | " + WideToUtf8(table[i].Text) + " |\n";
    EXPECT_NE(text.find(row), std::string::npos) << row;
  }
}
