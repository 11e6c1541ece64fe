// The driver's start in a fresh process, as a program's first use of the
// control meets it. Each run is a fresh process of this program that
//   - loads PloverDrv.dll alone, then the sockets library from the system
//     folder, timing both (the driver loads the sockets library itself only
//     when the UDP bus is chosen, so the second figure is what a program on
//     the default bus saves);
//   - or, as a COM client does, initialises COM (its own cost, shown apart)
//     and creates the first control by its ProgID: the driver loaded and its
//     first control made, the figure with a goal (at most 10 ms median).
//
//   bench_drv_load [runs]   (default 31 of each)
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "bench_driver.h"

namespace {

double Ms(LARGE_INTEGER a, LARGE_INTEGER b) {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  return static_cast<double>(b.QuadPart - a.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

// The measuring child of the COM client's start: prints "com_ms create_ms".
int ClientChild() {
  LARGE_INTEGER t0, t1, t2;
  QueryPerformanceCounter(&t0);
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  QueryPerformanceCounter(&t1);
  CLSID clsid;
  IUnknown* control = nullptr;
  if (FAILED(CLSIDFromProgID(L"PloverDrv.PloverDriver", &clsid)) ||
      FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&control))))
    return 3;
  QueryPerformanceCounter(&t2);
  std::printf("%.3f %.3f\n", Ms(t0, t1), Ms(t1, t2));
  control->Release();
  CoUninitialize();
  return 0;
}

// The measuring child of the plain load: prints "driver_ms sockets_ms already_loaded".
int Child() {
  const std::wstring dll = OwnFolderFile(L"PloverDrv.dll");
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

// Runs this program with the argument; its first line of output.
std::string RunChild(const wchar_t* argument) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return {};
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = writeEnd;
  si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  std::wstring cmd = L"\"" + ModuleFileName(nullptr) + L"\" " + argument;
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
  return out;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 1 && std::wcscmp(argv[1], L"--child") == 0) return Child();
  if (argc > 1 && std::wcscmp(argv[1], L"--client") == 0) return ClientChild();
  const int runs = argc > 1 ? std::max(3, _wtoi(argv[1])) : 31;
  if (FAILED(RegisterFromOwnFolder())) {
    std::printf("PloverDrv.dll could not be registered\n");
    return 1;
  }
  std::vector<double> driver, sockets, com, create;
  int loadedByDriver = 0;
  for (int i = 0; i < runs; ++i) {
    // Interleaved, so that a slow moment of the machine hits both alike.
    double d = 0, s = 0, c = 0, f = 0;
    int loaded = 0;
    if (std::sscanf(RunChild(L"--child").c_str(), "%lf %lf %d", &d, &s, &loaded) != 3 ||
        std::sscanf(RunChild(L"--client").c_str(), "%lf %lf", &c, &f) != 2) {
      std::printf("run %d failed\n", i);
      return 1;
    }
    if (i == 0) continue;  // warms the file cache
    driver.push_back(d);
    sockets.push_back(s);
    loadedByDriver += loaded;
    com.push_back(c);
    create.push_back(f);
  }
  auto row = [](const char* what, const std::vector<double>& v) {
    std::printf("  %-46s median %7.3f ms, fastest %7.3f ms\n", what, Median(v), *std::min_element(v.begin(), v.end()));
  };
  std::printf("PloverDrv.dll start, fresh process (%zu-bit), %d runs\n", sizeof(void*) * 8, runs - 1);
  row("PloverDrv.dll loaded alone:", driver);
  row("then ws2_32.dll:", sockets);
  row("a COM client's CoInitializeEx:", com);
  row("then the driver loaded, first control (<= 10):", create);
  std::printf("  ws2_32.dll already loaded with the driver: %d of %d runs (expected 0)\n", loadedByDriver, runs - 1);
  return loadedByDriver == 0 ? 0 : 3;
}
