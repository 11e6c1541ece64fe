#pragma once
// The driver's saved settings changed for one test and put back after it.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "win/WinHandles.h"

// DWORD settings of the driver in the registry, where a control made in
// another process reads them at its start; what was there comes back after.
class TDrvSettingsOverride {
 public:
  explicit TDrvSettingsOverride(std::vector<std::pair<std::wstring, DWORD>> values) {
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\PloverDrv", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, FKey.Put(),
                    nullptr);
    for (auto& [name, value] : values) {
      TOld old{name, false, 0};
      DWORD size = sizeof old.Value, type = 0;
      old.Existed = RegQueryValueExW(FKey.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&old.Value),
                                     &size) == ERROR_SUCCESS &&
                    type == REG_DWORD;
      FOld.push_back(old);
      RegSetValueExW(FKey.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
  }
  TDrvSettingsOverride(const TDrvSettingsOverride&) = delete;
  TDrvSettingsOverride& operator=(const TDrvSettingsOverride&) = delete;
  ~TDrvSettingsOverride() {
    for (auto& old : FOld) {
      if (old.Existed)
        RegSetValueExW(FKey.Get(), old.Name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old.Value),
                       sizeof old.Value);
      else
        RegDeleteValueW(FKey.Get(), old.Name.c_str());
    }
  }

 private:
  struct TOld {
    std::wstring Name;
    bool Existed;
    DWORD Value;
  };
  TRegKey FKey;
  std::vector<TOld> FOld;
};
