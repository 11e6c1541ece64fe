// The date page's driver sequences, against a driver that logs every access
// and against the virtual cash register.
#include "untDate.h"

#include <gtest/gtest.h>

#include <cmath>

#include "EcrTestSupport.h"
#include "test_CmdFakes.h"
#include "untDateText.h"
#include "untDriverResult.h"
#include "untText.h"

namespace {

TDateTime At(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
  return EncodeDate(y, mo, d) + EncodeTime(h, mi, s, ms);
}

// The puts and calls of the log, without the reads.
std::vector<std::wstring> Steps(const TFakeDriver& d) {
  std::vector<std::wstring> steps;
  for (const auto& e : d.Log)
    if (e.rfind(L"get ", 0) != 0) steps.push_back(e);
  return steps;
}

class DatePage : public ::testing::Test {
 protected:
  TFakeDriver D;
  double PutValue(const wchar_t* name) {
    return VarAsType(D.GetById(FindMemberByName(name)->DispId), TVarType::Double).Double();
  }
};

}  // namespace

TEST_F(DatePage, PickedDateAndTimeAreWrittenNotTheClocks) {
  TClock previous = SetClock([] { return At(2026, 3, 1, 12, 0, 0); });
  WriteEcrDate(D, EncodeDate(2031, 12, 30));
  WriteEcrTime(D, EncodeTime(23, 59, 58, 0));
  SetClock(previous);
  EXPECT_EQ(Steps(D), (std::vector<std::wstring>{L"put DeviceEnabled=True", L"put ECRDate=30.12.2031", L"call SetDate",
                                                 L"put DeviceEnabled=True", L"put ECRTime=23:59:58", L"call SetTime"}));
}

TEST_F(DatePage, CurrentTimeIsTakenAfterTheDateWasWritten) {
  // SetDate takes the clock across midnight.
  const TDateTime readings[] = {At(2026, 5, 31, 23, 59, 59, 900), At(2026, 6, 1, 0, 0, 0, 200)};
  int reads = 0;
  WriteCurrentDateTime(D, [&] { return readings[reads++]; });
  EXPECT_EQ(reads, 2);
  EXPECT_DOUBLE_EQ(PutValue(L"ECRDate"), EncodeDate(2026, 5, 31));
  EXPECT_NEAR(PutValue(L"ECRTime"), EncodeTime(0, 0, 0, 200), 1e-9);
  EXPECT_EQ(D.Entries(L"call "), (std::vector<std::wstring>{L"call SetDate", L"call SetTime"}));
}

TEST_F(DatePage, RefusedSetDateStopsBeforeTheTime) {
  D.MethodResults[L"SetDate"] = 5;
  EXPECT_THROW(WriteCurrentDateTime(D, [] { return At(2026, 1, 1, 10, 0, 0); }), ECustomError);
  EXPECT_TRUE(D.Entries(L"put ECRTime").empty());
  EXPECT_EQ(D.Count(L"call SetTime"), 0);
  D.MethodResults[L"SetTime"] = 6;
  EXPECT_THROW(WriteEcrTime(D, 0.5), ECustomError);
}

TEST_F(DatePage, InitTablesRaisesTheTimeoutForTheCallAndPutsItBackOnEveryPath) {
  D.Set(L"Timeout", TVariant::FromInt(5000));
  std::vector<std::wstring> seen;
  D.OnCall = [&](const std::wstring& m) {
    if (m == L"InitTable") seen.push_back(D.Text(L"Timeout"));
  };
  InitEcrTables(D);
  EXPECT_EQ(D.Text(L"Timeout"), L"5000");

  D.MethodResults[L"InitTable"] = -3;
  EXPECT_THROW(InitEcrTables(D), ECustomError);
  EXPECT_EQ(D.Text(L"Timeout"), L"5000");

  D.OnCall = [&](const std::wstring& m) {
    if (m == L"InitTable") {
      seen.push_back(D.Text(L"Timeout"));
      throw EOleError(kDispEMemberNotFound, L"Связь с объектом потеряна");
    }
  };
  EXPECT_THROW(InitEcrTables(D), EOleError);
  EXPECT_EQ(D.Text(L"Timeout"), L"5000");
  EXPECT_EQ(seen, (std::vector<std::wstring>{L"30000", L"30000", L"30000"}));
  // DeviceEnabled comes after the time-out is raised, as the page does it.
  const auto steps = Steps(D);
  EXPECT_EQ(std::vector<std::wstring>(steps.begin(), steps.begin() + 4),
            (std::vector<std::wstring>{L"put Timeout=30000", L"put DeviceEnabled=True", L"call InitTable",
                                       L"put Timeout=5000"}));
}

class DatePageDevice : public TEcrTest {};

TEST_F(DatePageDevice, WritesTheDeviceClockAndInitialisesWithinTheLongTimeout) {
  WriteEcrDate(*Drv, EncodeDate(2030, 7, 15));
  WriteEcrTime(*Drv, EncodeTime(8, 30, 0, 0));
  ASSERT_EQ(Drv->GetECRStatus(), 0);
  EXPECT_DOUBLE_EQ(std::floor(Drv->get_ECRDate()), EncodeDate(2030, 7, 15));
  EXPECT_EQ(TimeToStr(Drv->get_ECRTime()).substr(0, 5), L"08:30");

  // A date the device refuses carries its description.
  try {
    WriteEcrDate(*Drv, EncodeDate(1999, 1, 1));
    ADD_FAILURE();
  } catch (const ECustomError& e) {
    EXPECT_EQ(e.Code, 5);
    EXPECT_EQ(e.Message(), L"Неверная дата");
  }

  // The default time-out (1000) is too short for the device's 2.5 s.
  ASSERT_EQ(Drv->get_Timeout(), 1000);
  InitEcrTables(*Drv);
  EXPECT_EQ(Drv->get_Timeout(), 1000);
}
