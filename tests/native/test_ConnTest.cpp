// The connection test's loop and figures, with a scripted driver whose every
// command takes a given number of milliseconds on a fake tick counter.
#include "untConnTest.h"

#include <gtest/gtest.h>

#include "EcrTestSupport.h"
#include "untError.h"

namespace {

struct TCommandStep {
  uint32_t Ms;     // how long the command takes
  int32_t Result;  // what CheckConnection returns
};

// CheckConnection follows a script (then repeats its last step); the tick
// counter moves by the step's time while the command runs.
class TScriptedLink : public TDriver {
 public:
  std::vector<TCommandStep> Script;
  uint32_t Now = 0;
  int Calls = 0;
  int ThrowAtCall = -1;

  int32_t LookupName(const std::wstring& name) override { return FindMemberByName(name)->DispId; }
  void PutById(int32_t, const TVariant&) override {}
  TVariant GetById(int32_t) override { return TVariant::FromInt(0); }
  int32_t CallById(int32_t id) override {
    EXPECT_EQ(id, dispid::CheckConnection);
    if (++Calls == ThrowAtCall) throw EOleError(kDispEMemberNotFound, L"Связь с объектом потеряна");
    const TCommandStep& s = Script[std::min(static_cast<size_t>(Calls), Script.size()) - 1];
    Now += s.Ms;
    return s.Result;
  }
};

struct TPage {
  std::vector<TConnectionTexts> Shown;
  int Events = 0;
  bool StopOnError = false;
  bool StopRequested = false;
  std::function<void()> OnEvents;

  TConnectionHooks Hooks(TScriptedLink& link) {
    TConnectionHooks h;
    h.Ticks = [&link] { return link.Now; };
    h.ProcessEvents = [this] {
      ++Events;
      if (OnEvents) OnEvents();
    };
    h.Show = [this](const TConnectionTexts& t) { Shown.push_back(t); };
    h.StopOnError = [this] { return StopOnError; };
    return h;
  }
  // Asks for the end once the test has run `ms` milliseconds.
  void StopAfter(TScriptedLink& link, uint32_t start, uint32_t ms) {
    OnEvents = [this, &link, start, ms] {
      if (link.Now - start >= ms) StopRequested = true;
    };
  }
};

std::vector<std::wstring> Texts(const TConnectionTexts& t) {
  return {t.RepCount, t.ErrCount, t.TxSpeed, t.ErrRate, t.TimeLeft, t.CommandTime};
}

}  // namespace

TEST(ConnTestFigures, FiguresAndTheirTexts) {
  struct TCase {
    int64_t Count, Errors;
    uint32_t Elapsed;
    std::vector<std::wstring> Texts;
  } cases[] = {
      {5, 1, 2500, {L"5", L"1", L"2", L"20.00", L"2", L"500"}},
      {3, 0, 1000, {L"3", L"0", L"3", L"0.00", L"1", L"333"}},
      {3, 1, 1, {L"3", L"1", L"3000", L"33.33", L"0", L"0"}},
      {3, 2, 999, {L"3", L"2", L"3", L"66.67", L"0", L"333"}},
      {8, 1, 1000, {L"8", L"1", L"8", L"12.50", L"1", L"125"}},
      {7, 7, 70000, {L"7", L"7", L"0", L"100.00", L"70", L"10000"}},
      // Count × 1000 beyond 32 bits after a minute at 50,000 a second.
      {3000000, 0, 60000, {L"3000000", L"0", L"50000", L"0.00", L"60", L"0"}},
  };
  for (const auto& c : cases) {
    TConnectionFigures f;
    f.Count = c.Count;
    f.Errors = c.Errors;
    f.Elapsed = c.Elapsed;
    EXPECT_EQ(Texts(ConnectionTexts(f)), c.Texts) << c.Count << "/" << c.Elapsed;
  }
}

TEST(ConnTest, FiveCommandsIn2500MsWithOneError) {
  TScriptedLink link;
  link.Script = {{500, 0}, {500, 0}, {500, 3}, {500, 0}, {500, 0}};
  TPage page;
  page.StopAfter(link, 0, 2500);
  const auto f = RunConnectionTest(link, page.Hooks(link), page.StopRequested);
  EXPECT_EQ(f.Count, 5);
  ASSERT_EQ(page.Shown.size(), 5u);
  EXPECT_EQ(Texts(page.Shown.back()), (std::vector<std::wstring>{L"5", L"1", L"2", L"20.00", L"2", L"500"}));
}

