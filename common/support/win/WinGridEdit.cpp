#include "WinGridEdit.h"

#include "WinApp.h"

TGridEditor::TGridEditor(HWND grid, HFONT font, std::function<void(WPARAM key)> rowKey)
    : FGrid(grid), FRowKey(std::move(rowKey)) {
  FHandle = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL, 0, 0, 0, 0, grid, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  if (!FHandle) return;
  SendMessageW(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  // Plain subclassing (this object in the editor's user data): the common
  // controls' chain would cost window-property reads on every keystroke.
  SetWindowLongPtrW(FHandle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  FOwnProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(FHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TGridEditor::Proc)));
}

TGridEditor::~TGridEditor() {
  // The editor must not call back into a grid that is half gone.
  if (!FHandle) return;
  SetWindowLongPtrW(FHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FOwnProc));
  SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
  DestroyWindow(FHandle);
}

bool TGridEditor::Shown() const { return FHandle && (GetWindowLongW(FHandle, GWL_STYLE) & WS_VISIBLE); }

void TGridEditor::Focus() {
  if (FHandle) ::SetFocus(FHandle);
}

std::wstring TGridEditor::Text() const {
  if (!FHandle) return {};
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(FHandle)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(FHandle, text.data(), static_cast<int>(text.size()))));
  return text;
}

void TGridEditor::Load(const std::wstring& text) {
  if (!FHandle) return;
  FLoading = true;
  SetWindowTextW(FHandle, text.c_str());
  FLoading = false;
  SendMessageW(FHandle, EM_SETSEL, 0, -1);
}

void TGridEditor::ShowAt(const RECT& wanted) {
  if (!FHandle) return;
  RECT now{};
  GetWindowRect(FHandle, &now);
  MapWindowPoints(HWND_DESKTOP, FGrid, reinterpret_cast<POINT*>(&now), 2);
  if (!EqualRect(&now, &wanted) || !Shown())
    SetWindowPos(FHandle, nullptr, wanted.left, wanted.top, wanted.right - wanted.left, wanted.bottom - wanted.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void TGridEditor::Hide() {
  if (!Shown()) return;
  const bool hadFocus = Focused();
  ShowWindow(FHandle, SW_HIDE);
  if (hadFocus) ::SetFocus(FGrid);
}

void TGridEditor::SetFont(HFONT font) {
  if (FHandle) SendMessageW(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(font), IsWindowVisible(FHandle));
}

LRESULT CALLBACK TGridEditor::Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<TGridEditor*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(wnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    // Gone with the grid's window before this object: the handle must not be
    // touched again, it may soon name another window.
    const WNDPROC own = self->FOwnProc;
    SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
    self->FHandle = nullptr;
    return CallWindowProcW(own, wnd, msg, wp, lp);
  }
  if (msg == WM_KEYDOWN) {
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    if (wp == VK_UP || wp == VK_DOWN || wp == VK_PRIOR || wp == VK_NEXT ||
        (ctrl && (wp == VK_HOME || wp == VK_END))) {
      Application().Guard([&] { self->FRowKey(wp); });
      return 0;
    }
  }
  return CallWindowProcW(self->FOwnProc, wnd, msg, wp, lp);
}
