#include "WinApp.h"

#include <commctrl.h>

#include <vector>

#include "WinForm.h"
#include "untError.h"

TApplication& Application() {
  static TApplication app;
  return app;
}

void TApplication::Initialize() {
  if (FInitialized) return;
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_DATE_CLASSES |
                                           ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  FInitialized = true;
}

void TApplication::Run(TForm& mainForm) {
  Initialize();
  FMainForm = &mainForm;
  FTerminated = false;
  mainForm.Show();
  while (HandleMessage()) {
  }
  // HandleMessage posted the quit again for outer loops; there are none.
  MSG quit;
  PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

void TApplication::Terminate() {
  if (FTerminated) return;
  FTerminated = true;
  PostQuitMessage(0);
}

bool TApplication::PreTranslate(MSG& msg) {
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST || !msg.hwnd) return false;
  HWND root = GetAncestor(msg.hwnd, GA_ROOT);
  auto* form = root ? dynamic_cast<TForm*>(TWinControl::FromHandle(root)) : nullptr;
  if (!form) return false;
  if ((msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) && form->OnShortCut) {
    TShiftState shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) shift |= ssShift;
    if (GetKeyState(VK_CONTROL) < 0) shift |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0) shift |= ssAlt;
    bool used = false;
    Guard([&] { used = form->OnShortCut(static_cast<WORD>(msg.wParam), shift); });
    if (used) return true;
  }
  return IsDialogMessageW(root, &msg) != FALSE;
}

bool TApplication::HandleMessage() {
  MSG msg;
  const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
  if (got == 0 || got == -1) {
    FTerminated = true;
    // Outer loops (a modal form inside the main loop) see the quit as well.
    PostQuitMessage(static_cast<int>(msg.wParam));
    return false;
  }
  if (!PreTranslate(msg)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      FTerminated = true;
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (!PreTranslate(msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

TApplication::TErrorDisplay TApplication::SetErrorDisplay(TErrorDisplay display) {
  TErrorDisplay old = std::move(FErrorDisplay);
  FErrorDisplay = std::move(display);
  return old;
}

void TApplication::ShowException(const std::exception& e) noexcept {
  std::wstring text;
  try {
    text = ExceptionText(e);
  } catch (...) {
  }
  ShowErrorText(text);
}

void TApplication::ShowErrorText(const std::wstring& text) noexcept {
  try {
    if (FErrorDisplay) {
      FErrorDisplay(text);
      return;
    }
    ProgramMessageBox(nullptr, text, MB_OK | MB_ICONERROR);
  } catch (...) {
    // Nothing sensible is left to do when the display itself fails.
  }
}

TApplication::TMessageBoxHook TApplication::SetMessageBoxHook(TMessageBoxHook hook) {
  TMessageBoxHook old = std::move(FMessageBoxHook);
  FMessageBoxHook = std::move(hook);
  return old;
}

int TApplication::ShowMessageBox(const std::wstring& text, UINT flags, HWND owner) {
  if (FMessageBoxHook) return FMessageBoxHook(text, flags);
  return ProgramMessageBox(owner, text, flags);
}

namespace {

struct TDisabled {
  HWND Keep;
  std::vector<HWND> Windows;
};

BOOL CALLBACK DisableWindow(HWND w, LPARAM p) {
  auto* d = reinterpret_cast<TDisabled*>(p);
  if (w != d->Keep && IsWindowVisible(w) && IsWindowEnabled(w)) {
    EnableWindow(w, FALSE);
    d->Windows.push_back(w);
  }
  return TRUE;
}

}  // namespace

int TApplication::ProgramMessageBox(HWND owner, const std::wstring& text, UINT flags) {
  const DWORD thread = GetCurrentThreadId();
  if (!owner) {
    // The program's window the user works in, else its main window; a box
    // while another program is active still belongs to this one.
    owner = GetActiveWindow();
    if (!owner || GetWindowThreadProcessId(owner, nullptr) != thread) owner = nullptr;
    if (!owner && FMainForm && FMainForm->Handle() && IsWindowVisible(FMainForm->Handle()))
      owner = FMainForm->Handle();
  }
  // Every other window of the program is disabled while the box is up, as
  // under a modal form; the box itself disables and enables its owner, so that
  // activation goes back to the owner when it closes.
  TDisabled disabled{owner, {}};
  EnumThreadWindows(thread, DisableWindow, reinterpret_cast<LPARAM>(&disabled));
  struct TRestore {
    std::vector<HWND>& List;
    ~TRestore() {
      for (HWND w : List)
        if (IsWindow(w)) EnableWindow(w, TRUE);
    }
  } restore{disabled.Windows};
  return ::MessageBoxW(owner, text.c_str(), Title.c_str(), flags);
}
