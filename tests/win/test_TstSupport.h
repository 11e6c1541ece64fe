#pragma once
// What the window tests share: a scripted driver that logs its calls, a
// recorder in place of the error display, and message pumping.
#include <windows.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Driver.h"
#include "WinUi.h"

class TScriptDriver : public TDriver {
 public:
  std::map<int32_t, TVariant> Props;
  std::map<int32_t, int32_t> Results;  // method id -> result code
  std::vector<std::wstring> Calls;     // method names in call order
  int DescriptionReads = 0;
  std::function<void()> OnDestroy;

  TScriptDriver() {
    Props[dispid::DriverVersion] = TVariant::FromStr(L"9.8.7.6");
    Props[dispid::ResultCodeDescription] = TVariant::FromStr(L"Ошибка драйвера");
  }
  ~TScriptDriver() override {
    if (OnDestroy) OnDestroy();
  }
  int32_t LookupName(const std::wstring& name) override { return FindMemberByName(name)->DispId; }
  void PutById(int32_t id, const TVariant& v) override {
    if (id == dispid::FlagNumber) FFlag = v.Int();
    Props[id] = v;
  }
  TVariant GetById(int32_t id) override {
    if (id == dispid::ResultCodeDescription) ++DescriptionReads;
    if (id == dispid::FlagName) return TVariant::FromStr(L"Флаг " + std::to_wstring(FFlag));
    auto it = Props.find(id);
    if (it != Props.end()) return it->second;
    return VarAsType(TVariant::FromInt(0), VarTypeOfKind(FindMemberById(id)->Kind));
  }
  int32_t CallById(int32_t id) override {
    Calls.push_back(FindMemberById(id)->Name);
    auto it = Results.find(id);
    return it == Results.end() ? 0 : it->second;
  }
  int CallCount(const std::wstring& name) const {
    int n = 0;
    for (const auto& c : Calls) n += c == name;
    return n;
  }

 private:
  int FFlag = -1;
};

// Registers the PloverDrv.dll beside this test program (so the order of test
// runs does not matter). The DLL stays loaded for the whole run.
inline HRESULT RegisterDriverBesideUs() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dll(path);
  dll = dll.substr(0, dll.find_last_of(L"\\/") + 1) + L"PloverDrv.dll";
  static HMODULE module = LoadLibraryW(dll.c_str());
  auto reg = module ? reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
                          reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")))
                    : nullptr;
  return reg ? reg() : E_FAIL;
}

// Takes the place of the error display while it lives.
class TErrorRecorder {
 public:
  std::vector<std::wstring> Texts;
  TErrorRecorder() {
    FOld = Application().SetErrorDisplay([this](const std::wstring& text) { Texts.push_back(text); });
  }
  ~TErrorRecorder() { Application().SetErrorDisplay(std::move(FOld)); }

 private:
  TApplication::TErrorDisplay FOld;
};

// Runs window events until done() holds or the time is up.
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    Application().ProcessMessages();
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

inline void Pump() { PumpUntil([] { return false; }, 50); }

// A key as the user presses it: posted to the focused window and run through
// the application's loop (dialog navigation included).
inline void PressKey(WPARAM key) {
  HWND target = GetFocus();
  PostMessageW(target, WM_KEYDOWN, key, 1);
  PostMessageW(target, WM_KEYUP, key, 0xC0000001);
  Pump();
}

// A key pressed with Shift or Ctrl held (VK_SHIFT, VK_CONTROL), posted to
// `target` and run through the application's loop.
inline void PressKeyWith(HWND target, WPARAM key, std::initializer_list<BYTE> held) {
  BYTE state[256] = {};
  GetKeyboardState(state);
  for (BYTE k : held) state[k] |= 0x80;
  SetKeyboardState(state);
  PostMessageW(target, WM_KEYDOWN, key, 1);
  PostMessageW(target, WM_KEYUP, key, 0xC0000001);
  Pump();
  for (BYTE k : held) state[k] &= 0x7F;
  SetKeyboardState(state);
}

// A mouse click in a window's client coordinates.
inline void ClickAt(HWND wnd, int x, int y) {
  SendMessageW(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  SendMessageW(wnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}
