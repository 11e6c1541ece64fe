// A cancelled receipt on the receipt page: its sales are dropped, so they
// reach neither the next receipt nor the total; and the virtual cash desk's
// whole scenario, cancelled receipt included, adds up to its two receipts.
#include <gtest/gtest.h>

#include <cmath>

#include "EcrTestSupport.h"
#include "NetScriptDriver.h"
#include "untEcrStations.h"
#include "untReceiptMonitor.h"

namespace {

class ReceiptCancel : public ::testing::Test {
 protected:
  TScriptDriver Drv;
  int Refreshes = 0;
  TReceiptMonitor Monitor{[this] { ++Refreshes; }};

  void Deliver(int32_t code, bool repeated = false, double quantity = 0, double rubles = 0) {
    TScriptCommand c;
    c.Code = code;
    c.Repeated = repeated;
    c.Quantity = quantity;
    c.Price = std::llround(rubles * 10000);
    Monitor.DriverCommand(Drv, Drv.Arrive(c));
  }
  void ExpectShown(const wchar_t* total, const wchar_t* count, const wchar_t* receipt) {
    const TReceiptTexts t = Monitor.Texts();
    EXPECT_EQ(t.TotalSum, total);
    EXPECT_EQ(t.RecCount, count);
    EXPECT_EQ(t.RecSum, receipt);
  }
};

}  // namespace

TEST_F(ReceiptCancel, DropsTheOpenReceiptOnly) {
  Deliver(0x80, false, 1, 10.50);
  Deliver(0x90);
  // A cancellation with no receipt open leaves the closed one on show.
  Deliver(0x91);
  ExpectShown(L"10.5", L"1", L"10.5");

  Deliver(0x80, false, 1, 50);
  Deliver(0x91);
  ExpectShown(L"10.5", L"1", L"0");
  // Answered like every request, and the page was refreshed for it.
  EXPECT_EQ(Drv.SendCount, 5);
  EXPECT_EQ(Refreshes, 4);

  // The next receipt starts from nothing; a repeat of its first sale takes
  // back only that sale, not the cancelled one.
  Deliver(0x80, false, 2, 1.25);
  Deliver(0x80, true, 2, 1.25);
  Deliver(0x90);
  ExpectShown(L"13", L"2", L"2.5");
}

namespace {

class ReceiptCancelDesk : public TEcrTest {
 protected:
  TEcrSettings Settings() override {
    TEcrSettings s;
    s.Timeout = 1000;  // the desk's wait before its repeat; only the lost answer costs it
    return s;
  }
};

}  // namespace

TEST_F(ReceiptCancelDesk, TwoRoundsOfTheScenarioCountFourReceipts) {
  TReceiptMonitor monitor;
  monitor.Bind(*Drv);
  const auto& steps = ecr::DeskScenario();
  for (int round = 0; round < 2; ++round)
    for (const auto& step : steps) {
      ASSERT_EQ(Drv->SendDeskRequest(), 0);
      ASSERT_EQ(Drv->WaitCommands(3000), 1);
      if (step.LoseFirstAnswer) {
        ASSERT_EQ(Drv->WaitCommands(3000), 1);
      }
    }
  // 24.25 and 0.333 each round; the sale of 50 in the cancelled receipt
  // counts nowhere.
  const TReceiptTexts t = monitor.Texts();
  EXPECT_EQ(t.TotalSum, L"49.166");
  EXPECT_EQ(t.RecCount, L"4");
  EXPECT_EQ(t.RecSum, L"0");
  monitor.Unbind();
}
