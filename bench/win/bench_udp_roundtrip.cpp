// Request and answer between two processes over the UDP loopback bus, one
// driver control each: this program sends register requests (1Ah) and waits
// for each answer; a copy of it started with --child answers them, as a
// program's OnCommand handler does. Every answer carries a value made from its
// request's register number, so an answer to the wrong request is caught; an
// answer that comes once more after its request was settled arrives here as a
// received command and is counted.
//
//   bench_udp_roundtrip [requests [port]]   (default 10000 requests, port 47391)
//
// Goals: median round trip at most 1 ms, 99th percentile at most 5 ms, none
// lost, none answered twice.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "Driver.h"
#include "untComDriver.h"
#include "untError.h"
#include "untText.h"
#include "bench_driver.h"
#include "win/ScopedCom.h"

namespace {

constexpr int kRequesterAddress = 1;
constexpr int kAnswererAddress = 5;
constexpr int kRegisterRequest = 0x1A;
constexpr int kStopRequest = 0x13;
constexpr int kDefaultPort = 47391;

double Ms(LARGE_INTEGER a, LARGE_INTEGER b) {
  static LARGE_INTEGER f = [] {
    LARGE_INTEGER v;
    QueryPerformanceFrequency(&v);
    return v;
  }();
  return static_cast<double>(b.QuadPart - a.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

// The value an answer to register r carries.
int64_t AnswerValue(int32_t r) { return int64_t{r} * 10000 + 1; }

std::unique_ptr<TDriver> OpenOnUdp(int address, int port) {
  auto d = CreateComDriver();
  d->set_VirtualDesk(false);
  d->set_VirtualEcr(false);
  d->set_LinkLatency(0);
  d->set_FaultEvery(0);
  d->set_SrcAddress(address);
  d->set_BusPort(port);
  d->set_BusKind(1);
  return d;
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void PumpFor(int ms) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
  while (static_cast<int>(end - GetTickCount()) > 0) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    PumpMessages();
  }
}

// ---------------------------------------------------------------- the answering peer

int Child(int port) {
  TComInit com;
  auto d = OpenOnUdp(kAnswererAddress, port);
  // Start-up attempts carry register -1; the measured requests 0, 1, 2 ...
  int requests = 0, measured = 0, twice = 0, repeated = 0;
  std::vector<bool> numbers;
  bool stop = false;
  d->OnCommand = [&](TPloverDriver&, int32_t id) {
    d->set_CommandID(id);
    if (d->GetCommand() != 0) return;
    d->ParseCommand();
    if (d->get_CommandType() != 0 || d->get_CommandDstAddress() != kAnswererAddress) return;
    const int code = d->get_CommandCode();
    if (code == kRegisterRequest) {
      ++requests;
      if (d->get_CommandRepeated()) ++repeated;
      const int32_t r = d->get_RegisterNumber();
      if (r >= 0) {
        ++measured;
        if (static_cast<size_t>(r) >= numbers.size()) numbers.resize(static_cast<size_t>(r) + 1);
        if (numbers[static_cast<size_t>(r)]) ++twice;
        numbers[static_cast<size_t>(r)] = true;
      }
      d->set_CashRegister(AnswerValue(r));
    } else if (code == kStopRequest) {
      stop = true;
    }
    d->set_CommandResultCode(0);
    d->set_WaitAnswer(false);
    d->set_CommandType(1);
    d->set_CommandDstAddress(d->get_CommandSrcAddress());
    d->set_CommandSrcAddress(kAnswererAddress);
    d->SendCommand();
  };
  // Ends by itself when the requester has gone quiet for a minute.
  DWORD last = GetTickCount();
  int seen = -1;
  while (!stop) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    PumpMessages();
    if (requests != seen) {
      seen = requests;
      last = GetTickCount();
    } else if (GetTickCount() - last > 60000) {
      break;
    }
  }
  // The stop request's answer has gone out; let it leave before the bus closes.
  PumpFor(200);
  d->OnCommand = nullptr;
  std::printf("%d %d %d\n", measured, twice, repeated);
  std::fflush(stdout);
  return stop ? 0 : 2;
}

// ---------------------------------------------------------------- the requester

struct TChild {
  PROCESS_INFORMATION Info{};
  HANDLE Output = nullptr;
  bool Started = false;
};

TChild StartChild(int port) {
  TChild child;
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&child.Output, &writeEnd, &sa, 0)) return child;
  SetHandleInformation(child.Output, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = writeEnd;
  si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  std::wstring cmd = L"\"" + ModuleFileName(nullptr) + L"\" --child " + std::to_wstring(port);
  child.Started = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                                 &child.Info) != 0;
  CloseHandle(writeEnd);
  return child;
}

