// The window-thread loops of the driver test pages against drivers that only
// count: the rest register file saved and loaded, rest registers read into
// the list, and the connection test's cost per command.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "Driver.h"
#include "untConnTest.h"
#include "untRestReg.h"
#include "untText.h"

namespace fs = std::filesystem;

namespace {

// Answers every rest register and every connection check; stops a run by
// setting the page's stop request after a given number of calls.
class TCountingDriver : public TDriver {
 public:
  int32_t Registers = 0;
  int64_t Calls = 0;
  int64_t StopAfter = -1;
  bool* Stop = nullptr;

  int32_t LookupName(const std::wstring& name) override { return FindMemberByName(name)->DispId; }
  void PutById(int32_t id, const TVariant& v) override {
    if (id == dispid::RegisterNumber) FNumber = v.Int();
  }
  TVariant GetById(int32_t) override { return TVariant::FromInt(FNumber * 37 - 5000); }
  int32_t CallById(int32_t id) override {
    if (++Calls == StopAfter && Stop) *Stop = true;
    if (id == dispid::CheckConnection) return 0;
    return FNumber < Registers ? 0 : 129;
  }

 private:
  int32_t FNumber = 0;
};

uint32_t SteadyMs() {
  using namespace std::chrono;
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::vector<std::wstring> RestLines(int count) {
  std::vector<std::wstring> lines;
  for (int i = 0; i < count; ++i) lines.push_back(RestRegisterLine(i, i * 1237 - 600000));
  return lines;
}

// Saving 10,000 lines and loading them back (goal: at most 100 ms together).
void BM_RestFileSaveLoad(benchmark::State& state) {
  const auto lines = RestLines(static_cast<int>(state.range(0)));
  const fs::path dir = fs::temp_directory_path() / ("plover_bench_rest_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::wstring name = Utf8ToWide((dir / "РегистрыОстатков.txt").string());
  for (auto _ : state) {
    SaveRestRegisterFile(name, lines);
    auto loaded = LoadRestRegisterFile(name);
    if (loaded != lines) {
      state.SkipWithError("the loaded lines differ");
      break;
    }
    benchmark::DoNotOptimize(loaded);
  }
  fs::remove_all(dir);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RestFileSaveLoad)->Arg(10000)->Unit(benchmark::kMillisecond);

// Reading N registers into a list (goal: 10,000 at most 12 times 1,000).
void BM_RestRead(benchmark::State& state) {
  TCountingDriver d;
  d.Registers = static_cast<int32_t>(state.range(0));
  TRestLoopHooks hooks;
  hooks.Ticks = SteadyMs;
  hooks.ProcessEvents = [] {};
  hooks.Progress = [](int, int64_t) {};
  for (auto _ : state) {
    std::vector<std::wstring> list;
    bool stop = false;
    ReadRestRegisters(d, {}, hooks, stop,
                      [&](const std::vector<std::wstring>& batch) { list.insert(list.end(), batch.begin(), batch.end()); });
    benchmark::DoNotOptimize(list);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RestRead)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// The connection test's own cost per command: a driver that answers at once,
// ticks that move on every 50 commands (a millisecond at 50,000 a second) or
// the real monotonic clock, figures formatted at every tick; with Timed,
// every command timed into the statistics by a counter as cheap as the
// page's (the processor's time stamp there).
template <bool RealClock, bool Timed = false>
void BM_ConnectionLoop(benchmark::State& state) {
  const int64_t commands = state.range(0);
  TCountingDriver d;
  bool stop = false;
  d.Stop = &stop;
  TConnectionHooks hooks;
  if (RealClock) {
    hooks.Ticks = SteadyMs;
  } else {
    hooks.Ticks = [&d] { return static_cast<uint32_t>(d.Calls / 50); };
  }
  int64_t shown = 0;
  hooks.ProcessEvents = [] {};
  hooks.Show = [&](const TConnectionTexts& t) {
    shown += static_cast<int64_t>(t.RepCount.size());
  };
  hooks.StopOnError = [] { return false; };
  uint64_t counter = 0;
  if (Timed) hooks.Counter = [&counter] { return counter += 3; };
  TConnectionStats stats;
  for (auto _ : state) {
    d.Calls = 0;
    d.StopAfter = commands;
    const auto f = RunConnectionTest(d, hooks, stop, &stats);
    benchmark::DoNotOptimize(f);
  }
  benchmark::DoNotOptimize(shown);
  state.SetItemsProcessed(state.iterations() * commands);
}
BENCHMARK_TEMPLATE(BM_ConnectionLoop, false)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_ConnectionLoop, true)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_ConnectionLoop, false, true)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
