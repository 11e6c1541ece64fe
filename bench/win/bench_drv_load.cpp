// What the sockets library would cost the driver's start if it were linked:
// each run is a fresh process of this program that loads PloverDrv.dll (as
// a program's first use of the control does) and then the sockets library
// from the system folder, timing both. The driver loads the sockets library
// itself only when the UDP bus is chosen, so the second figure is what a
// program on the default bus saves, and what a program on the UDP bus pays
// at its first frame instead of at start.
//
//   bench_drv_load [runs]   (default 31)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

double Ms(LARGE_INTEGER a, LARGE_INTEGER b) {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  return static_cast<double>(b.QuadPart - a.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

std::wstring OwnPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

// The measuring child: prints "driver_ms sockets_ms already_loaded".
int Child() {
  std::wstring dll = OwnPath();
  dll = dll.substr(0, dll.find_last_of(L"\\/") + 1) + L"PloverDrv.dll";
  wchar_t sys[MAX_PATH] = {};
  GetSystemDirectoryW(sys, MAX_PATH);
  const std::wstring ws2 = std::wstring(sys) + L"\\ws2_32.dll";
  const bool already = GetModuleHandleW(L"ws2_32.dll") != nullptr;
  LARGE_INTEGER t0, t1, t2;
  QueryPerformanceCounter(&t0);
  HMODULE drv = LoadLibraryW(dll.c_str());
  QueryPerformanceCounter(&t1);
  const bool byDriver = GetModuleHandleW(L"ws2_32.dll") != nullptr;
  HMODULE sock = LoadLibraryW(ws2.c_str());
  QueryPerformanceCounter(&t2);
  if (!drv || !sock) return 2;
  std::printf("%.3f %.3f %d\n", Ms(t0, t1), Ms(t1, t2), (already || byDriver) ? 1 : 0);
  return 0;
}

bool RunChild(double& driverMs, double& socketsMs, int& loaded) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return false;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = writeEnd;
  si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  std::wstring cmd = L"\"" + OwnPath() + L"\" --child";
  PROCESS_INFORMATION pi{};
  const bool started =
      CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi) != 0;
  CloseHandle(writeEnd);
  std::string out;
  if (started) {
    char buf[256];
    DWORD got = 0;
    while (ReadFile(readEnd, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
    WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  CloseHandle(readEnd);
  return started && std::sscanf(out.c_str(), "%lf %lf %d", &driverMs, &socketsMs, &loaded) == 3;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 1 && std::wcscmp(argv[1], L"--child") == 0) return Child();
  const int runs = argc > 1 ? std::max(3, _wtoi(argv[1])) : 31;
  std::vector<double> driver, sockets;
  int loadedByDriver = 0;
  for (int i = 0; i < runs; ++i) {
    double d = 0, s = 0;
    int loaded = 0;
    if (!RunChild(d, s, loaded)) {
      std::printf("run %d failed\n", i);
      return 1;
    }
    if (i == 0) continue;  // warms the file cache
    driver.push_back(d);
    sockets.push_back(s);
    loadedByDriver += loaded;
  }
  std::printf("PloverDrv.dll load, fresh process (%zu-bit), %d runs\n", sizeof(void*) * 8, runs - 1);
  std::printf("  PloverDrv.dll:            median %7.3f ms, fastest %7.3f ms\n", Median(driver),
              *std::min_element(driver.begin(), driver.end()));
  std::printf("  then ws2_32.dll:          median %7.3f ms, fastest %7.3f ms\n", Median(sockets),
              *std::min_element(sockets.begin(), sockets.end()));
  std::printf("  ws2_32.dll already loaded with the driver: %d of %d runs (expected 0)\n", loadedByDriver,
              runs - 1);
  return loadedByDriver == 0 ? 0 : 3;
}