TEST(ConnTest, ThreeCommandsIn1000Ms) {
  TScriptedLink link;
  link.Script = {{333, 0}, {333, 0}, {334, 0}};
  TPage page;
  page.StopAfter(link, 0, 1000);
  RunConnectionTest(link, page.Hooks(link), page.StopRequested);
  ASSERT_FALSE(page.Shown.empty());
  EXPECT_EQ(page.Shown.back().TxSpeed, L"3");
  EXPECT_EQ(page.Shown.back().CommandTime, L"333");
}

TEST(ConnTest, FailureBeforeTheFirstTickNeitherShowsNorStops) {
  TScriptedLink link;
  link.Script = {{0, 5}, {0, 0}, {1, 5}, {1, 0}};
  TPage page;
  page.StopOnError = true;
  const auto f = RunConnectionTest(link, page.Hooks(link), page.StopRequested);
  EXPECT_EQ(f.Count, 3);  // stopped by the failure after the first tick
  ASSERT_EQ(page.Shown.size(), 1u);
  EXPECT_EQ(Texts(page.Shown[0]), (std::vector<std::wstring>{L"3", L"2", L"3000", L"66.67", L"0", L"0"}));
}

TEST(ConnTest, StopOnErrorIsAskedAtEveryFailureAndShowsItsFigures) {
  TScriptedLink link;
  // Many commands in one tick: the failure's figures are shown although the
  // tick has not moved since the last update.
  link.Script = {{1, 0}, {0, 7}, {0, 0}, {0, 7}};
  TPage page;
  int asked = 0;
  auto hooks = page.Hooks(link);
  hooks.StopOnError = [&] { return ++asked == 2; };
  const auto f = RunConnectionTest(link, hooks, page.StopRequested);
  EXPECT_EQ(f.Count, 4);
  EXPECT_EQ(asked, 2);
  ASSERT_EQ(page.Shown.size(), 2u);
  EXPECT_EQ(page.Shown.back().RepCount, L"4");
  EXPECT_EQ(page.Shown.back().ErrCount, L"2");
}

TEST(ConnTest, StopRequestEndsAfterTheCommandUnderWayCountingIt) {
  TScriptedLink link;
  link.Script = {{2, 0}};
  TPage page;
  page.OnEvents = [&] {
    if (page.Events == 3) page.StopRequested = true;
  };
  const auto f = RunConnectionTest(link, page.Hooks(link), page.StopRequested);
  EXPECT_EQ(f.Count, 3);
  EXPECT_EQ(link.Calls, 3);
  EXPECT_EQ(page.Shown.back().RepCount, L"3");
}

TEST(ConnTest, WithinOneTickNothingIsShownAndNoEventsRunUntilTheEnd) {
  TScriptedLink link;
  // A tick every tenth command.
  for (int i = 0; i < 100; ++i) link.Script.push_back({i % 10 == 9 ? 1u : 0u, 0});
  TPage page;
  page.OnEvents = [&] {
    if (link.Calls >= 95) page.StopRequested = true;
  };
  link.Script.push_back({0, 0});
  RunConnectionTest(link, page.Hooks(link), page.StopRequested);
  EXPECT_EQ(link.Calls, 100);  // from command 95 on, the next event pass comes with the tick of 100
  EXPECT_EQ(page.Events, 10);
  EXPECT_EQ(page.Shown.size(), 10u);
  EXPECT_EQ(page.Shown.back().RepCount, L"100");
}

TEST(ConnTest, ARunEndedByAnErrorShowsTheFiguresOfTheCommandBeforeIt) {
  TScriptedLink link;
  link.Script = {{1, 0}, {0, 0}, {0, 0}};
  link.ThrowAtCall = 4;
  TPage page;
  EXPECT_THROW(RunConnectionTest(link, page.Hooks(link), page.StopRequested), EOleError);
  ASSERT_EQ(page.Shown.size(), 2u);
  EXPECT_EQ(page.Shown.back().RepCount, L"3");
}

TEST(ConnTest, NewRunStartsFromZeroAndANewStartTime) {
  TScriptedLink link;
  link.Script = {{100, 1}};
  TPage page;
  page.StopAfter(link, 0, 1000);
  RunConnectionTest(link, page.Hooks(link), page.StopRequested);
  EXPECT_EQ(page.Shown.back().RepCount, L"10");
  EXPECT_TRUE(page.StopRequested);
  page.Shown.clear();
  link.Now += 5000;  // idle between the runs
  page.StopAfter(link, link.Now, 300);
  const auto f = RunConnectionTest(link, page.Hooks(link), page.StopRequested);
  EXPECT_EQ(f.Count, 3);
  EXPECT_EQ(Texts(page.Shown.front()), (std::vector<std::wstring>{L"1", L"1", L"10", L"100.00", L"0", L"100"}));
  EXPECT_EQ(page.Shown.back().TimeLeft, L"0");
}

