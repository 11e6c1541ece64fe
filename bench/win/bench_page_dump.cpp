// A whole dump of "Память программ ККМ" (8192 blocks of 128 bytes) through the
// real page and PloverDrv.dll at zero latency, from the click on "Начать" to
// the completion message; and the viewer showing 64 MiB of data (ShowData
// until the grid can paint its first screen) and the memory that costs.
//
//   bench_page_dump [runs]   (default 5)
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "ScopedCom.h"
#include "WinUi.h"
#include "fmuDump.h"
#include "fmuMain.h"
#include "untFormat.h"

namespace {

using TSteady = std::chrono::steady_clock;

double Ms(TSteady::time_point a, TSteady::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

void Pump(int ms) {
  const auto end = TSteady::now() + std::chrono::milliseconds(ms);
  while (TSteady::now() < end) {
    Application().ProcessMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

size_t PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX pmc{};
  pmc.cb = sizeof pmc;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc);
  return pmc.PrivateUsage;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5;
  FormatSettings() = SystemFormatSettings();
  FormatSettings().DecimalSeparator = L'.';
  TComInit com(COINIT_APARTMENTTHREADED);
  Application().Initialize();
  Application().Title = L"Тест драйвера ККМ";
  Application().SetErrorDisplay([](const std::wstring& text) { std::printf("error: %ls\n", text.c_str()); });
  TfmMain main;
  main.Show();
  TfmDump* page = nullptr;
  for (int i = 0; i < main.Pages().Count(); ++i)
    if (auto* p = dynamic_cast<TfmDump*>(main.Pages().Items(i))) {
      page = p;
      main.SelectPage(i);
    }
  if (!page) return 1;
  main.Driver().SetProperty(L"LinkLatency", TVariant::FromInt(0));
  main.Driver().SetProperty(L"FaultEvery", TVariant::FromInt(0));
  Pump(200);
  page->cbDevice->SetItemIndex(4);  // "Память программ ККМ"
  std::vector<double> times;
  size_t bytes = 0;
  for (int run = 0; run < runs; ++run) {
    const auto start = TSteady::now();
    page->btnStart->Click();
    while (!page->Reader() || page->Reader()->Active() || page->btnStart->Text() != L"Начать") {
      Application().HandleMessage();
    }
    times.push_back(Ms(start, TSteady::now()));
    bytes = page->Reader()->DataSize();
    Pump(50);
  }
  // The reader alone, on the same driver, with events that only count: what
  // the worker costs without the page.
  {
    std::atomic<int> progress{0};
    std::atomic<bool> done{false};
    TDumpReader reader(main.Driver(), main.Pages().DriverLock(), *new TWindowWorkerHost(*page));
    reader.OnProgress = [&](int) { ++progress; };
    reader.OnComplete = [&] { done = true; };
    const auto start = TSteady::now();
    reader.Start(TDumpParams{5, 8192, 0});
    while (!done) Sleep(1);
    reader.Stop();
    std::printf("reader alone: %.1f ms for %d blocks\n", Ms(start, TSteady::now()), progress.load());
  }
  {
    const auto start = TSteady::now();
    for (int i = 1; i <= 8192; ++i) SendMessageW(page->Handle(), TfmDump::WM_DUMP_PROGRESS, i, 0);
    std::printf("progress handler alone: %.1f ms for 8192\n", Ms(start, TSteady::now()));
    const auto s2 = TSteady::now();
    for (int i = 1; i <= 8192; ++i) PostMessageW(page->Handle(), WM_NULL, i, 0);
    std::printf("8192 posts: %.1f ms\n", Ms(s2, TSteady::now()));
    const auto s3 = TSteady::now();
    MSG m;
    int got = 0;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) { ++got; DispatchMessageW(&m); }
    std::printf("%d gets: %.1f ms\n", got, Ms(s3, TSteady::now()));
  }
  std::sort(times.begin(), times.end());
  std::printf("whole dump of \"Память программ ККМ\" through the page (%zu-bit), %d runs\n", sizeof(void*) * 8, runs);
  std::printf("  %zu bytes; median %.1f ms, fastest %.1f ms (goal: at most 1000 ms)\n", bytes, times[times.size() / 2],
              times.front());

  // The viewer with 64 MiB.
  TfmView& view = page->View();
  view.Show();
  Pump(100);
  std::string data(64u << 20, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  const size_t before = PrivateBytes();
  view.Data = std::move(data);
  const auto start = TSteady::now();
  view.ShowData();
  UpdateWindow(view.Grid->Handle());
  const double showMs = Ms(start, TSteady::now());
  const size_t after = PrivateBytes();
  const double extra = (static_cast<double>(after) - static_cast<double>(before)) - static_cast<double>(64u << 20);
  std::printf("viewer ShowData of 64 MiB up to the first painted screen: %.2f ms (goal: at most 50 ms)\n", showMs);
  std::printf("  memory beyond the data: %.1f KiB (%.3f %% of it; goal: at most 10 %%)\n", extra / 1024,
              100.0 * extra / static_cast<double>(64u << 20));
  return 0;
}
