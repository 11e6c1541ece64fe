// Start-up of PloverCmd.exe, from process creation to its first idle message
// loop with its main window on screen, against a plain program that opens one
// window. PloverCmd runs from a folder of its own with a settings file that
// holds every command, so the measured start includes reading it.
//
//   bench_cmd_startup [runs [program]]   (default 21 runs, the first of each
//                                         warming up; program instead of
//                                         PloverCmd.exe, to compare builds)
//
// Both the median and the fastest run are shown: on a busy machine the
// fastest run is the better measure of the work itself.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "BigIni.h"
#include "untCommand.h"
#include "untEcrCmd.h"

namespace fs = std::filesystem;

namespace {

using TClock = std::chrono::steady_clock;

fs::path ProgramDir() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return fs::path(path).parent_path();
}

// The program's main window once it is visible, looked up by its class: one
// request to the window server per look, where walking every top-level window
// each millisecond kept loading the server the measured program waits on.
HWND VisibleWindowOf(DWORD pid, const wchar_t* windowClass) {
  for (HWND wnd = FindWindowExW(nullptr, nullptr, windowClass, nullptr); wnd;
       wnd = FindWindowExW(nullptr, wnd, windowClass, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(wnd, &owner);
    if (owner == pid && IsWindowVisible(wnd)) return wnd;
  }
  return nullptr;
}

// Milliseconds from CreateProcess until the program shows its window and waits
// for input; -1 when it does not get there within 30 s.
double StartOnce(const fs::path& exe, const wchar_t* windowClass) {
  std::wstring cmd = L"\"" + exe.wstring() + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  const auto start = TClock::now();
  if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, exe.parent_path().c_str(), &si,
                      &pi))
    return -1;
  double ms = -1;
  const auto deadline = start + std::chrono::seconds(30);
  HWND wnd = nullptr;
  // A program that peeks at its queue while it is still starting looks idle
  // for a moment; only the wait with its main window up counts.
  while (!(wnd = VisibleWindowOf(pi.dwProcessId, windowClass)) && TClock::now() < deadline &&
         WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT)
    Sleep(1);
  if (wnd && WaitForInputIdle(pi.hProcess, 30000) == 0)
    ms = std::chrono::duration<double, std::milli>(TClock::now() - start).count();
  // Ended from outside: neither program has anything to finish, and PloverCmd
  // must not write its settings file between runs.
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return ms;
}

void WriteSettings(const fs::path& ini) {
  TBigIniFile store(ini.wstring());
  store.WriteInteger(L"Параметры", L"Timeout", 1000);
  store.WriteBool(L"Параметры", L"SendAnswer", true);
  store.WriteBool(L"Параметры", L"WaitAnswer", false);
  TCommands commands;
  CreateCommands(commands);
  commands.SetDefaults();
  commands.SaveParams(store);
  store.UpdateFile();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? -1 : v[v.size() / 2];
}

double Fastest(const std::vector<double>& v) { return v.empty() ? -1 : *std::min_element(v.begin(), v.end()); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int runs = argc > 1 ? std::max(2, _wtoi(argv[1])) : 21;
  const fs::path bin = ProgramDir();
  const fs::path plain = bin / L"cmd_plain_window.exe";
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const fs::path dir = fs::path(temp) / (L"bench-cmd-" + std::to_wstring(GetCurrentProcessId()));
  fs::create_directories(dir);
  const fs::path cmd = dir / L"PloverCmd.exe";
  try {
    fs::copy_file(argc > 2 ? fs::path(argv[2]) : bin / L"PloverCmd.exe", cmd, fs::copy_options::overwrite_existing);
    WriteSettings(dir / L"PloverCmd.ini");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_cmd_startup: cannot prepare %ls: %s\n", dir.c_str(), e.what());
    return 1;
  }

  std::vector<double> plainMs, cmdMs;
  for (int i = 0; i < runs; ++i) {
    // Interleaved, so that a slow moment of the machine hits both alike.
    // Main window classes: the plain program's and that of our forms.
    double p = StartOnce(plain, L"PlainWindow"), c = StartOnce(cmd, L"PloverForm");
    if (p < 0 || c < 0) {
      std::fprintf(stderr, "bench_cmd_startup: run %d did not reach its message loop (plain %.1f, cmd %.1f)\n", i,
                   p, c);
      return 1;
    }
    if (i == 0) continue;  // warm-up: the first start of each loads files into the cache
    plainMs.push_back(p);
    cmdMs.push_back(c);
  }
  std::error_code ec;
  fs::remove_all(dir, ec);

  const double p = Median(plainMs), c = Median(cmdMs), pf = Fastest(plainMs), cf = Fastest(cmdMs);
  std::printf("start-up to the first idle message loop, %zu runs      median    fastest\n", cmdMs.size());
  std::printf("  plain window                               %8.1f ms %8.1f ms\n", p, pf);
  std::printf("  PloverCmd (settings file with 37 commands) %8.1f ms %8.1f ms\n", c, cf);
  std::printf("  ratio (goal: at most 1.30)                 %8.2f    %8.2f\n", c / p, cf / pf);
  return 0;
}
