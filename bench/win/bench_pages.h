#pragma once
// What the benchmarks of PloverTst's pages share: the program's start-up in
// this process, a page of the main window by its class, the device brought to
// a known quick state, message pumping, medians and the process's memory.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "ScopedCom.h"
#include "WinLocale.h"
#include "WinUi.h"
#include "fmuMain.h"
#include "untFormatSettings.h"

namespace bench {

using TSteady = std::chrono::steady_clock;

inline double Ms(TSteady::time_point a, TSteady::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

// Starts as PloverTst does (number format, title), with errors printed
// instead of shown; COM lives as long as this object.
class TProgram {
 public:
  TProgram() : FCom(COINIT_APARTMENTTHREADED) {
    FormatSettings() = SystemFormatSettings();
    FormatSettings().DecimalSeparator = L'.';
    Application().Initialize();
    Application().Title = L"Тест драйвера ККМ";
    Application().SetErrorDisplay([](const std::wstring& text) { std::printf("error: %ls\n", text.c_str()); });
  }

 private:
  TComInit FCom;
};

// The page of that class, shown; nullptr when the main window has none.
template <class P>
P* ShowPage(TfmMain& main) {
  for (int i = 0; i < main.Pages().Count(); ++i)
    if (auto* p = dynamic_cast<P*>(main.Pages().Items(i))) {
      main.SelectPage(i);
      return p;
    }
  return nullptr;
}

// The in-process bus, the virtual cash register, no latency, no faults and no
// desk, whatever the user saved.
inline void QuietDevice(TDriver& d) {
  d.SetProperty(L"BusKind", TVariant::FromInt(0));
  d.SetProperty(L"VirtualEcr", TVariant::FromBool(true));
  d.SetProperty(L"VirtualDesk", TVariant::FromBool(false));
  d.SetProperty(L"LinkLatency", TVariant::FromInt(0));
  d.SetProperty(L"FaultEvery", TVariant::FromInt(0));
  d.SetProperty(L"DeviceNotAnswering", TVariant::FromBool(false));
}

inline void Pump(int ms) {
  const auto end = TSteady::now() + std::chrono::milliseconds(ms);
  while (TSteady::now() < end) {
    Application().ProcessMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

inline double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Committed private memory of the process, walked region by region (some
// systems do not keep their counters of it up to date).
inline size_t CommittedPrivateBytes() {
  size_t total = 0;
  MEMORY_BASIC_INFORMATION m{};
  for (const char* p = nullptr; VirtualQuery(p, &m, sizeof m) == sizeof m;) {
    if (m.State == MEM_COMMIT && m.Type == MEM_PRIVATE) total += m.RegionSize;
    const char* next = static_cast<const char*>(m.BaseAddress) + m.RegionSize;
    if (next <= p) break;
    p = next;
  }
  return total;
}

}  // namespace bench
