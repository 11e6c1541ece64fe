#pragma once
// An open registry key that closes itself.
#include <windows.h>

#include <utility>

class TRegKey {
 public:
  TRegKey() = default;
  TRegKey(const TRegKey&) = delete;
  TRegKey& operator=(const TRegKey&) = delete;
  TRegKey(TRegKey&& o) noexcept : FKey(std::exchange(o.FKey, nullptr)) {}
  ~TRegKey() { Reset(); }

  HKEY Get() const noexcept { return FKey; }
  HKEY* Put() noexcept {
    Reset();
    return &FKey;
  }
  explicit operator bool() const noexcept { return FKey != nullptr; }
  void Reset() noexcept {
    if (HKEY k = std::exchange(FKey, nullptr)) RegCloseKey(k);
  }

 private:
  HKEY FKey = nullptr;
};
