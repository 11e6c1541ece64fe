// The readers' costs without windows: a register walk of 1,000 and 10,000
// registers from a counting driver (the second at most 12 times the first),
// the viewer's comparison of 64 MiB with an equal file (at least 1 GB/s), and
// its list of differences: 1,000,000 ranges between two 64 MiB buffers
// within 1 s and at most 32 bytes a range, equal buffers at 1 GB/s or more,
// and one screen of the list formatted at its end.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <utility>
#include <unistd.h>

#include "Driver.h"
#include "untDumpDiff.h"
#include "untDumpView.h"
#include "untFile.h"
#include "untReg.h"
#include "untWorker.h"

namespace {

// Answers by identifier without logging: register n exists below Count.
class TCountingDriver : public TDriver {
 public:
  int32_t Count = 0;
  int32_t LookupName(const std::wstring&) override { return 0; }
  void PutById(int32_t id, const TVariant& v) override {
    if (id == dispid::RegisterNumber) FNumber = v.Int();
  }
  TVariant GetById(int32_t id) override {
    if (id == dispid::CashRegister) return TVariant::FromCurrency(FNumber * 10000LL + 25);
    if (id == dispid::ResultCodeDescription) return TVariant::FromStr(L"");
    return TVariant::FromInt(FNumber);
  }
  int32_t CallById(int32_t) override { return FNumber < Count ? 0 : kNoMoreRegisters; }

 private:
  int32_t FNumber = 0;
};

// A host whose window thread is the benchmark's own; the walk asks it nothing.
class TPlainHost : public TWorkerHost {
 public:
  std::unique_ptr<TThreadScope> EnterThread() override { return nullptr; }
};

void BM_RegisterWalk(benchmark::State& state) {
  TCountingDriver driver;
  driver.Count = static_cast<int32_t>(state.range(0));
  std::recursive_mutex lock;
  TPlainHost host;
  TRegReader reader(driver, lock, host);
  TCashRegisters set;
  std::atomic<bool> done{false};
  std::vector<std::wstring> lines;
  lines.reserve(static_cast<size_t>(driver.Count));
  std::mutex linesLock;
  reader.OnProgress = [&](int p) {
    // What the page does with each message: the entry's line.
    std::lock_guard l(linesLock);
    lines.push_back(set.LineAt(p));
  };
  reader.OnComplete = [&] { done = true; };
  for (auto _ : state) {
    done = false;
    lines.clear();
    reader.Start(set);
    while (!done) std::this_thread::yield();
    reader.Stop();
    benchmark::DoNotOptimize(lines.data());
  }
  state.counters["registers"] = static_cast<double>(set.Count());
}
BENCHMARK(BM_RegisterWalk)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_CompareEqual64MiB(benchmark::State& state) {
  const std::string dir = std::filesystem::temp_directory_path().string() + "/bench-cmp-" + std::to_string(::getpid());
  std::filesystem::create_directories(dir);
  const std::wstring file = std::filesystem::path(dir + "/a.dmp").wstring();
  std::string data(64u << 20, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 13);
  WriteWholeFile(file, data);
  for (auto _ : state) {
    if (CompareWithFile(data, file) != TCompareResult::Equal) state.SkipWithError("not equal");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_CompareEqual64MiB)->Unit(benchmark::kMillisecond);

void BM_ViewerCells(benchmark::State& state) {
  // One screen of the viewer (20 rows of 17 cells) at the end of 64 MiB.
  const std::string data(64u << 20, 'x');
  const int last = DumpViewRows(data.size());
  for (auto _ : state)
    for (int row = last - 19; row <= last; ++row)
      for (int col = 0; col < kDumpViewColumns; ++col) benchmark::DoNotOptimize(DumpViewCell(data, col, row));
}
BENCHMARK(BM_ViewerCells)->Unit(benchmark::kMicrosecond);

// Two 64 MiB buffers, the second with every 64th byte changed up to `ranges`.
std::pair<std::string, std::string> DiffBuffers(size_t ranges) {
  std::string data(64u << 20, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 13);
  std::string file = data;
  for (size_t i = 0; i < ranges; ++i) file[i * 64 + 17] ^= 0x5A;
  return {std::move(data), std::move(file)};
}

void BM_DiffList(benchmark::State& state) {
  const size_t ranges = static_cast<size_t>(state.range(0));
  const auto [data, file] = DiffBuffers(ranges);
  size_t memory = 0, count = 0;
  for (auto _ : state) {
    TDumpDiff diff(data, file);
    count = diff.Count();
    memory = diff.MemoryBytes();
    benchmark::DoNotOptimize(diff);
  }
  if (count != ranges) state.SkipWithError("wrong count");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
  state.counters["ranges"] = static_cast<double>(count);
  state.counters["bytes_a_range"] = count ? static_cast<double>(memory) / static_cast<double>(count) : 0.0;
}
BENCHMARK(BM_DiffList)->Arg(0)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_DiffListScreen(benchmark::State& state) {
  // What the list window formats for one screen (25 rows of 4 cells) at the end.
  const auto [data, file] = DiffBuffers(1000000);
  const TDumpDiff diff(data, file);
  const int last = static_cast<int>(diff.Count());
  for (auto _ : state)
    for (int row = last - 24; row <= last; ++row)
      for (int col = 0; col < kDumpDiffColumns; ++col)
        benchmark::DoNotOptimize(DumpDiffCell(diff, data, file, col, row));
}
BENCHMARK(BM_DiffListScreen)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
