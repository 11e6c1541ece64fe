#pragma once
// What the driver's benchmarks share: the PloverDrv.dll of the benchmark's own
// folder is the one registered and measured.
#include <windows.h>

#include <string>

#include "win/WinModule.h"

inline std::wstring OwnFolderFile(const wchar_t* name) {
  const std::wstring own = ModuleFileName(nullptr);
  return own.substr(0, own.find_last_of(L"\\/") + 1) + name;
}

// Registers the driver beside the benchmark (as regsvr32 would) and lets the
// library go again.
inline HRESULT RegisterFromOwnFolder() {
  HMODULE module = LoadLibraryW(OwnFolderFile(L"PloverDrv.dll").c_str());
  if (!module) return HRESULT_FROM_WIN32(GetLastError());
  auto reg = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
  const HRESULT hr = reg ? reg() : E_FAIL;
  FreeLibrary(module);
  return hr;
}
