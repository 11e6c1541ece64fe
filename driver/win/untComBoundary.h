#pragma once
// The control's one boundary between exceptions and COM: whatever a method
// of the control, its connection point or its notify window runs, an
// exception ends there as a status (with the text as error information) and
// never unwinds into the caller's or the system's code.
#include <windows.h>

#include <string>
#include <type_traits>

// An exception on its way out, as a status and a text (call inside a catch).
struct TComFailure {
  HRESULT Code;
  std::wstring Text;
};
TComFailure CurrentComFailure();

// The text as the calling thread's error information for the control.
void SetComErrorText(const std::wstring& text);

// The failure of the exception being handled, its text set as error information.
HRESULT FailWithErrorInfo();

// Runs the body of a COM method: its status (S_OK for a body that returns
// nothing), or the failure of what it raised.
template <class F>
HRESULT ComBoundary(F&& body) noexcept {
  try {
    if constexpr (std::is_same_v<decltype(body()), void>) {
      body();
      return S_OK;
    } else {
      return body();
    }
  } catch (...) {
    return FailWithErrorInfo();
  }
}

// Runs what a window procedure of the control does; nothing may leave it and
// there is nobody to report to.
template <class F>
void WindowBoundary(F&& body) noexcept {
  try {
    body();
  } catch (...) {
  }
}
