// The register walk on its worker: where it ends, what it lists, how it
// stops, and the window thread reading lines while the worker appends.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "WorkerTestHost.h"
#include "test_CmdFakes.h"
#include "untReg.h"

namespace {

// A device with `count` registers of each kind; register n holds values[n]
// when given, else n.
struct TRegisterDevice {
  int Count = 0;
  int32_t FailCode = 0;  // instead of 129 at the end
  std::vector<int64_t> Values;
  std::function<void(int number)> DuringRead;

  void Attach(TFakeDriver& d) {
    d.OnCall = [this, &d](const std::wstring& method) {
      const int n = std::stoi(d.Text(L"RegisterNumber"));
      if (DuringRead) DuringRead(n);
      const int32_t rc = n < Count ? 0 : (FailCode ? FailCode : kNoMoreRegisters);
      d.MethodResults[method] = rc;
      const int64_t v = n < static_cast<int>(Values.size()) ? Values[static_cast<size_t>(n)] : n;
      d.Set(L"CashRegister", TVariant::FromCurrency(v));
      d.Set(L"OperationRegister", TVariant::FromInt(static_cast<int32_t>(v)));
      d.Set(L"RestRegister", TVariant::FromInt(static_cast<int32_t>(v)));
    };
  }
};

// What the page's three messages would carry, in the order posted.
struct TEvents {
  std::mutex Lock;
  std::vector<std::string> Log;
  std::atomic<bool> Done{false};
  void Add(std::string e) {
    std::lock_guard lock(Lock);
    Log.push_back(std::move(e));
  }
};

class RegReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Device.Attach(Driver);
    Reader.OnStart = [this] { Events.Add("start"); };
    Reader.OnProgress = [this](int p) { Events.Add("read " + std::to_string(p)); };
    Reader.OnComplete = [this] {
      Events.Add("done");
      Events.Done = true;
    };
  }
  void Walk(TECRRegisters& set) {
    Reader.Start(set);
    ASSERT_TRUE(Host.ServeUntil([&] { return Events.Done.load(); }));
    Reader.Stop();
  }
  std::vector<std::wstring> Lines(const TECRRegisters& set) {
    std::vector<std::wstring> out;
    for (int i = 0; i < set.Count(); ++i) out.push_back(set.LineAt(i));
    return out;
  }

  TFakeDriver Driver;
  TRegisterDevice Device;
  std::recursive_mutex Lock;
  TTestWorkerHost Host;
  TRegReader Reader{Driver, Lock, Host};
  TEvents Events;
};

}  // namespace

TEST_F(RegReaderTest, WalksUpToTheFirstRefusedNumberAndEndsQuietlyOn129) {
  Device.Count = 3;
  Device.Values = {15002500, 0, -12345};
  TCashRegisters cash;
  Walk(cash);
  EXPECT_EQ(Lines(cash), (std::vector<std::wstring>{L"00: 1500.25", L"01: 0", L"02: -1.2345"}));
  EXPECT_EQ(Events.Log, (std::vector<std::string>{"start", "read 0", "read 1", "read 2", "done"}));
  EXPECT_EQ(Reader.ErrorCode(), 0);
  EXPECT_FALSE(Reader.Active());
  EXPECT_EQ(Host.Entered, 1);
  EXPECT_EQ(Host.Left, 1);
}

TEST_F(RegReaderTest, AKindWithNoRegistersListsNothingAndNeverStarts) {
  Device.Count = 0;
  TOptnRegisters optn;
  Walk(optn);
  EXPECT_EQ(optn.Count(), 0);
  EXPECT_EQ(Events.Log, (std::vector<std::string>{"done"}));
  EXPECT_EQ(Reader.ErrorCode(), 0);
}

TEST_F(RegReaderTest, AnotherCodeEndsTheWalkWithTheDriversText) {
  Device.Count = 2;
  Device.FailCode = 7;
  TRestRegisters rest;
  Walk(rest);
  EXPECT_EQ(rest.Count(), 2);
  EXPECT_EQ(Reader.ErrorCode(), static_cast<int32_t>(0x80004005u));
  EXPECT_EQ(Reader.ErrorText(), L"Ошибка 7");

  // Failing at the very first register: no start, the error after completion.
  Device.Count = 0;
  Events.Log.clear();
  Events.Done = false;
  Walk(rest);
  EXPECT_EQ(Events.Log, (std::vector<std::string>{"done"}));
  EXPECT_EQ(Reader.ErrorText(), L"Ошибка 7");
}

