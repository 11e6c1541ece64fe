// A long connection test through the real page and PloverDrv.dll at zero
// latency: the process's handles, GDI and USER objects and committed private
// memory, sampled every so many checks, must stay flat (within 1 %) from the
// first sample on. Private memory is summed over the committed private
// regions (VirtualQuery), since Wine does not keep the process's memory
// counters up to date.
//
//   bench_page_soak [checks] [sample every]   (default 1000000 and 100000)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench_pages.h"
#include "ScopedCom.h"
#include "WinUi.h"
#include "fmuMain.h"
#include "fmuTest.h"
#include "untComDriver.h"

namespace {

using TSteady = std::chrono::steady_clock;

struct TSample {
  int64_t Checks = 0;
  double Seconds = 0;
  DWORD Handles = 0;
  DWORD Gdi = 0;
  DWORD User = 0;
  uint64_t PrivateBytes = 0;
};

// Wine keeps no handle or GUI object counts (both calls give 0), so there
// the objects are found by trying every value a handle of the kind can
// take: GDI handles by their table index, windows of this process by their
// user handle, kernel handles by their value.
DWORD ProbeGdiObjects() {
  DWORD n = 0;
  for (UINT_PTR i = 1; i < 0x10000; ++i) n += GetObjectType(reinterpret_cast<HGDIOBJ>(i)) != 0;
  return n;
}

DWORD ProbeOwnWindows() {
  const DWORD self = GetCurrentProcessId();
  DWORD n = 0;
  for (UINT_PTR i = 2; i < 0x10000; i += 2) {
    HWND wnd = reinterpret_cast<HWND>(i);
    DWORD pid = 0;
    if (IsWindow(wnd) && GetWindowThreadProcessId(wnd, &pid) && pid == self) ++n;
  }
  return n;
}

DWORD ProbeHandles() {
  DWORD n = 0, flags = 0;
  for (UINT_PTR i = 4; i < 0x10000; i += 4) n += GetHandleInformation(reinterpret_cast<HANDLE>(i), &flags) != 0;
  return n;
}

// Where the object counts came from.
bool GProbed = false;

TSample Measure(int64_t checks, TSteady::time_point start) {
  TSample s;
  s.Checks = checks;
  s.Seconds = std::chrono::duration<double>(TSteady::now() - start).count();
  GetProcessHandleCount(GetCurrentProcess(), &s.Handles);
  s.Gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  s.User = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  if (s.Handles == 0 && s.Gdi == 0 && s.User == 0) {
    GProbed = true;
    s.Handles = ProbeHandles();
    s.Gdi = ProbeGdiObjects();
    s.User = ProbeOwnWindows();
  }
  s.PrivateBytes = bench::CommittedPrivateBytes();
  return s;
}

// The registered control, counted: every so many connection checks a sample
// is taken, and after the last one the page is asked to stop, so that the
// test makes exactly that many.
class TCountingDriver : public TDriver {
 public:
  explicit TCountingDriver(std::unique_ptr<TDriver> inner) : FInner(std::move(inner)) {
    FInner->OnCommand = [this](TPloverDriver&, int32_t id) {
      if (OnCommand) OnCommand(*this, id);
    };
  }
  int32_t LookupName(const std::wstring& name) override { return FInner->LookupName(name); }
  void PutById(int32_t id, const TVariant& v) override { FInner->PutById(id, v); }
  TVariant GetById(int32_t id) override { return FInner->GetById(id); }
  int32_t CallById(int32_t id) override {
    const int32_t rc = FInner->CallById(id);
    if (id == dispid::CheckConnection && Page) {
      ++Checks;
      Failures += rc != 0;
      if (Checks % Every == 0) {
        const auto t = TSteady::now();
        Samples.push_back(Measure(Checks, Start));
        SampleSeconds += std::chrono::duration<double>(TSteady::now() - t).count();
      }
      if (Checks >= Total) Page->StopRequested = true;
    }
    return rc;
  }