std::string FinishChild(TChild& child) {
  std::string out;
  if (child.Started) {
    char buf[256];
    DWORD got = 0;
    while (ReadFile(child.Output, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
    if (WaitForSingleObject(child.Info.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(child.Info.hProcess, 9);
    CloseHandle(child.Info.hProcess);
    CloseHandle(child.Info.hThread);
  }
  if (child.Output) CloseHandle(child.Output);
  child = {};
  return out;
}

int32_t Request(TDriver& d, int code, int32_t registerNumber, int timeout) {
  d.set_RegisterNumber(registerNumber);
  d.set_CommandType(0);
  d.set_CommandCode(code);
  d.set_CommandSrcAddress(kRequesterAddress);
  d.set_CommandDstAddress(kAnswererAddress);
  d.set_Timeout(timeout);
  d.set_WaitAnswer(true);
  return d.SendCommand();
}

double Percentile(const std::vector<double>& sorted, double p) {
  if (sorted.empty()) return 0;
  size_t i = static_cast<size_t>(p * static_cast<double>(sorted.size() - 1) + 0.5);
  return sorted[std::min(i, sorted.size() - 1)];
}

int Parent(int count, int port) {
  TComInit com;
  if (FAILED(RegisterFromOwnFolder())) {
    std::printf("PloverDrv.dll could not be registered\n");
    return 1;
  }
  // Opened first, so this process is the bus's hub and the child its member.
  auto d = OpenOnUdp(kRequesterAddress, port);
  int late = 0;
  d->OnCommand = [&](TPloverDriver&, int32_t id) {
    d->set_CommandID(id);
    if (d->GetCommand() != 0) return;
    d->ParseCommand();
    if (d->get_CommandType() != 0 && d->get_CommandDstAddress() == kRequesterAddress) ++late;
  };
  TChild child = StartChild(port);
  if (!child.Started) {
    std::printf("the answering copy could not be started\n");
    return 1;
  }
  // The member is known to the hub from its first hello on; until then the
  // requests find nobody.
  bool up = false;
  for (int i = 0; i < 100 && !up; ++i) {
    up = Request(*d, kRegisterRequest, -1, 200) == 0;
    PumpMessages();
  }
  if (!up) {
    std::printf("the answering copy does not answer\n");
    FinishChild(child);
    return 1;
  }
  PumpFor(300);  // late answers to the first attempts
  const int warmUp = 100;
  for (int i = 0; i < warmUp; ++i) {
    Request(*d, kRegisterRequest, -1, 1000);
    PumpMessages();
  }
  late = 0;

  std::vector<double> times;
  times.reserve(static_cast<size_t>(count));
  int lost = 0, wrong = 0;
  for (int i = 0; i < count; ++i) {
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    const int32_t rc = Request(*d, kRegisterRequest, i, 1000);
    QueryPerformanceCounter(&t1);
    if (rc != 0)
      ++lost;
    else if (d->get_CashRegister() != AnswerValue(i))
      ++wrong;
    else
      times.push_back(Ms(t0, t1));
    PumpMessages();
  }
  const bool stopped = Request(*d, kStopRequest, 0, 2000) == 0;
  PumpFor(500);
  d->OnCommand = nullptr;
  const std::string report = FinishChild(child);
  int childMeasured = -1, childTwice = -1, childRepeated = -1;
  std::sscanf(report.c_str(), "%d %d %d", &childMeasured, &childTwice, &childRepeated);

  std::sort(times.begin(), times.end());
  const double median = Percentile(times, 0.5), p99 = Percentile(times, 0.99);
  std::printf("UDP loopback bus, request and answer between two processes (%zu-bit), %d requests\n",
              sizeof(void*) * 8, count);
  std::printf("  round trip: median %.3f ms, 99th percentile %.3f ms, fastest %.3f ms, slowest %.3f ms\n", median,
              p99, times.empty() ? 0 : times.front(), times.empty() ? 0 : times.back());
  std::printf("  lost %d, wrong answer %d, answered twice or late %d\n", lost, wrong, late);
  std::printf("  the answering copy got %d of the %d requests, %d of them twice, %d marked repeated\n",
              childMeasured, count, childTwice, childRepeated);
  const bool reliable = lost == 0 && wrong == 0 && late == 0 && stopped && childMeasured == count &&
                        childTwice == 0 && childRepeated == 0;
  const bool fast = median <= 1.0 && p99 <= 5.0;
  std::printf("goal: median <= 1 ms, p99 <= 5 ms: %s; none lost, none answered twice: %s\n", fast ? "met" : "NOT met",
              reliable ? "met" : "NOT met");
  return reliable ? 0 : 3;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  try {
    if (argc > 1 && std::wcscmp(argv[1], L"--child") == 0) return Child(argc > 2 ? _wtoi(argv[2]) : kDefaultPort);
    const int count = argc > 1 ? std::max(100, _wtoi(argv[1])) : 10000;
    const int port = argc > 2 ? _wtoi(argv[2]) : kDefaultPort;
    return Parent(count, port);
  } catch (const std::exception& e) {
    std::printf("error: %s\n", WideToUtf8(ExceptionText(e)).c_str());
    return 1;
  }
}
