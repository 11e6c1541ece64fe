#include "WinComCtrls.h"

#include <commctrl.h>

#include <algorithm>
#include <oleauto.h>

#include "WinApp.h"

// ---------------------------------------------------------------- TUpDown

TUpDown::TUpDown(const TCreateArgs& args) : TWinControl(args) {
  CreateHandle(UPDOWN_CLASSW, UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0, false);
  SetRange(0, 100);
}

void TUpDown::SetAssociate(TWinControl* edit) {
  Perform(UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit ? edit->Handle() : nullptr));
  // The up-down moved itself beside the edit and narrowed it: those are the
  // positions the anchors keep from now on.
  if (edit) edit->SetBounds(edit->Left(), edit->Top(), edit->Width(), edit->Height());
  SetBounds(Left(), Top(), Width(), Height());
}

int TUpDown::Min() const {
  int min = 0, max = 0;
  Perform(UDM_GETRANGE32, reinterpret_cast<WPARAM>(&min), reinterpret_cast<LPARAM>(&max));
  return min;
}

int TUpDown::Max() const {
  int min = 0, max = 0;
  Perform(UDM_GETRANGE32, reinterpret_cast<WPARAM>(&min), reinterpret_cast<LPARAM>(&max));
  return max;
}

void TUpDown::SetRange(int min, int max) { Perform(UDM_SETRANGE32, static_cast<WPARAM>(min), max); }

int TUpDown::Position() const { return static_cast<int>(Perform(UDM_GETPOS32, 0, 0)); }

void TUpDown::SetPosition(int position) { Perform(UDM_SETPOS32, 0, position); }

bool TUpDown::Reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if ((msg == WM_VSCROLL || msg == WM_HSCROLL) && LOWORD(wp) == SB_THUMBPOSITION) {
    Application().Guard([&] {
      if (OnChange) OnChange();
      Click();
    });
    result = 0;
    return true;
  }
  return TWinControl::Reflect(msg, wp, lp, result);
}

// ---------------------------------------------------------------- TProgressBar

namespace {
constexpr wchar_t kProgressClass[] = L"PloverProgress";
}

TProgressBar::TProgressBar(const TCreateArgs& args) : TWinControl(args) {
  RegisterOwnClass(kProgressClass, CS_HREDRAW | CS_VREDRAW);
  CreateHandle(kProgressClass, 0, 0, true);
}

void TProgressBar::SetRange(int min, int max) {
  FMin = min;
  FMax = max < min ? min : max;
  FPosition = std::clamp(FPosition, FMin, FMax);
  Invalidate();
  FRepaintPending = true;
}

int TProgressBar::FilledFor(int position) const {
  const int inner = std::max(0, ClientWidth() - 2);
  if (FMax <= FMin) return 0;
  return static_cast<int>(static_cast<long long>(inner) * (position - FMin) / (FMax - FMin));
}

int TProgressBar::FilledWidth() const { return FilledFor(FPosition); }

void TProgressBar::Changed(int oldPosition) {
  if (FilledFor(oldPosition) == FilledFor(FPosition)) return;
  Invalidate();
  FRepaintPending = true;
}

void TProgressBar::SetPosition(int position) {
  const int old = FPosition;
  FPosition = std::clamp(position, FMin, FMax);
  Changed(old);
}

void TProgressBar::StepIt() {
  long long next = static_cast<long long>(FPosition) + FStep;
  if (next > FMax && FMax > FMin) next = FMin + (next - FMin) % (FMax - FMin);
  SetPosition(static_cast<int>(next));
}

void TProgressBar::Update() {
  if (!FRepaintPending) return;
  FRepaintPending = false;
  if (Handle() && IsWindowVisible(Handle())) UpdateWindow(Handle());
}

void TProgressBar::Paint(HDC dc) {
  RECT r{0, 0, ClientWidth(), ClientHeight()};
  TBrushHandle owner;
  FillRect(dc, &r, ColorBrush(EffectiveColor(), owner));
  TBrushHandle frame(CreateSolidBrush(ColorToRGB(clGray)));
  FrameRect(dc, &r, frame.Get());
  const int filled = FilledWidth();
  if (filled > 0) {
    RECT bar{1, 1, 1 + filled, r.bottom - 1};
    TBrushHandle fill;
    FillRect(dc, &bar, ColorBrush(Enabled() ? clHighlight : clGrayText, fill));
  }
}

LRESULT TProgressBar::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      TPaintDC paint(Handle());
      FRepaintPending = false;
      Paint(paint.Get());
      return 0;
    }
    case WM_PRINTCLIENT:
      Paint(reinterpret_cast<HDC>(wp));
      return 0;
    case PBM_GETPOS:
      return FPosition;
    case PBM_GETRANGE:
      return wp ? FMin : FMax;
  }
  return TWinControl::WndProc(msg, wp, lp);
}

// ---------------------------------------------------------------- TDateTimePicker

TDateTimePicker::TDateTimePicker(const TCreateArgs& args, TKindDT kind) : TWinControl(args), FKind(kind) {
  const DWORD style = kind == dtkTime ? (DTS_TIMEFORMAT | DTS_UPDOWN) : DTS_SHORTDATEFORMAT;
  CreateHandle(DATETIMEPICK_CLASSW, style | WS_TABSTOP, 0, false);
}

TDateTime TDateTimePicker::DateTime() const {
  SYSTEMTIME st{};
  Perform(DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st));
  st.wMilliseconds = 0;
  double value = 0;
  SystemTimeToVariantTime(&st, &value);
  return value;
}

void TDateTimePicker::SetDateTime(TDateTime value) {
  SYSTEMTIME st{};
  if (!VariantTimeToSystemTime(value, &st)) return;
  Perform(DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
}

bool TDateTimePicker::Reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (msg == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lp)->code == DTN_DATETIMECHANGE) {
    if (OnChange) Application().Guard([&] { OnChange(); });
    result = 0;
    return true;
  }
  return TWinControl::Reflect(msg, wp, lp, result);
}

// ---------------------------------------------------------------- TPanel

TPanel::TPanel(const TCreateArgs& args) : TContainer(args) {
  RegisterOwnClass(kPanelClass);
  CreateHandle(kPanelClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, true);
}

// ---------------------------------------------------------------- accessibility

bool TUpDown::AccDescribe(long child, TAccNode& node) {
  if (!TWinControl::AccDescribe(child, node)) return false;
  HWND buddy = reinterpret_cast<HWND>(Perform(UDM_GETBUDDY));
  if (auto* edit = FromHandle(buddy)) node.Name = edit->AccName();
  return true;
}

std::wstring TProgressBar::AccValue() const {
  if (FMax <= FMin) return L"0%";
  const long long percent = (static_cast<long long>(FPosition) - FMin) * 100 / (static_cast<long long>(FMax) - FMin);
  return std::to_wstring(percent) + L"%";
}