  TfmTest* Page = nullptr;
  int64_t Total = 0, Every = 0, Checks = 0, Failures = 0;
  double SampleSeconds = 0;
  TSteady::time_point Start;
  std::vector<TSample> Samples;

 private:
  std::unique_ptr<TDriver> FInner;
};

double Change(double from, double to) { return from == 0 ? (to == 0 ? 0 : 100) : (to - from) * 100 / from; }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int64_t total = argc > 1 ? std::max<int64_t>(1, _wtoi64(argv[1])) : 1000000;
  const int64_t every = argc > 2 ? std::max<int64_t>(1, _wtoi64(argv[2])) : 100000;
  bench::TProgram program;

  TCountingDriver* driver = nullptr;
  TfmMain main([&driver] {
    auto d = std::make_unique<TCountingDriver>(CreateComDriver());
    driver = d.get();
    return d;
  });
  main.Show();
  TfmTest* page = bench::ShowPage<TfmTest>(main);
  if (!page) return 1;
  TDriver& d = main.Driver();
  bench::QuietDevice(d);
  Application().ProcessMessages();

  driver->Page = page;
  driver->Total = total;
  driver->Every = every;
  driver->Start = TSteady::now();
  const TSample before = Measure(0, driver->Start);
  page->btnStart->Click();  // runs until the driver asks the page to stop
  const TSample after = Measure(driver->Checks, driver->Start);

  // Numbers go out as doubles: the C runtime's printf of this toolchain does
  // not know the 64-bit integer formats.
  const double testing = std::max(after.Seconds - driver->SampleSeconds, 1e-9);
  std::printf("connection test soak through the page (%u-bit): %.0f checks (%.0f failed) in %.1f s of testing "
              "(%.0f a second) and %.1f s of sampling; the page's counters: %ls commands, %ls errors\n",
              static_cast<unsigned>(sizeof(void*) * 8), static_cast<double>(driver->Checks),
              static_cast<double>(driver->Failures), testing, static_cast<double>(driver->Checks) / testing,
              driver->SampleSeconds, page->lblRepCount->Text().c_str(), page->lblErrCount->Text().c_str());
  if (GProbed)
    std::printf("(the system keeps no object counts: handles, GDI objects and this process's windows (USER) "
                "found by trying every handle value)\n");
  std::printf("%10s %8s %8s %6s %6s %12s\n", "checks", "seconds", "handles", "GDI", "USER", "private KiB");
  auto row = [](const TSample& s) {
    std::printf("%10.0f %8.1f %8u %6u %6u %12.0f\n", static_cast<double>(s.Checks), s.Seconds,
                static_cast<unsigned>(s.Handles), static_cast<unsigned>(s.Gdi), static_cast<unsigned>(s.User),
                static_cast<double>(s.PrivateBytes) / 1024);
  };
  row(before);
  for (const TSample& s : driver->Samples) row(s);
  if (driver->Samples.size() < 2) {
    std::printf("too few samples to compare\n");
    return 1;
  }
  const TSample& first = driver->Samples.front();
  const TSample& last = driver->Samples.back();
  const double changes[] = {Change(first.Handles, last.Handles), Change(first.Gdi, last.Gdi),
                            Change(first.User, last.User),
                            Change(static_cast<double>(first.PrivateBytes), static_cast<double>(last.PrivateBytes))};
  bool flat = true;
  for (double c : changes) flat = flat && c <= 1.0 && c >= -1.0;
  std::printf("from %.0f to %.0f checks: handles %+.2f %%, GDI %+.2f %%, USER %+.2f %%, private memory %+.2f %% "
              "(goal: each within 1 %%): %s\n",
              static_cast<double>(first.Checks), static_cast<double>(last.Checks), changes[0], changes[1],
              changes[2], changes[3], flat ? "flat" : "GROWS");
  return flat ? 0 : 2;
}
