// A whole dump of "Память программ ККМ" (8192 blocks of 128 bytes) through the
// real page and PloverDrv.dll at zero latency, from the click on "Начать" to
// the completion message, against the time its worker took (goal: the page
// done within 1.5 times the worker's time, median); and the viewer showing
// 64 MiB of data (ShowData
// until the grid can paint its first screen) and the memory that costs.
//
//   bench_page_dump [runs]   (default 5)
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_pages.h"
#include "ScopedCom.h"
#include "WinUi.h"
#include "fmuDump.h"
#include "fmuMain.h"

namespace {

using bench::Ms;
using bench::TSteady;

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5;
  bench::TProgram program;
  TfmMain main;
  main.Show();
  TfmDump* page = bench::ShowPage<TfmDump>(main);
  if (!page) return 1;
  bench::QuietDevice(main.Driver());
  bench::Pump(200);
  page->cbDevice->SetItemIndex(4);  // "Память программ ККМ"
  std::vector<double> times, workerTimes, ratios;
  size_t bytes = 0;
  std::atomic<long long> workerDoneUs{0};
  // A first reading makes the reader; its completion is then timed too.
  for (int run = -1; run < runs; ++run) {
    if (run == 0) {
      auto original = page->Reader()->OnComplete;
      page->Reader()->OnComplete = [original, &workerDoneUs] {
        workerDoneUs = std::chrono::duration_cast<std::chrono::microseconds>(TSteady::now().time_since_epoch()).count();
        original();
      };
    }
    const auto start = TSteady::now();
    page->btnStart->Click();
    while (!page->Reader() || page->Reader()->Active() || page->btnStart->Text() != L"Начать") {
      Application().HandleMessage();
    }
    const double pageMs = Ms(start, TSteady::now());
    bytes = page->Reader()->DataSize();
    bench::Pump(50);
    if (run < 0) continue;
    const double workerMs =
        (workerDoneUs - std::chrono::duration_cast<std::chrono::microseconds>(start.time_since_epoch()).count()) /
        1000.0;
    times.push_back(pageMs);
    workerTimes.push_back(workerMs);
    ratios.push_back(pageMs / workerMs);
    std::printf("  run %d: worker done after %.1f ms, page after %.1f ms (%.2f times)\n", run + 1, workerMs, pageMs,
                pageMs / workerMs);
  }
  // The reader alone, on the same driver, with events that only count: what
  // the worker costs without the page.
  {
    std::atomic<int> progress{0};
    std::atomic<bool> done{false};
    // A host of its own, on another window: the page's host stays as it is.
    TWindowWorkerHost host(page->View());
    TDumpReader reader(main.Driver(), main.Pages().DriverLock(), host);
    reader.OnProgress = [&](int) { ++progress; };
    reader.OnComplete = [&] { done = true; };
    const auto start = TSteady::now();
    reader.Start(TDumpParams{5, 8192, 0});
    while (!done) Sleep(1);
    reader.Stop();
    std::printf("reader alone: %.1f ms for %d blocks\n", Ms(start, TSteady::now()), progress.load());
  }
  std::printf("whole dump of \"Память программ ККМ\" through the page (%zu-bit), %d runs\n", sizeof(void*) * 8, runs);
  std::printf("  %zu bytes; page median %.1f ms, its worker median %.1f ms; the page took %.2f times the worker's "
              "time, median (goal: at most 1.5)\n",
              bytes, bench::Median(times), bench::Median(workerTimes), bench::Median(ratios));

  // The viewer with 64 MiB.
  TfmView& view = page->View();
  view.Show();
  bench::Pump(100);
  const size_t before = bench::CommittedPrivateBytes();
  std::string data(64u << 20, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  view.Data = std::move(data);
  const auto start = TSteady::now();
  view.ShowData();
  const double rowsMs = Ms(start, TSteady::now());
  UpdateWindow(view.Grid->Handle());
  const double showMs = Ms(start, TSteady::now());
  std::printf("  (ShowData itself %.2f ms, the first screen's paint %.2f ms)\n", rowsMs, showMs - rowsMs);
  const size_t after = bench::CommittedPrivateBytes();
  const double extra = (static_cast<double>(after) - static_cast<double>(before)) - static_cast<double>(64u << 20);
  std::printf("viewer ShowData of 64 MiB up to the first painted screen: %.2f ms (goal: at most 50 ms)\n", showMs);
  std::printf("  memory beyond the data: %.1f KiB (%.3f %% of it; goal: at most 10 %%)\n", extra / 1024,
              100.0 * extra / static_cast<double>(64u << 20));
  return 0;
}
