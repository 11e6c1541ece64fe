#include "TopWindows.h"

namespace {

struct TSearch {
  DWORD Pid;
  bool Dialog;           // only the system's dialog class
  std::wstring Caption;  // empty: any
  bool WholeCaption;     // the caption as a whole, not only its start
  HWND Except;
  HWND Found;
};

bool Matches(HWND wnd, const TSearch& s) {
  DWORD pid = 0;
  GetWindowThreadProcessId(wnd, &pid);
  if (pid != s.Pid || wnd == s.Except || !IsWindowVisible(wnd)) return false;
  if (s.Dialog) {
    wchar_t cls[16] = {};
    GetClassNameW(wnd, cls, 16);
    if (lstrcmpW(cls, L"#32770") != 0) return false;
  }
  // Read only when it matters: for a window of this process on a busy
  // thread, reading the caption waits for that thread.
  if (s.Caption.empty()) return true;
  wchar_t text[256] = {};
  GetWindowTextW(wnd, text, 256);
  return s.WholeCaption ? s.Caption == text : std::wstring(text).rfind(s.Caption, 0) == 0;
}

// Named: a callback needs the system's calling convention in a 32-bit build,
// which a lambda does not have.
BOOL CALLBACK MatchWindow(HWND wnd, LPARAM p) {
  auto* s = reinterpret_cast<TSearch*>(p);
  if (!Matches(wnd, *s)) return TRUE;
  s->Found = wnd;
  return FALSE;
}

HWND Search(TSearch s) {
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&s));
  return s.Found;
}

}  // namespace

HWND TopWindowOf(DWORD pid, const std::wstring& captionStart) {
  return Search({pid, false, captionStart, false, nullptr, nullptr});
}

HWND DialogOf(DWORD pid, const std::wstring& caption, HWND except) {
  return Search({pid, true, caption, true, except, nullptr});
}
