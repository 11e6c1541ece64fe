// The receipt page's handling of received commands: what it counts, what it
// answers, and the exact money arithmetic behind its three figures.
#include <gtest/gtest.h>

#include <cmath>
#include <future>
#include <limits>
#include <mutex>
#include <vector>

#include "EcrTestSupport.h"
#include "NetScriptDriver.h"
#include "untEcrStations.h"
#include "untError.h"
#include "untReceiptMonitor.h"
#include "untText.h"

namespace {

class ReceiptMonitor : public ::testing::Test {
 protected:
  TScriptDriver Drv;
  int Refreshes = 0;
  TReceiptMonitor Monitor{[this] { ++Refreshes; }};

  void Deliver(const TScriptCommand& c) { Monitor.DriverCommand(Drv, Drv.Arrive(c)); }
  void Sale(double quantity, double rubles, bool repeated = false) {
    TScriptCommand c;
    c.Code = 0x80;
    c.Quantity = quantity;
    c.Price = std::llround(rubles * 10000);
    c.Repeated = repeated;
    Deliver(c);
  }
  void Closing(bool repeated = false) {
    TScriptCommand c;
    c.Code = 0x90;
    c.Repeated = repeated;
    Deliver(c);
  }
  // total, count, receipt: the three edits as the page shows them.
  void ExpectShown(const wchar_t* total, const wchar_t* count, const wchar_t* receipt) {
    TReceiptTexts t = Monitor.Texts();
    EXPECT_EQ(t.TotalSum, total);
    EXPECT_EQ(t.RecCount, count);
    EXPECT_EQ(t.RecSum, receipt);
  }
};

TEST_F(ReceiptMonitor, SalesMakeTheReceiptAndAClosingCountsIt) {
  Sale(2, 10.50);
  Sale(1, 3.25);
  ExpectShown(L"0", L"0", L"24.25");
  Closing();
  ExpectShown(L"24.25", L"1", L"24.25");
  // The closed receipt stays on show until the next sale starts a new one.
  TScriptCommand status;
  status.Code = 0x11;
  Deliver(status);
  ExpectShown(L"24.25", L"1", L"24.25");
  Sale(1, 5);
  ExpectShown(L"24.25", L"1", L"5");
  Closing();
  ExpectShown(L"29.25", L"2", L"5");
  EXPECT_EQ(Refreshes, 5);
}

TEST_F(ReceiptMonitor, RepeatedSaleReplacesThePreviousOneButRepeatedClosingCountsTwice) {
  Sale(1, 10.50);
  Sale(1, 10.50, true);
  ExpectShown(L"0", L"0", L"10.5");
  Sale(1, 3.25);
  Sale(1, 3.25, true);
  ExpectShown(L"0", L"0", L"13.75");
  Closing();
  Closing(true);
  ExpectShown(L"27.5", L"2", L"13.75");
  // A repeat that comes after a closing takes its sale back from the closed
  // receipt, and then the new receipt starts from nothing.
  Sale(1, 1, true);
  ExpectShown(L"27.5", L"2", L"1");
}

TEST_F(ReceiptMonitor, ResetInTheMiddleOfAReceipt) {
  Sale(1, 10.50);
  Closing();
  Sale(2, 1.25);
  Monitor.ResetSums();
  ExpectShown(L"0", L"0", L"0");
  Sale(1, 3.25);
  ExpectShown(L"0", L"0", L"3.25");
  // The last sale is remembered across the reset: its repeat replaces it.
  Monitor.ResetSums();
  Sale(1, 3.25, true);
  ExpectShown(L"0", L"0", L"0");
}

TEST_F(ReceiptMonitor, EveryRequestIsAnsweredToItsSenderInTheProgramsName) {
  struct TCase {
    int32_t Code;
    int32_t Type;
    bool Answered;
    bool Counted;
  } cases[] = {
      {0x80, 0, true, true},  {0x90, 0, true, true},   {0x11, 0, true, false},
      {0x77, 0, true, false}, {0x80, 1, false, false}, {0x90, 1, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "code " << c.Code << " type " << c.Type);
    Drv.set_WaitAnswer(true);
    const int sent = Drv.SendCount, refreshes = Refreshes;
    TScriptCommand cmd;
    cmd.Code = c.Code;
    cmd.Type = c.Type;
    cmd.Src = 9;
    cmd.Dst = 1;  // even one addressed to the program itself
    cmd.Quantity = 1;
    cmd.Price = 10000;
    Deliver(cmd);
    EXPECT_EQ(Drv.SendCount - sent, c.Answered ? 1 : 0);
    EXPECT_EQ(Refreshes - refreshes, c.Counted ? 1 : 0);
    if (!c.Answered) continue;
    EXPECT_EQ(Drv.LastAnswer.Type, 1);
    EXPECT_EQ(Drv.LastAnswer.Code, c.Code);
    EXPECT_EQ(Drv.LastAnswer.Dst, 9);
    EXPECT_EQ(Drv.LastAnswer.Src, 1);
    EXPECT_FALSE(Drv.LastAnswer.WaitAnswer);
  }
  ExpectShown(L"1", L"1", L"1");
}

TEST_F(ReceiptMonitor, CommandThatCannotBeFetchedIsIgnored) {
  Drv.GetCommandResult = -5;
  Sale(1, 10);
  EXPECT_EQ(Drv.Parsed, 0);
  EXPECT_EQ(Drv.SendCount, 0);
  ExpectShown(L"0", L"0", L"0");
}

TEST_F(ReceiptMonitor, AmountBeyondTheCurrencyRangeChangesNothingAndSendsNothing) {
  Sale(1, 10);
  TScriptCommand big;
  big.Quantity = 1e15;
  big.Price = 100000;  // 10.00 x 10^15 rubles does not fit
  EXPECT_THROW(Deliver(big), Exception);
  big.Quantity = std::numeric_limits<double>::quiet_NaN();
  EXPECT_THROW(Deliver(big), Exception);
  EXPECT_EQ(Drv.SendCount, 1);
  ExpectShown(L"0", L"0", L"10");
  EXPECT_EQ(Monitor.LastSale, 100000);
}

// ---------------------------------------------------------------- amounts

struct TSaleCase {
  double Quantity;
  int64_t Price;
  int64_t Amount;
};

TEST(SaleAmount, RoundsTheDecimalProductToTenThousandthsHalvesToEven) {
  const TSaleCase cases[] = {
      {2, 105000, 210000},
      {0.333, 10000, 3330},
      {1.23456, 10000, 12346},
      // Halves go to the even neighbour, judged on the decimal the quantity
      // stands for: 0.00015 x 10000 is 1.4999999999999998 as a double product.
      {0.00015, 10000, 2},
      {0.00025, 10000, 2},
      {1.23455, 10000, 12346},
      {1.23465, 10000, 12346},
      {2.5, 1, 2},
      {3.5, 1, 4},
      {-2.5, 1, -2},
      {0.00015, -10000, -2},
      {0.00016, 10000, 2},
      {0.00014, 10000, 1},
      {0.1 + 0.2, 10000, 3000},
      {1e-300, 10000, 0},
      {0, 123456, 0},
      {123456789.123, 10000, 1234567891230},
      {1e20, 0, 0},
      {1, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::min()},
      {-1, -std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::max()},
      {922337203685477.0, 10000, 9223372036854770000},
      {1e-4, 99999999999999, 10000000000},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SaleAmount(c.Quantity, c.Price), c.Amount) << c.Quantity << " x " << c.Price;
}

TEST(SaleAmount, RefusesWhatTheCurrencyCannotHold) {
  EXPECT_THROW(SaleAmount(1e15, 100000), Exception);
  EXPECT_THROW(SaleAmount(-1, std::numeric_limits<int64_t>::min()), Exception);
  EXPECT_THROW(SaleAmount(1e300, 1), Exception);
  EXPECT_THROW(SaleAmount(std::numeric_limits<double>::infinity(), 1), Exception);
  EXPECT_THROW(SaleAmount(std::nan(""), 1), Exception);
}

TEST(SaleAmount, CurrencyTextIsTheGeneralNumberForm) {
  const std::pair<int64_t, const wchar_t*> cases[] = {
      {0, L"0"},           {242500, L"24.25"},        {245830, L"24.583"},   {1000000, L"100"},
      {1, L"0.0001"},      {-32500, L"-3.25"},        {12345000, L"1234.5"}, {99999999999999, L"9999999999.9999"},
      {123456789012345, L"12345678901.2345"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(CurrencyText(value), text) << value;
}

// Totals over many sales equal the sum worked out in integers on the side.
TEST(SaleAmount, AMillionSalesAddUpExactly) {
  TScriptDriver drv;
  TReceiptMonitor monitor;
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  int64_t expectedTotal = 0, receipt = 0;
  int closings = 0;
  for (int i = 0; i < 1000000; ++i) {
    if (next() % 8 == 0) {
      TScriptCommand c;
      c.Code = 0x90;
      monitor.DriverCommand(drv, drv.Arrive(c));
      expectedTotal += receipt;
      receipt = 0;
      ++closings;
      continue;
    }
    const int64_t thousandths = next() % 100000;  // quantity 0.000 .. 99.999
    const int64_t price = next() % 10000000;      // up to 999.9999
    TScriptCommand c;
    c.Quantity = static_cast<double>(thousandths) / 1000.0;
    c.Price = price;
    monitor.DriverCommand(drv, drv.Arrive(c));
    // thousandths x price / 1000, halves to even.
    const int64_t product = thousandths * price;
    int64_t sale = product / 1000;
    const int64_t rest = product % 1000;
    if (rest > 500 || (rest == 500 && sale % 2 != 0)) ++sale;
    receipt += sale;
  }
  EXPECT_EQ(monitor.ReceiptCount, closings);
  EXPECT_EQ(monitor.TotalSum, expectedTotal);
}

// The page binds its handler with the lock of its background readings: the
// handling runs under that lock, and a binding without one takes none.
TEST(NetHandler, HandlesUnderTheLockItWasBoundWith) {
  TScriptDriver drv;
  std::recursive_mutex lock;
  // Asked from another thread: the handling thread could always take it again.
  auto heldElsewhere = [&lock] {
    return std::async(std::launch::async, [&lock] {
             if (!lock.try_lock()) return true;
             lock.unlock();
             return false;
           }).get();
  };
  std::vector<bool> heldWhileCounting;
  TReceiptMonitor monitor([&] { heldWhileCounting.push_back(heldElsewhere()); });
  TScriptCommand sale;
  sale.Quantity = 1;
  sale.Price = 10000;
  monitor.Bind(drv, lock);
  drv.OnCommand(drv, drv.Arrive(sale));
  EXPECT_FALSE(heldElsewhere()) << "released once handled";
  monitor.Bind(drv);
  drv.OnCommand(drv, drv.Arrive(sale));
  EXPECT_EQ(heldWhileCounting, (std::vector<bool>{true, false}));
  EXPECT_EQ(drv.SendCount, 2);
}

// ---------------------------------------------------------------- the virtual cash desk

class ReceiptMonitorDesk : public TEcrTest {
 protected:
  TEcrSettings Settings() override {
    TEcrSettings s;
    s.Timeout = 1000;  // the desk's wait before its repeat; only the lost answer costs it
    return s;
  }
};

TEST_F(ReceiptMonitorDesk, TwoReceiptsOfTheScenarioTotal24583) {
  int closings = 0;
  TReceiptMonitor monitor;
  monitor.Bind(*Drv);
  const auto& steps = ecr::DeskScenario();
  for (size_t i = 0; i < steps.size() && closings < 2; ++i) {
    SCOPED_TRACE(testing::Message() << "step " << i);
    ASSERT_EQ(Drv->SendDeskRequest(), 0);
    ASSERT_EQ(Drv->WaitCommands(3000), 1);
    // The answer the line loses brings the same request once more.
    if (steps[i].LoseFirstAnswer) {
      ASSERT_EQ(Drv->WaitCommands(3000), 1);
    }
    if (steps[i].Code == 0x90) ++closings;
    if (closings == 1 && steps[i].Code == 0x90) {
      EXPECT_EQ(monitor.Texts().TotalSum, L"24.25");
      EXPECT_EQ(monitor.Texts().RecCount, L"1");
    }
  }
  ASSERT_EQ(closings, 2);
  TReceiptTexts t = monitor.Texts();
  EXPECT_EQ(t.TotalSum, L"24.583");
  EXPECT_EQ(t.RecCount, L"2");
  EXPECT_EQ(t.RecSum, L"0.333");
  monitor.Unbind();
}

}  // namespace
