// Dump reading: the block count asked on the window thread, the blocks on the
// worker in order, the question after a failing block, stopping, closing,
// and the data taken while the worker appends.
#include <gtest/gtest.h>

#include <atomic>

#include "WorkerTestHost.h"
#include "test_CmdFakes.h"
#include "untDriverResult.h"
#include "untDump.h"
#include "untError.h"

namespace {

// A device of `Blocks` blocks; block n holds "B<n>;". FailBlock fails
// FailTimes times before it reads.
struct TDumpDevice {
  int32_t Blocks = 4;
  int32_t FailBlock = -1;
  std::atomic<int> FailTimes{0};
  std::function<void(int block)> DuringRead;
  std::vector<int> Requested;  // worker and window thread, never at once
  std::atomic<int> RequestCount{0};

  void Attach(TFakeDriver& d) {
    d.OnCall = [this, &d](const std::wstring& method) {
      if (method != L"RequestDump") return;
      const int n = std::stoi(d.Text(L"DataBlockNumber"));
      Requested.push_back(n);
      ++RequestCount;
      if (DuringRead) DuringRead(n);
      d.Set(L"DataBlockCount", TVariant::FromInt(Blocks));
      int32_t rc = n >= 0 && n < Blocks ? 0 : 5;
      if (n == FailBlock && FailTimes > 0) {
        --FailTimes;
        rc = 5;
      }
      d.MethodResults[method] = rc;
      d.Set(L"DataBlock", TVariant::FromStr(L"B" + std::to_wstring(n) + L";"));
    };
  }
};

class DumpReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Device.Attach(Driver);
    Reader.OnStart = [this] { Log.push_back("start"); };
    Reader.OnProgress = [this](int n) { Log.push_back("read " + std::to_string(n)); };
    Reader.OnComplete = [this] { Done = true; };
    Reader.OnAskContinue = [this](const std::wstring& q) {
      Questions.push_back(q);
      if (Answers.empty()) return false;  // No
      const bool yes = Answers.front();
      Answers.erase(Answers.begin());
      return yes;
    };
    Reader.OnShowError = [this](const std::wstring& text) { Errors.push_back(text); };
  }
  void Read(const TDumpParams& params) {
    Reader.Start(params);
    ASSERT_TRUE(Host.ServeUntil([&] { return Done.load(); }));
    Reader.Stop();
  }

  TFakeDriver Driver;
  TDumpDevice Device;
  std::recursive_mutex Lock;
  TTestWorkerHost Host;
  TDumpReader Reader{Driver, Lock, Host};
  std::vector<std::string> Log;  // worker only, read after Stop
  std::atomic<bool> Done{false};
  std::vector<std::wstring> Questions, Errors;  // window thread
  std::vector<bool> Answers;  // what the questions are answered, then No
};

}  // namespace

TEST_F(DumpReaderTest, AWholeDumpAsksBlockZeroOnceThenReadsEveryBlockInOrder) {
  const TDumpRange range = PrepareParams(Driver, 2, true, L"x", L"y");
  EXPECT_EQ(Device.Requested, (std::vector<int>{0}));
  EXPECT_EQ(range.BlockCount, 4);
  EXPECT_EQ(range.Params.StartBlock, 0);
  EXPECT_EQ(range.Params.EndBlock, 4);
  EXPECT_EQ(Driver.Text(L"DeviceNumber"), L"2");
  Read(range.Params);
  EXPECT_EQ(Device.Requested, (std::vector<int>{0, 0, 1, 2, 3}));
  EXPECT_EQ(Log, (std::vector<std::string>{"start", "read 1", "read 2", "read 3", "read 4"}));
  EXPECT_EQ(Reader.Data(), "B0;B1;B2;B3;");
  EXPECT_TRUE(Errors.empty());
}

TEST_F(DumpReaderTest, ARangeIncludesBothEndsAndItsEndIsTheLastBlockAtMost) {
  TDumpRange r = PrepareParams(Driver, 1, false, L"1", L"2");
  EXPECT_EQ(r.Params.StartBlock, 1);
  EXPECT_EQ(r.Params.EndBlock, 3);
  EXPECT_EQ(r.BlockCount, 2);
  r = PrepareParams(Driver, 1, false, L"3", L"3");
  EXPECT_EQ(r.BlockCount, 1);
  r = PrepareParams(Driver, 1, false, L"2", L"1000");
  EXPECT_EQ(r.Params.EndBlock, 4);
  EXPECT_EQ(r.BlockCount, 2);
  try {
    PrepareParams(Driver, 1, false, L"5", L"9");
    FAIL() << "a start beyond the last block";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), L"Начальный номер блока (5)\r\nне может превышать конечный (3).");
  }
  EXPECT_THROW(PrepareParams(Driver, 1, false, L"а", L"1"), EConvertError);
  Read(PrepareParams(Driver, 1, false, L"1", L"2").Params);
  EXPECT_EQ(Reader.Data(), "B1;B2;");
  EXPECT_EQ(Log.back(), "read 2");
}

TEST_F(DumpReaderTest, TheBlockCountQueryStopsTheStartWithTheDriversText) {
  Driver.DeviceEnabledResult = 3;
  try {
    PrepareParams(Driver, 1, true, L"", L"");
    FAIL();
  } catch (const ECustomError& e) {
    EXPECT_EQ(e.Message(), L"Ошибка 3");
  }
  Driver.DeviceEnabledResult = 0;
  Driver.MethodResults[L"RequestDump"] = 9;
  Driver.OnCall = nullptr;
  EXPECT_THROW(PrepareParams(Driver, 1, true, L"", L""), ECustomError);
}