TEST(ConnTest, TickCounterWrappingAroundDoesNoHarm) {
  TScriptedLink link;
  link.Now = 0xFFFFFF00u;
  link.Script = {{0x80, 0}, {0x80, 0}, {0x80, 0}};
  TPage page;
  page.StopAfter(link, 0xFFFFFF00u, 0x180);
  RunConnectionTest(link, page.Hooks(link), page.StopRequested);
  EXPECT_EQ(page.Shown.back().RepCount, L"3");
  EXPECT_EQ(page.Shown.back().CommandTime, L"128");
}

class ConnTestDevice : public TEcrTest {};

TEST_F(ConnTestDevice, CountsTheInjectedFaults) {
  Drv->set_FaultMethod(L"CheckConnection");
  Drv->set_FaultCode(1);
  Drv->set_FaultEvery(4);
  uint32_t now = 0;
  TConnectionHooks h;
  h.Ticks = [&] { return now++; };
  bool stop = false;
  int events = 0;
  h.ProcessEvents = [&] { stop = ++events == 40; };
  std::vector<TConnectionTexts> shown;
  h.Show = [&](const TConnectionTexts& t) { shown.push_back(t); };
  const auto f = RunConnectionTest(*Drv, h, stop);
  EXPECT_EQ(f.Count, 40);
  EXPECT_EQ(f.Errors, 10);
  EXPECT_EQ(shown.back().ErrRate, L"25.00");
}

// Any time lands in a bucket whose top is at most 1/32 above it, so a
// percentile is never more than that off; below 64 ticks times are exact.
TEST(ConnStats, BucketsStayWithinAThirtySecondOfTheTime) {
  for (uint64_t t : {0ull, 1ull, 63ull, 64ull, 65ull, 1000ull, 123456789ull, 1ull << 40, ~0ull >> 1, ~0ull}) {
    const int b = TConnectionStats::BucketOf(t);
    ASSERT_LT(b, TConnectionStats::kBuckets) << t;
    const uint64_t top = TConnectionStats::BucketTop(b);
    EXPECT_GE(top, t) << t;
    EXPECT_LE(top - t, t / 32) << t;
    if (b > 0) {
      EXPECT_LT(TConnectionStats::BucketTop(b - 1), t) << t;
    }
  }
  TConnectionStats s;
  for (uint64_t t = 1000; t >= 1; --t) s.Add(t, 0);  // 1 .. 1000 ticks, one each
  EXPECT_EQ(s.Min(), 1u);
  EXPECT_EQ(s.Max(), 1000u);
  EXPECT_DOUBLE_EQ(s.Mean(), 500.5);
  EXPECT_GE(s.Percentile(95), 950u);
  EXPECT_LE(s.Percentile(95), 950u + 950u / 32);
  EXPECT_GE(s.Percentile(99), 990u);
  EXPECT_LE(s.Percentile(99), 1000u);
  EXPECT_EQ(s.Percentile(100), 1000u);
}

// Timed with the high-resolution counter (here in microseconds): a spike the
// average hides shows as the slowest command and the 99th percentile, and the
// failures are counted by code. A new run starts from nothing.
TEST(ConnTest, TheCounterTimesEveryCommandAndFailuresAreCountedByCode) {
  TScriptedLink link;
  for (int i = 0; i < 100; ++i) link.Script.push_back({i == 50 ? 40u : 1u, i % 10 == 3 ? 3 : i == 7 ? -5 : 0});
  TPage page;
  page.StopAfter(link, 0, 139);
  auto hooks = page.Hooks(link);
  hooks.Counter = [&link] { return uint64_t{link.Now} * 1000; };
  TConnectionStats stats;
  RunConnectionTest(link, hooks, page.StopRequested, &stats);
  ASSERT_EQ(stats.Count(), 100u);
  const TConnectionStatTexts t = ConnectionStatTexts(stats, 1000000);
  EXPECT_EQ(t.Fastest, L"1000.0");
  EXPECT_EQ(t.Average, L"1390.0");
  EXPECT_EQ(t.Slowest, L"40000.0");
  EXPECT_EQ(t.Percentile95, L"1007.0") << "1000 µs to within its bucket";
  EXPECT_EQ(t.Percentile99, L"1007.0");
  EXPECT_EQ(t.Failures, L"код 3: 10; код -5: 1");

  link.Script = {{2, 0}};
  page.StopAfter(link, link.Now, 4);
  RunConnectionTest(link, hooks, page.StopRequested, &stats);
  EXPECT_EQ(stats.Count(), 2u);
  EXPECT_EQ(ConnectionStatTexts(stats, 1000000).Failures, L"нет");
  EXPECT_EQ(ConnectionStatTexts(TConnectionStats(), 1000000).Slowest, L"0");
}
