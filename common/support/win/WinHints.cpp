// Hints: one tooltip window per form, fed the mouse messages of the form's
// windowed controls (and tool bars) that have a hint.
#include "WinForm.h"

#include <commctrl.h>

HWND TForm::HintWindow() {
  if (FHintWindow || !Handle()) return FHintWindow;
  // Owned by the top-level window the form is in now (a page sits in the
  // main window), so the tip shows above it.
  FHintWindow = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                GetAncestor(Handle(), GA_ROOT), nullptr, GetModuleHandleW(nullptr), nullptr);
  if (FHintWindow) SendMessageW(FHintWindow, TTM_SETMAXTIPWIDTH, 0, 400);
  return FHintWindow;
}

namespace {

// The tooltip's record of a windowed control: the whole window, its hint.
TOOLINFOW ToolOf(HWND window, const std::wstring& hint) {
  TOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.uFlags = TTF_IDISHWND;
  ti.hwnd = window;
  ti.uId = reinterpret_cast<UINT_PTR>(window);
  ti.lpszText = const_cast<wchar_t*>(hint.c_str());
  return ti;
}

}  // namespace

void TWinControl::SetHint(const std::wstring& hint) {
  TControl::SetHint(hint);
  if (!FHintToolsAdded || !FHandle) return;
  TForm* form = ParentForm();
  if (!form) return;
  TOOLINFOW ti = ToolOf(FHandle, Hint());
  SendMessageW(form->HintWindow(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}

void TWinControl::AddHintTools(HWND tooltip) {
  TOOLINFOW ti = ToolOf(FHandle, Hint());
  SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

// Mouse messages reach the tooltip through us: the tooltip's own way of
// watching a window (subclassing it) would cost window-property round trips
// on every message.
void TWinControl::RelayHint(UINT msg, WPARAM wp, LPARAM lp) {
  TForm* form = ParentForm();
  if (!form || !FHandle) return;
  HWND tooltip = form->HintWindow();
  if (!tooltip) return;
  if (!FHintToolsAdded) {
    FHintToolsAdded = true;
    AddHintTools(tooltip);
  }
  MSG m{FHandle, msg, wp, lp, 0, {}};
  SendMessageW(tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&m));
}