TEST_F(DumpReaderTest, AFailingBlockIsAskedAboutNoEndsYesRetriesTheSameBlock) {
  Device.FailBlock = 2;
  Device.FailTimes = 2;
  Answers = {true};  // Yes, then No
  Read(TDumpParams{3, 4, 0});
  ASSERT_EQ(Questions.size(), 2u);
  EXPECT_EQ(Questions[0], L"Ошибка 5. Продолжить ?");
  EXPECT_EQ(Reader.Data(), "B0;B1;") << "No ends the reading, the blocks read stay";
  EXPECT_EQ(Device.Requested, (std::vector<int>{0, 1, 2, 2}));

  Device.Requested.clear();
  Device.FailTimes = 1;
  Answers = {true};
  Questions.clear();
  Done = false;
  Read(TDumpParams{3, 4, 0});
  EXPECT_EQ(Questions.size(), 1u);
  EXPECT_EQ(Reader.Data(), "B0;B1;B2;B3;");
  EXPECT_EQ(Device.Requested, (std::vector<int>{0, 1, 2, 2, 3}));
}

TEST_F(DumpReaderTest, ADeviceThatCannotBeReachedShowsTheErrorAndReadsNothing) {
  Driver.DeviceEnabledResult = 4;
  Read(TDumpParams{1, 4, 0});
  EXPECT_EQ(Errors, (std::vector<std::wstring>{L"Ошибка 4"}));
  EXPECT_TRUE(Log.empty()) << "no start";
  EXPECT_EQ(Reader.DataSize(), 0u);
  Host.FailEnter = true;
  Errors.clear();
  Done = false;
  Read(TDumpParams{1, 4, 0});
  EXPECT_EQ(Errors, (std::vector<std::wstring>{L"Не удалось подготовить поток"}));
}

TEST_F(DumpReaderTest, StopEndsAfterTheCurrentBlockAndKeepsWhatWasRead) {
  Device.Blocks = 100000;
  std::atomic<bool> inside{false};
  Device.DuringRead = [&](int n) {
    if (n != 3) return;
    inside = true;
    // Block 3 ends only once the window thread waits for the stop.
    EXPECT_TRUE(WaitUntil([&] { return Host.Waiting(); }));
  };
  Reader.Start(TDumpParams{5, 100000, 0});
  ASSERT_TRUE(WaitUntil([&] { return inside.load(); }));
  Reader.Stop();
  EXPECT_EQ(Reader.Data(), "B0;B1;B2;B3;");
  EXPECT_TRUE(Done);
  EXPECT_FALSE(Reader.Active());
}

// "Прервать" pressed from a window the worker's own question let run: the
// stop cannot wait for the worker that waits for the question, so it only
// asks; the worker ends when the question returns, and the stop that its
// completion message makes releases it.
TEST_F(DumpReaderTest, AStopAskedDuringTheWorkersQuestionOnlyAsks) {
  Device.FailBlock = 1;
  Device.FailTimes = 1000000;
  bool activeAfterStop = false;
  int asked = 0;
  Reader.OnAskContinue = [&](const std::wstring&) {
    ++asked;
    Reader.Stop();
    activeAfterStop = Reader.Active();
    return true;  // "Yes" would read the block again; the stop comes first
  };
  Reader.Start(TDumpParams{1, 4, 0});
  ASSERT_TRUE(Host.ServeUntil([&] { return Done.load(); }));
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(activeAfterStop);
  Reader.Stop();
  EXPECT_FALSE(Reader.Active());
  EXPECT_EQ(Reader.Data(), "B0;");
}

// The window closes while the worker waits for its question: the question is
// refused, the worker ends, and the wait for it returns.
TEST_F(DumpReaderTest, ClosingWhileTheQuestionIsPendingEndsTheWorker) {
  Device.FailBlock = 1;
  Device.FailTimes = 1000000;
  Reader.Start(TDumpParams{1, 4, 0});
  ASSERT_TRUE(WaitUntil([&] { return Host.HasQueued(); }));
  Host.Close();
  Reader.Stop();
  EXPECT_TRUE(Questions.empty());
  EXPECT_EQ(Reader.Data(), "B0;");
}

// Saving or viewing takes whole blocks while the worker appends (run under
// ThreadSanitizer).
TEST_F(DumpReaderTest, DataIsCopiedWholeWhileTheWorkerAppends) {
  Device.Blocks = 3000;
  Reader.Start(TDumpParams{1, 3000, 0});
  size_t last = 0;
  while (!Done) {
    const std::string copy = Reader.Data();
    ASSERT_GE(copy.size(), last);
    if (!copy.empty()) {
      ASSERT_EQ(copy.back(), ';');
    }
    last = copy.size();
  }
  Reader.Stop();
  EXPECT_EQ(Log.size(), 3001u);
}

TEST(Dump, NamesAndTimes) {
  EXPECT_EQ(GetDeviceName(1), L"Накопитель ФП");
  EXPECT_EQ(GetDeviceName(6), L"Оперативная память ККМ");
  EXPECT_EQ(GetDeviceName(0), L"Неизвестное устройство");
  EXPECT_EQ(GetDeviceName(7), L"Неизвестное устройство");
  EXPECT_EQ(FormatElapsed(75250), L"01.15.250");
  EXPECT_EQ(FormatElapsed(0), L"00.00.000");
  EXPECT_EQ(FormatElapsed(3600000 + 61001), L"01.01.001") << "hours are not shown";
}
