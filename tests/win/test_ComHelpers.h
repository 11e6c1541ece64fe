#pragma once
// What the COM tests share: registering the driver from this program's own
// folder (so the order of test runs does not matter), pumping messages, and
// the driver's exported entry points.
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

#include "win/ScopedCom.h"

inline std::wstring TestBinDir() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

inline std::wstring DriverDllPath() { return TestBinDir() + L"PloverDrv.dll"; }

// The DLL stays loaded for the whole run, so its exports stay callable.
inline HMODULE DriverModule() {
  static HMODULE module = LoadLibraryW(DriverDllPath().c_str());
  return module;
}

inline HRESULT CallDriverExport(const char* name) {
  HMODULE module = DriverModule();
  if (!module) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
  auto fn = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return fn ? fn() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
}

inline HRESULT RegisterDriver() { return CallDriverExport("DllRegisterServer"); }

inline std::wstring EnvText(const wchar_t* name) {
  wchar_t buf[64] = {};
  GetEnvironmentVariableW(name, buf, 64);
  return buf;
}

// Starts this same test program running only the tests the filter names,
// with envName=envValue in its environment (which tells those tests that they
// run as the helper process). The handle is the caller's to close.
inline HANDLE StartSelf(const wchar_t* filter, const wchar_t* envName, const std::wstring& envValue) {
  SetEnvironmentVariableW(envName, envValue.c_str());
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring cmd = L"\"" + std::wstring(exe) + L"\" --gtest_filter=" + filter;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  BOOL started = CreateProcessW(exe, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
  SetEnvironmentVariableW(envName, nullptr);
  if (!started) return nullptr;
  CloseHandle(pi.hThread);
  return pi.hProcess;
}

// Handles window messages until done() holds or the time is up.
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count() < 20 ? left.count() : 20),
                              QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return true;
}
