#include "WinForm.h"

#include <commctrl.h>

#include <algorithm>

#include "WinApp.h"
#include "WinStdCtrls.h"

namespace {

constexpr wchar_t kFormClass[] = L"PloverForm";

struct TStyles {
  DWORD Style, ExStyle;
};

TStyles FormStyles(TFormBorderStyle border, TBorderIcons icons, bool child) {
  DWORD style = WS_CLIPCHILDREN;
  DWORD ex = WS_EX_CONTROLPARENT;
  const DWORD sysMenu = (icons & biSystemMenu) ? WS_SYSMENU : 0;
  switch (border) {
    case bsNone: break;
    case bsSingle:
    case bsSizeable:
      style |= WS_CAPTION | sysMenu;
      if (sysMenu && (icons & biMinimize)) style |= WS_MINIMIZEBOX;
      if (sysMenu && (icons & biMaximize)) style |= WS_MAXIMIZEBOX;
      if (border == bsSizeable) style |= WS_THICKFRAME;
      break;
    case bsDialog:
      style |= WS_CAPTION | sysMenu;
      ex |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
      break;
  }
  style |= child ? (WS_CHILD | WS_CLIPSIBLINGS) : (border == bsNone || border == bsDialog ? WS_POPUP : WS_OVERLAPPED);
  return {style, ex};
}

SIZE OuterSize(const TStyles& s, int clientWidth, int clientHeight) {
  RECT r{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&r, s.Style, FALSE, s.ExStyle);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

struct TDisableOthers {
  HWND Self;
  std::vector<HWND>* List;
};

// A named callback: it needs the system's calling convention in a 32-bit build.
BOOL CALLBACK DisableOther(HWND wnd, LPARAM p) {
  auto* e = reinterpret_cast<TDisableOthers*>(p);
  if (wnd != e->Self && IsWindowVisible(wnd) && IsWindowEnabled(wnd)) {
    EnableWindow(wnd, FALSE);
    e->List->push_back(wnd);
  }
  return TRUE;
}

TCreateArgs FormArgs(const TFormDef& def) {
  const TStyles s = FormStyles(def.BorderStyle, def.BorderIcons, false);
  SIZE size = def.Width > 0 ? SIZE{ScaleToScreen(def.Width), ScaleToScreen(def.Height)}
                            : OuterSize(s, ScaleToScreen(def.ClientWidth), ScaleToScreen(def.ClientHeight));
  int left = ScaleToScreen(def.Left), top = ScaleToScreen(def.Top);
  if (def.Position != poDesigned) {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    left = work.left + std::max(0L, (work.right - work.left - size.cx) / 2);
    top = work.top + std::max(0L, (work.bottom - work.top - size.cy) / 2);
  }
  TCreateArgs args;
  args.Text = def.Caption;
  args.Left = left;
  args.Top = top;
  args.Width = size.cx;
  args.Height = size.cy;
  return args;
}

}  // namespace

TFontDef TForm::ScreenFont(const TFormDef& def) {
  TFontDef font = def.Font;
  font.Height = ScaleToScreen(font.Height);
  return font;
}

TForm::TForm(const TFormDef& def, std::span<const TCtlDef> layout) : TForm(def, layout, ScreenFont(def)) {}

TForm::TForm(const TFormDef& def, std::span<const TCtlDef> layout, const TFontDef& screenFont)
    : TContainer(FormArgs(def)),
      FBorderStyle(def.BorderStyle),
      FBorderIcons(def.BorderIcons),
      FPosition(def.Position) {
  RegisterOwnClass(kFormClass);
  InitVisible(false);
  SetColor(def.Color);
  SetFont(screenFont);
  const TStyles s = FormStyles(FBorderStyle, FBorderIcons, false);
  CreateHandle(kFormClass, s.Style, s.ExStyle, true);
  // The outer size was computed before the window existed; make the client
  // area exactly the stored one now that the real frame is known.
  if (def.Width <= 0) SetClientSize(ScaleToScreen(def.ClientWidth), ScaleToScreen(def.ClientHeight));
  DisableAlign();
  try {
    BuildLayout(*this, layout, FComponents);
  } catch (...) {
    EnableAlign();
    throw;
  }
  EnableAlign();
}

TForm::~TForm() {
  if (Application().MainForm() == this) Application().SetMainForm(nullptr);
  if (FHintWindow) DestroyWindow(FHintWindow);
  for (auto& [id, handler] : FTimers) KillTimer(Handle(), id);
  // Controls go in reverse creation order: those inside a container first.
  while (!FComponents.empty()) FComponents.pop_back();
}

void TForm::ApplyStyles(int clientWidth, int clientHeight) {
  const bool child = Parent() != nullptr;
  const TStyles s = FormStyles(FBorderStyle, FBorderIcons, child);
  const DWORD keep = GetWindowLongW(Handle(), GWL_STYLE) & (WS_VISIBLE | WS_DISABLED);
  SetWindowLongW(Handle(), GWL_STYLE, static_cast<LONG>(s.Style | keep));
  SetWindowLongW(Handle(), GWL_EXSTYLE, static_cast<LONG>(s.ExStyle));
  const SIZE size = OuterSize(s, clientWidth, clientHeight);
  SetWindowPos(Handle(), nullptr, 0, 0, size.cx, size.cy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TForm::SetText(const std::wstring& text) {
  if (text != FText) TContainer::SetText(text);
}

void TForm::SetBorderStyle(TFormBorderStyle style) {
  if (style == FBorderStyle) return;
  const int w = ClientWidth(), h = ClientHeight();
  FBorderStyle = style;
  ApplyStyles(w, h);
}

void TForm::SetBorderIcons(TBorderIcons icons) {
  const int w = ClientWidth(), h = ClientHeight();
  FBorderIcons = icons;
  ApplyStyles(w, h);
}

void TForm::SetClientSize(int width, int height) {
  RECT now{};
  GetClientRect(Handle(), &now);
  RECT outer{};
  GetWindowRect(Handle(), &outer);
  // The menu-less frame: outer minus client, as the system really draws it.
  const int fw = (outer.right - outer.left) - now.right, fh = (outer.bottom - outer.top) - now.bottom;
  SetWindowPos(Handle(), nullptr, 0, 0, width + fw, height + fh, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::SetMinSize(int width, int height) {
  FMinWidth = width;
  FMinHeight = height;
}

void TForm::SetParent(TContainer* parent) {
  if (parent == Parent()) return;
  const int w = ClientWidth(), h = ClientHeight();
  TControl::SetParent(parent);
  ::SetParent(Handle(), parent ? parent->Handle() : nullptr);
  ApplyStyles(w, h);
  if (parent) SetBounds(0, 0, Width(), Height());
}

void TForm::SetOwnerWindow(HWND owner) {
  SetWindowLongPtrW(Handle(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
}

void TForm::PlaceBeside(HWND other) {
  RECT o{}, me{}, work{};
  GetWindowRect(other, &o);
  GetWindowRect(Handle(), &me);
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int width = me.right - me.left, height = me.bottom - me.top;
  int left = o.right;
  if (left + width > work.right)
    left = o.left - width >= work.left ? o.left - width : std::max<int>(work.left, work.right - width);
  const int top = std::max<int>(work.top, std::min<int>(o.top, work.bottom - height));
  SetWindowPos(Handle(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::VisibleChanged() {
  if (Visible()) {
    if (OnShow) OnShow();
    if (Parent()) {
      ShowWindow(Handle(), SW_SHOWNA);
    } else {
      ShowWindow(Handle(), SW_SHOWNORMAL);
      SetForegroundWindow(Handle());
      FocusFirst();
    }
  } else {
    if (OnHide) OnHide();
    ShowWindow(Handle(), SW_HIDE);
  }
}

void TForm::FocusFirst() {
  if (FActiveControl && FActiveControl->Handle() && IsWindowVisible(FActiveControl->Handle())) {
    FActiveControl->SetFocus();
    return;
  }
  if (HWND first = GetNextDlgTabItem(Handle(), nullptr, FALSE)) ::SetFocus(first);
}

void TForm::SetActiveControl(TWinControl* control) {
  FActiveControl = control;
  if (control && Showing()) control->SetFocus();
}

TButton* TForm::DefaultButton() const {
  for (auto& c : FComponents)
    if (auto* b = dynamic_cast<TButton*>(c.get()); b && b->Default()) return b;
  return nullptr;
}

TButton* TForm::CancelButton() const {
  for (auto& c : FComponents)
    if (auto* b = dynamic_cast<TButton*>(c.get()); b && b->Cancel()) return b;
  return nullptr;
}

bool TForm::PressButton(TButton* button) {
  if (!button || !button->Showing() || !button->Enabled()) return false;
  Application().Guard([&] { button->Click(); });
  return true;
}

TControl* TForm::FindControl(std::wstring_view name) const {
  for (auto& c : FComponents)
    if (c->Name() == name) return c.get();
  return nullptr;
}

void TForm::Close() {
  if (FModal) {
    FModalResult = mrCancel;
    return;
  }
  TCloseAction action = caHide;
  if (OnClose) OnClose(action);
  if (action == caNone) return;
  if (Application().MainForm() == this) {
    Application().Terminate();
    Hide();
  } else if (action == caMinimize) {
    ShowWindow(Handle(), SW_MINIMIZE);
  } else {
    Hide();
  }
}

TModalResult TForm::ShowModal() {
  if (Visible() || FModal) throw Exception(L"Нельзя сделать видимое окно модальным");
  HWND active = GetActiveWindow();
  // Every other window of this thread is disabled while the form is up.
  std::vector<HWND> disabled;
  TDisableOthers en{Handle(), &disabled};
  EnumThreadWindows(GetCurrentThreadId(), DisableOther, reinterpret_cast<LPARAM>(&en));
  struct TRestore {
    std::vector<HWND>& List;
    ~TRestore() {
      for (HWND w : List)
        if (IsWindow(w)) EnableWindow(w, TRUE);
    }
  } restore{disabled};

  FModal = true;
  FModalResult = mrNone;
  try {
    if (FPosition == poOwnerFormCenter) {
      if (HWND owner = GetWindow(Handle(), GW_OWNER)) {
        RECT o, me;
        GetWindowRect(owner, &o);
        GetWindowRect(Handle(), &me);
        SetWindowPos(Handle(), nullptr, (o.left + o.right - (me.right - me.left)) / 2,
                     (o.top + o.bottom - (me.bottom - me.top)) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
      }
    }
    Show();
    if (Application().OnModalStart) Application().Guard([&] { Application().OnModalStart(*this); });
    for (;;) {
      if (FModalResult != mrNone) {
        TCloseAction action = caHide;
        if (OnClose) Application().Guard([&] { OnClose(action); });
        if (action != caNone) break;
        FModalResult = mrNone;
      }
      if (!Handle()) break;
      if (!Application().HandleMessage()) {
        FModalResult = mrCancel;
        break;
      }
    }
  } catch (...) {
    FModal = false;
    throw;
  }
  // Enable the owner first, so that activation goes back to it, not elsewhere.
  for (HWND w : disabled)
    if (IsWindow(w)) EnableWindow(w, TRUE);
  disabled.clear();
  if (Handle()) Hide();
  if (active && IsWindow(active)) SetActiveWindow(active);
  FModal = false;
  return FModalResult;
}

void TForm::StartTimer(UINT id, UINT milliseconds, std::function<void()> handler) {
  StopTimer(id);
  FTimers.emplace_back(id, std::move(handler));
  ::SetTimer(Handle(), id, milliseconds, nullptr);
}

void TForm::StopTimer(UINT id) {
  auto it = std::find_if(FTimers.begin(), FTimers.end(), [id](const auto& t) { return t.first == id; });
  if (it == FTimers.end()) return;
  KillTimer(Handle(), id);
  FTimers.erase(it);
}

LRESULT TForm::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CLOSE:
      OnCloseRequest();
      return 0;
    case WM_COMMAND:
      if (lp == 0 && HIWORD(wp) == 0 && OnDialogKey(LOWORD(wp))) return 0;
      break;
    case DM_GETDEFID:
      return OnGetDefId();
    case WM_ACTIVATE:
      if (OnActivate(LOWORD(wp) != WA_INACTIVE, HIWORD(wp) != 0)) return 0;
      break;
    case WM_GETMINMAXINFO:
      if (OnGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lp))) return 0;
      break;
    case WM_TIMER:
      if (OnTimer(static_cast<UINT>(wp))) return 0;
      break;
    case WM_DESTROY:
      OnDestroy();
      break;
  }
  return TContainer::WndProc(msg, wp, lp);
}

void TForm::OnCloseRequest() {
  Application().Guard([&] { Close(); });
}

// Enter and Esc from the dialog navigation, when no control sent them.
bool TForm::OnDialogKey(WORD id) {
  if (id == IDCANCEL) {
    PressButton(CancelButton());
    return true;
  }
  if (id == IDOK) {
    PressButton(DefaultButton());
    return true;
  }
  return false;
}

// A focused push button is the one Enter presses; else the default button.
LRESULT TForm::OnGetDefId() {
  HWND focus = GetFocus();
  if (dynamic_cast<TButton*>(FromHandle(focus)) && IsChild(Handle(), focus))
    return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
  TButton* def = DefaultButton();
  if (def && def->Handle() && def->Showing() && def->Enabled())
    return MAKELRESULT(GetDlgCtrlID(def->Handle()), DC_HASDEFID);
  return 0;
}

// The focus goes back to the control that had it when the form was left.
bool TForm::OnActivate(bool active, bool minimized) {
  if (!active) {
    HWND focus = GetFocus();
    if (focus && IsChild(Handle(), focus)) FLastFocus = focus;
    return false;
  }
  if (minimized) return false;
  if (FLastFocus && IsWindow(FLastFocus) && IsChild(Handle(), FLastFocus) && IsWindowEnabled(FLastFocus))
    ::SetFocus(FLastFocus);
  else
    FocusFirst();
  return true;
}

bool TForm::OnGetMinMaxInfo(MINMAXINFO& info) {
  if (FMinWidth <= 0 && FMinHeight <= 0) return false;
  info.ptMinTrackSize.x = std::max<LONG>(info.ptMinTrackSize.x, FMinWidth);
  info.ptMinTrackSize.y = std::max<LONG>(info.ptMinTrackSize.y, FMinHeight);
  return true;
}

bool TForm::OnTimer(UINT id) {
  for (auto& [timer, handler] : FTimers) {
    if (timer != id) continue;
    auto h = handler;  // the handler may stop its own timer
    Application().Guard([&] { h(); });
    return true;
  }
  return false;
}

void TForm::OnDestroy() {
  if (Application().MainForm() == this) PostQuitMessage(0);
}
