#pragma once
// The full path of a module's file (nullptr: the program's own), however long,
// and a system library loaded when first needed. Header-only: the driver shares it.
#include <windows.h>

#include <string>

inline std::wstring ModuleFileName(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

// A library of the system folder (never a copy beside the program), loaded on
// first use and kept for the life of the process; nullptr when it cannot be.
inline HMODULE LoadSystemLibrary(const wchar_t* name) {
  wchar_t dir[MAX_PATH] = {};
  const UINT n = GetSystemDirectoryW(dir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  return LoadLibraryW((std::wstring(dir, n) + L"\\" + name).c_str());
}

// A function of a system library by name, as the type it is used as.
template <typename TFunction>
TFunction SystemFunction(const wchar_t* library, const char* name) {
  HMODULE module = LoadSystemLibrary(library);
  return module ? reinterpret_cast<TFunction>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}
