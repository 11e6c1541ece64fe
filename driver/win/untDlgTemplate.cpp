#include "untDlgTemplate.h"

TDlgTemplate::TDlgTemplate(const wchar_t* title, short cx, short cy) {
  PutDword(DS_MODALFRAME | DS_CENTER | DS_SHELLFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU);
  PutDword(0);  // extended style
  FCountAt = FData.size();
  PutWord(0);  // item count, filled in by Add
  PutWord(0);
  PutWord(0);
  PutWord(static_cast<WORD>(cx));
  PutWord(static_cast<WORD>(cy));
  PutWord(0);  // no menu
  PutWord(0);  // standard dialog class
  PutText(title);
  PutWord(8);
  PutText(L"MS Shell Dlg");
}

void TDlgTemplate::Add(TKind kind, WORD id, const wchar_t* text, short x, short y, short cx, short cy,
                       DWORD style) {
  AlignDword();
  PutDword(style | WS_CHILD | WS_VISIBLE);
  PutDword(0);
  PutWord(static_cast<WORD>(x + FShiftX));
  PutWord(static_cast<WORD>(y + FShiftY));
  PutWord(static_cast<WORD>(cx));
  PutWord(static_cast<WORD>(cy));
  PutWord(id);
  PutWord(0xFFFF);
  PutWord(static_cast<WORD>(kind));
  PutText(text);
  PutWord(0);  // no creation data
  ++FData[FCountAt];
}

void TDlgTemplate::PutDword(DWORD d) {
  PutWord(LOWORD(d));
  PutWord(HIWORD(d));
}

void TDlgTemplate::PutText(const wchar_t* text) {
  for (; *text; ++text) PutWord(static_cast<WORD>(*text));
  PutWord(0);
}

void TDlgTemplate::AlignDword() {
  if (FData.size() % 2) PutWord(0);
}