TEST_F(RegReaderTest, ValuesAreShownAsEachKindKeepsThem) {
  Device.Count = 124;
  Device.Values.assign(124, 0);
  Device.Values[1] = 70000;  // more than 16 bits
  Device.Values[2] = 12345;
  Device.Values[123] = 5;
  TOptnRegisters optn;
  Walk(optn);
  EXPECT_EQ(optn.LineAt(1), L"01: 4464");
  EXPECT_EQ(optn.LineAt(123), L"123: 5");
  TRestRegisters rest;
  Events.Done = false;
  Walk(rest);
  EXPECT_EQ(rest.LineAt(2), L"02: 12345") << "unscaled on this page";
}

TEST_F(RegReaderTest, ASecondReadingListsOnlyItsOwnRegisters) {
  Device.Count = 5;
  TCashRegisters cash;
  Walk(cash);
  Device.Count = 2;
  Events.Done = false;
  Walk(cash);
  EXPECT_EQ(cash.Count(), 2);
}

TEST_F(RegReaderTest, StopEndsAfterTheRegisterUnderWayWhichIsListed) {
  Device.Count = 1000000;
  std::atomic<bool> inside{false};
  Device.DuringRead = [&](int n) {
    if (n != 5) return;
    inside = true;
    // Register 5 is read only once the window thread waits for the stop.
    EXPECT_TRUE(WaitUntil([&] { return Host.Waiting(); }));
  };
  TCashRegisters cash;
  Reader.Start(cash);
  ASSERT_TRUE(WaitUntil([&] { return inside.load(); }));
  Reader.Stop();
  EXPECT_EQ(cash.Count(), 6);
  EXPECT_EQ(Reader.ErrorCode(), 0);
  EXPECT_EQ(Events.Log.back(), "done");
  EXPECT_EQ(Host.Left, 1);
}

TEST_F(RegReaderTest, AThreadThatCannotBePreparedReportsWhy) {
  Host.FailEnter = true;
  TCashRegisters cash;
  Walk(cash);
  EXPECT_EQ(Reader.ErrorText(), L"Не удалось подготовить поток");
  EXPECT_EQ(Events.Log, (std::vector<std::string>{"done"}));
}

// The window thread formats each line as its message arrives while the worker
// goes on appending (run under ThreadSanitizer).
TEST_F(RegReaderTest, LinesAreReadWhileTheWorkerAppends) {
  Device.Count = 3000;
  std::mutex queueLock;
  std::vector<int> positions;
  Reader.OnProgress = [&](int p) {
    std::lock_guard lock(queueLock);
    positions.push_back(p);
  };
  TRestRegisters rest;
  Reader.Start(rest);
  size_t shown = 0;
  std::vector<std::wstring> memo;
  while (!Events.Done || shown < 3000) {
    std::vector<int> batch;
    {
      std::lock_guard lock(queueLock);
      batch.assign(positions.begin() + static_cast<long>(shown), positions.end());
    }
    for (int p : batch) memo.push_back(rest.LineAt(p));
    shown += batch.size();
    if (batch.empty()) std::this_thread::yield();
  }
  Reader.Stop();
  ASSERT_EQ(memo.size(), 3000u);
  EXPECT_EQ(memo[2999], L"2999: 2999");
}

TEST(Registers, EntriesMoveBetweenSetsAndLeaveWhenDestroyed) {
  TCashRegisters a, b;
  auto* e = new TCashRegister(&a, 1, 10000);
  new TCashRegister(&a, 2, 20000);
  EXPECT_EQ(a.Count(), 2);
  e->SetOwner(&b);
  EXPECT_EQ(a.Count(), 1);
  EXPECT_EQ(b.Items(0), e);
  delete e;
  EXPECT_EQ(b.Count(), 0);
  a.Clear();
  EXPECT_EQ(a.Count(), 0);
  EXPECT_THROW(a.Items(0), Exception);
  EXPECT_EQ(CreateRegisters(2)->GetName(), L"Регистры остатков");
  EXPECT_EQ(CreateRegisters(3), nullptr);
}
