// The connection test through the real page and PloverDrv.dll at zero
// latency: commands a second while the test runs (every command timed for
// the page's statistics), and how often the page's window is painted
// meanwhile (its counters' repaints).
//
//   bench_page_conntest [seconds per run] [runs]   (default 2 and 5)
#include <windows.h>
#include <intrin.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_pages.h"
#include "ScopedCom.h"
#include "WinUi.h"
#include "fmuMain.h"
#include "fmuTest.h"

namespace {

using TSteady = std::chrono::steady_clock;

HWND GPageWindow = nullptr;
int GPaints = 0;

// Counts the paints of the page's window as the loop's event passes take them.
LRESULT CALLBACK CountPaints(int code, WPARAM wp, LPARAM lp) {
  const auto* msg = reinterpret_cast<const MSG*>(lp);
  if (code == HC_ACTION && wp == PM_REMOVE && msg->message == WM_PAINT && msg->hwnd == GPageWindow) ++GPaints;
  return CallNextHookEx(nullptr, code, wp, lp);
}

void CALLBACK ClickStop(HWND wnd, UINT, UINT_PTR id, DWORD) {
  KillTimer(wnd, id);
  PostMessageW(wnd, BM_CLICK, 0, 0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int seconds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 2;
  const int runs = argc > 2 ? std::max(1, _wtoi(argv[2])) : 5;
  bench::TProgram program;
  TfmMain main;
  main.Show();
  TfmTest* page = bench::ShowPage<TfmTest>(main);
  if (!page) return 1;
  TDriver& d = main.Driver();
  bench::QuietDevice(d);
  bench::Pump(300);
  GPageWindow = page->Handle();
  HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, CountPaints, nullptr, GetCurrentThreadId());

  // The driver alone: what a command costs without the page.
  {
    const auto start = TSteady::now();
    int n = 0;
    while (TSteady::now() - start < std::chrono::milliseconds(500)) {
      d.CheckConnection();
      ++n;
    }
    const double s = std::chrono::duration<double>(TSteady::now() - start).count();
    std::printf("CheckConnection alone: %.0f commands a second\n", n / s);
  }
  // The counter that times each command for the page's statistics.
  {
    const auto start = TSteady::now();
    int n = 0;
    LARGE_INTEGER c;
    while (TSteady::now() - start < std::chrono::milliseconds(200)) {
      for (int i = 0; i < 100; ++i) QueryPerformanceCounter(&c);
      n += 100;
    }
    const double s = std::chrono::duration<double>(TSteady::now() - start).count();
    std::printf("QueryPerformanceCounter alone: %.0f ns a call\n", s * 1e9 / n);
  }
  {
    const auto start = TSteady::now();
    int n = 0;
    uint64_t sum = 0;
    while (TSteady::now() - start < std::chrono::milliseconds(200)) {
      for (int i = 0; i < 100; ++i) sum += __rdtsc();
      n += 100;
    }
    const double s = std::chrono::duration<double>(TSteady::now() - start).count();
    std::printf("rdtsc alone: %.1f ns a call (%llu)\n", s * 1e9 / n, static_cast<unsigned long long>(sum & 1));
  }

  std::vector<double> rates, paints;
  for (int run = 0; run < runs; ++run) {
    // "Прервать" clicked by a timer, as a user would, after the run's time.
    SetTimer(page->btnStop->Handle(), 1, static_cast<UINT>(seconds * 1000), ClickStop);
    GPaints = 0;
    const auto start = TSteady::now();
    page->btnStart->Click();
    const double s = std::chrono::duration<double>(TSteady::now() - start).count();
    const double count = std::stod(page->lblRepCount->Text());
    rates.push_back(count / s);
    paints.push_back(GPaints / s);
    std::printf("run %d: %.0f commands in %.2f s: %.0f a second; page painted %d times (%.1f a second); "
                "counters: %ls commands, %ls errors, %ls a second, %ls ms a command\n",
                run + 1, count, s, count / s, GPaints, GPaints / s, page->lblRepCount->Text().c_str(),
                page->lblErrCount->Text().c_str(), page->lblTxSpeed->Text().c_str(),
                page->lblCommandTime->Text().c_str());
    std::printf("  times, us: fastest %ls, average %ls, slowest %ls, 95%% %ls, 99%% %ls; failures: %ls\n",
                page->lblFastest->Text().c_str(), page->lblAverage->Text().c_str(), page->lblSlowest->Text().c_str(),
                page->lblPercentile95->Text().c_str(), page->lblPercentile99->Text().c_str(),
                page->lblFailures->Text().c_str());
    bench::Pump(100);
  }
  UnhookWindowsHookEx(hook);
  std::printf("connection test through the page (%zu-bit), %d runs of %d s\n", sizeof(void*) * 8, runs, seconds);
  std::printf("  median %.0f commands a second (goal: at least 5000000, each command timed), page painted %.1f "
              "times a second (goal: at least 10)\n",
              bench::Median(rates), bench::Median(paints));
  return 0;
}
