// The exchange journal's cost to the caller: GetCashRegister through the
// control's vtable in this process, with the journal off and on; the
// difference of the medians is what a journaled call costs its caller. Then
// 100,000 calls a second for a few seconds with the journal on, and every one
// of them must be in the file; then as many calls as the caller can make, to
// show where lines start to be dropped.
//
//   bench_journal [seconds]   (default 3, of the paced run)
//
// Goals: at most 2 us per call for the caller (median), none of the 100,000
// calls a second dropped.
#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "PloverDrv_h.h"
#include "untFile.h"
#include "bench_driver.h"
#include "win/ScopedCom.h"

namespace {

using TClock = std::chrono::steady_clock;

TComPtr<IPloverDriver4> NewControl(const std::wstring& journal) {
  CLSID clsid;
  TComPtr<IPloverDriver4> d;
  if (FAILED(CLSIDFromProgID(L"PloverDrv.PloverDriver", &clsid)) ||
      FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPloverDriver4, d.PutVoid())))
    return {};
  // Whatever the saved settings say: no faults, no waits, the whole journal.
  d->put_DeviceNotAnswering(VARIANT_FALSE);
  d->put_LinkLatency(0);
  d->put_FaultEvery(0);
  d->put_VirtualDesk(VARIANT_FALSE);
  d->put_JournalMaxKB(2 * 1024 * 1024);
  BSTR file = SysAllocString(journal.c_str());
  d->put_JournalFile(file);
  SysFreeString(file);
  d->put_DeviceEnabled(VARIANT_TRUE);
  d->put_RegisterNumber(1);
  return d;
}

// Nanoseconds per call of each batch of 1000 calls, for ms milliseconds.
std::vector<double> Batches(IPloverDriver4* d, int ms) {
  std::vector<double> out;
  const auto end = TClock::now() + std::chrono::milliseconds(ms);
  LONG rc = 0;
  while (TClock::now() < end) {
    const auto start = TClock::now();
    for (int i = 0; i < 1000; ++i) d->GetCashRegister(&rc);
    out.push_back(std::chrono::duration<double, std::nano>(TClock::now() - start).count() / 1000.0);
  }
  return out;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

struct TFileCount {
  long Calls = 0;
  long Dropped = 0;  // as the journal's notes say
};

TFileCount CountLines(const std::wstring& file) {
  TFileCount c;
  std::string text;
  try {
    text = ReadWholeFile(file);
  } catch (...) {
    return c;
  }
  for (size_t at = 0; (at = text.find("GetCashRegister(", at)) != std::string::npos; ++at) ++c.Calls;
  const std::string note = "=== пропущено строк: ";
  for (size_t at = 0; (at = text.find(note, at)) != std::string::npos; at += note.size())
    c.Dropped += std::atol(text.c_str() + at + note.size());
  return c;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int seconds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 3;
  TComInit com;
  if (FAILED(RegisterFromOwnFolder())) {
    std::printf("PloverDrv.dll could not be registered\n");
    return 1;
  }
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring journal = std::wstring(temp) + L"bench-journal-" + std::to_wstring(GetCurrentProcessId()) + L".log";
  DeleteFileW(journal.c_str());

  // Caller's cost: the same calls with the journal off and on, interleaved.
  std::vector<double> off, on;
  {
    auto plain = NewControl(L"");
    auto journaled = NewControl(journal);
    if (!plain || !journaled) {
      std::printf("the control could not be created\n");
      return 1;
    }
    for (int round = 0; round < 5; ++round) {
      auto a = Batches(plain.Get(), 200), b = Batches(journaled.Get(), 200);
      off.insert(off.end(), a.begin(), a.end());
      on.insert(on.end(), b.begin(), b.end());
    }
  }
  DeleteFileW(journal.c_str());
  const double offMs = Median(off), onMs = Median(on);
  std::printf("GetCashRegister by vtable, %zu-bit, batches of 1000 calls    median\n", sizeof(void*) * 8);
  std::printf("  journal off                                   %8.0f ns/call\n", offMs);
  std::printf("  journal on                                    %8.0f ns/call\n", onMs);
  std::printf("  caller's cost of the journal (goal: <= 2000)  %8.0f ns/call\n", onMs - offMs);

  // 100,000 calls a second, paced by the clock, all of them in the file.
  long paced = 0;
  {
    auto d = NewControl(journal);
    LONG rc = 0;
    const auto start = TClock::now();
    const long total = 100000L * seconds;
    while (paced < total) {
      const auto due = start + std::chrono::microseconds(paced * 10);
      while (TClock::now() < due) {
      }
      for (int i = 0; i < 100; ++i, ++paced) d->GetCashRegister(&rc);
    }
  }  // the last control goes: the journal is written to its end
  TFileCount count = CountLines(journal);
  DeleteFileW(journal.c_str());
  std::printf("  100,000 calls a second for %d s: %ld calls, %ld lines in the journal, %ld dropped\n", seconds, paced,
              count.Calls, count.Dropped);

  // As fast as the caller can: where the queue overflows.
  long fast = 0;
  double fastSeconds = 0;
  {
    auto d = NewControl(journal);
    LONG rc = 0;
    const auto start = TClock::now();
    while (TClock::now() - start < std::chrono::seconds(1))
      for (int i = 0; i < 1000; ++i, ++fast) d->GetCashRegister(&rc);
    fastSeconds = std::chrono::duration<double>(TClock::now() - start).count();
  }
  count = CountLines(journal);
  DeleteFileW(journal.c_str());
  DeleteFileW((journal + L".1").c_str());
  std::printf("  unpaced: %ld calls in %.2f s, %ld lines in the journal, %ld dropped\n", fast, fastSeconds,
              count.Calls, count.Dropped);
  return count.Calls == 0 || paced == 0 ? 1 : 0;
}
