#include "WinControl.h"

#include <commctrl.h>

#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "WinApp.h"
#include "WinForm.h"
#include "untError.h"
#include "untText.h"

namespace {

// The control of each window of ours, and the system procedure of a
// subclassed system control. Kept in the process rather than in window
// properties or the common controls' subclass chain: under Wine every property
// read is a round trip to the window server, and a subclassed control paid
// three of them for each message it handled.
struct TWindowEntry {
  TWinControl* Control = nullptr;
  WNDPROC SystemProc = nullptr;
};

std::mutex GWindowsLock;
std::unordered_map<HWND, TWindowEntry>& Windows() {
  static auto* windows = new std::unordered_map<HWND, TWindowEntry>();
  return *windows;
}

TWindowEntry FindWindowEntry(HWND wnd) {
  std::lock_guard lock(GWindowsLock);
  auto it = Windows().find(wnd);
  return it == Windows().end() ? TWindowEntry{} : it->second;
}

void SetWindowEntry(HWND wnd, TWindowEntry entry) {
  std::lock_guard lock(GWindowsLock);
  Windows()[wnd] = entry;
}

void ForgetWindow(HWND wnd) {
  std::lock_guard lock(GWindowsLock);
  Windows().erase(wnd);
}

// Child window identifiers: unique in the process, clear of IDOK..IDHELP so
// that the dialog navigation's IDOK/IDCANCEL never hit a control by chance.
UINT NextControlId() {
  static UINT next = 1000;
  if (next >= 0xFF00) next = 1000;
  return next++;
}

RECT MakeRect(int l, int t, int w, int h) { return RECT{l, t, l + w, t + h}; }

}  // namespace

// ---------------------------------------------------------------- TControl

TControl::TControl(const TCreateArgs& args)
    : FText(args.Text), FName(args.Name), FParent(args.Parent), FAnchors(args.Anchors) {
  FBounds = MakeRect(args.Left, args.Top, args.Width, args.Height);
  if (FParent) {
    FParent->InsertControl(this);
    RecordAnchorOrigin();
  } else {
    FParentFont = false;
    FOwnFont = CreateFontFromDef(FFont);
  }
}

TControl::~TControl() {
  if (FParent) FParent->RemoveControl(this);
}

void TControl::SetParent(TContainer* parent) {
  if (parent == FParent) return;
  if (FParent) FParent->RemoveControl(this);
  FParent = parent;
  if (FParent) FParent->InsertControl(this);
  RecordAnchorOrigin();
  if (FParentFont) FontChanged();
  Invalidate();
}

TForm* TControl::ParentForm() {
  for (TControl* c = this; c; c = c->FParent)
    if (auto* form = dynamic_cast<TForm*>(c)) return form;
  return nullptr;
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (!Handle()) Invalidate();
  FBounds = MakeRect(left, top, std::max(width, 0), std::max(height, 0));
  RecordAnchorOrigin();
  ApplyBounds();
}

void TControl::PlaceBounds(const RECT& r) {
  if (EqualRect(&r, &FBounds)) return;
  if (!Handle()) Invalidate();
  FBounds = r;
  ApplyBounds();
}

void TControl::RecordAnchorOrigin() {
  FAnchorRect = FBounds;
  FAnchorParent = FParent ? SIZE{FParent->ClientWidth(), FParent->ClientHeight()} : SIZE{0, 0};
}

void TControl::SetAnchors(TAnchors anchors) {
  FAnchors = anchors;
  RecordAnchorOrigin();
}

void TControl::SetAlign(TAlign align) {
  if (align == FAlign) return;
  FAlign = align;
  if (FAlign == alNone) RecordAnchorOrigin();
  if (FParent) FParent->Realign();
}

void TControl::SetText(const std::wstring& text) {
  FText = text;
  TextChanged();
}

void TControl::SetEnabled(bool enabled) {
  if (enabled == FEnabled) return;
  FEnabled = enabled;
  EnabledChanged();
}

void TControl::SetVisible(bool visible) {
  if (visible == FVisible) return;
  FVisible = visible;
  VisibleChanged();
  if (FParent && FAlign != alNone) FParent->Realign();
}

bool TControl::Showing() const {
  for (const TControl* c = this; c; c = c->FParent)
    if (!c->FVisible) return false;
  return true;
}

const TFontDef& TControl::Font() const {
  return (FParentFont && FParent) ? FParent->Font() : FFont;
}

void TControl::SetFont(const TFontDef& font) {
  // The old font stays alive until every window that used it has the new one.
  TFontHandle old = std::move(FOwnFont);
  FFont = font;
  FParentFont = false;
  FOwnFont = CreateFontFromDef(FFont);
  FontChanged();
}

HFONT TControl::FontHandle() const {
  if (FParentFont && FParent) return FParent->FontHandle();
  return FOwnFont.Get();
}

void TControl::SetColor(TColor color) {
  FColor = color;
  Invalidate();
}

TColor TControl::EffectiveColor() const { return FColor != clDefault ? FColor : DefaultColor(); }

TColor TControl::DefaultColor() const { return FParent ? FParent->EffectiveColor() : clBtnFace; }

void TControl::Click() {
  if (OnClick) OnClick();
}

void TControl::Invalidate() {
  if (FParent && FParent->Handle() && IsWindowVisible(FParent->Handle()))
    InvalidateRect(FParent->Handle(), &FBounds, TRUE);
}

// ---------------------------------------------------------------- TGraphicControl

void TGraphicControl::Invalidate() { RequestPaint(); }

bool TGraphicControl::RequestPaint() {
  TContainer* parent = Parent();
  if (!parent || !parent->Handle() || !IsWindowVisible(parent->Handle())) return false;
  const RECT r = BoundsRect();
  if (EqualRect(&r, &FPendingPaint)) return false;
  InvalidateRect(parent->Handle(), &r, TRUE);
  FPendingPaint = r;
  return true;
}

// ---------------------------------------------------------------- TWinControl

TWinControl::~TWinControl() {
  if (HWND wnd = FHandle) {
    Detach();
    DestroyWindow(wnd);
  }
}

void TWinControl::SetParent(TContainer* parent) {
  if (parent == Parent()) return;
  if (FHandle && parent) ::SetParent(FHandle, parent->Handle());
  TControl::SetParent(parent);
}

TWinControl* TWinControl::FromHandle(HWND wnd) {
  return wnd ? FindWindowEntry(wnd).Control : nullptr;
}

void TWinControl::RegisterOwnClass(const wchar_t* name, UINT classStyle) {
  HINSTANCE inst = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(inst, name, &wc)) return;
  wc.style = classStyle;
  wc.lpfnWndProc = StaticWndProc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = LoadIconW(inst, MAKEINTRESOURCEW(1));
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
}

void TWinControl::CreateHandle(const wchar_t* className, DWORD style, DWORD exStyle, bool ownClass,
                               HWND parentOverride) {
  HWND parentWnd = parentOverride;
  HMENU id = nullptr;
  if (Parent()) {
    parentWnd = Parent()->Handle();
    style |= WS_CHILD | WS_CLIPSIBLINGS;
    id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(NextControlId()));
    if (Visible()) style |= WS_VISIBLE;
  }
  if (!Enabled()) style |= WS_DISABLED;
  HWND wnd = CreateWindowExW(exStyle, className, FText.c_str(), style, Left(), Top(), Width(), Height(),
                             parentWnd, id, GetModuleHandleW(nullptr), ownClass ? this : nullptr);
  if (!wnd) throw Exception(Format(L"Не удалось создать окно %ls (%ls)", Name().c_str(), className));
  if (!ownClass) {
    FHandle = wnd;
    FSystemProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TWinControl::SubclassProc)));
    SetWindowEntry(wnd, TWindowEntry{this, FSystemProc});
  }
  SendMessageW(wnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), FALSE);
}

LRESULT CALLBACK TWinControl::StaticWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  TWinControl* self;
  if (msg == WM_NCCREATE) {
    self = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->FHandle = wnd;
    SetWindowEntry(wnd, TWindowEntry{self, nullptr});
  } else {
    self = reinterpret_cast<TWinControl*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(wnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    self->Detach();
    return DefWindowProcW(wnd, msg, wp, lp);
  }
  return self->Dispatch(msg, wp, lp);
}

LRESULT CALLBACK TWinControl::SubclassProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  const TWindowEntry entry = FindWindowEntry(wnd);
  if (!entry.SystemProc) return DefWindowProcW(wnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    if (entry.Control) entry.Control->Detach();
    const LRESULT result = CallWindowProcW(entry.SystemProc, wnd, msg, wp, lp);
    ForgetWindow(wnd);
    return result;
  }
  // A control already gone whose window lives on, subclassed again by someone
  // else: everything goes straight to the system.
  if (!entry.Control) return CallWindowProcW(entry.SystemProc, wnd, msg, wp, lp);
  return entry.Control->Dispatch(msg, wp, lp);
}

LRESULT TWinControl::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
  // No exception may unwind through the system's window code.
  try {
    if (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST && HasHints()) RelayHint(msg, wp, lp);
    if (msg == WM_GETOBJECT && static_cast<DWORD>(lp) == static_cast<DWORD>(OBJID_CLIENT)) {
      if (const LRESULT object = FAcc.Answer(*this, wp)) return object;
    }
    for (auto& [id, handler] : FMessageHandlers) {
      if (id != msg) continue;
      LRESULT result = 0;
      auto h = handler;  // the handler may replace itself
      Application().Guard([&] { result = h(wp, lp); });
      return result;
    }
    return WndProc(msg, wp, lp);
  } catch (const std::exception& e) {
    Application().ShowException(e);
  } catch (...) {
    Application().ShowErrorText(L"Неизвестная ошибка");
  }
  return 0;
}

void TWinControl::Detach() {
  if (!FHandle) return;
  // Clients that still hold the object hear that it is gone.
  FAcc.Disconnect();
  if (!FSystemProc) {
    SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
    ForgetWindow(FHandle);
  } else if (GetWindowLongPtrW(FHandle, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&TWinControl::SubclassProc)) {
    SetWindowLongPtrW(FHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FSystemProc));
    ForgetWindow(FHandle);
  } else {
    // Another subclass sits above ours and may still call it.
    SetWindowEntry(FHandle, TWindowEntry{nullptr, FSystemProc});
  }
  FSystemProc = nullptr;
  FHandle = nullptr;
}

LRESULT TWinControl::DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) {
  if (FSystemProc) return CallWindowProcW(FSystemProc, FHandle, msg, wp, lp);
  return DefWindowProcW(FHandle, msg, wp, lp);
}

LRESULT TWinControl::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_HSCROLL:
    case WM_VSCROLL: {
      LRESULT result = 0;
      if (ReflectToChild(msg, wp, lp, result)) return result;
      break;
    }
    case WM_WINDOWPOSCHANGED: {
      // Keep the bounds true when the system or the user moved the window.
      const auto* pos = reinterpret_cast<const WINDOWPOS*>(lp);
      if ((pos->flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE) && !IsIconic(FHandle)) {
        RECT r;
        GetWindowRect(FHandle, &r);
        if (GetWindowLongW(FHandle, GWL_STYLE) & WS_CHILD)
          MapWindowPoints(HWND_DESKTOP, GetParent(FHandle), reinterpret_cast<POINT*>(&r), 2);
        SyncBounds(r);
      }
      break;
    }
  }
  return DefaultHandler(msg, wp, lp);
}

bool TWinControl::ReflectToChild(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  HWND child = nullptr;
  switch (msg) {
    case WM_NOTIFY:
      child = reinterpret_cast<const NMHDR*>(lp)->hwndFrom;
      break;
    case WM_DRAWITEM:
      if (wp) child = reinterpret_cast<const DRAWITEMSTRUCT*>(lp)->hwndItem;
      break;
    case WM_MEASUREITEM:
      if (wp) child = GetDlgItem(FHandle, static_cast<int>(wp));
      break;
    default:  // WM_COMMAND, WM_CTLCOLOR*, WM_HSCROLL, WM_VSCROLL
      child = reinterpret_cast<HWND>(lp);
      break;
  }
  TWinControl* control = FromHandle(child);
  if (!control || control == this) return false;
  return control->Reflect(msg, wp, lp, result);
}

bool TWinControl::Reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
      result = reinterpret_cast<LRESULT>(CtlColor(reinterpret_cast<HDC>(wp)));
      return result != 0;
  }
  return false;
}

HBRUSH TWinControl::CtlColor(HDC dc) {
  const TColor back = EffectiveColor();
  SetTextColor(dc, ColorToRGB(Enabled() ? Font().Color : clGrayText));
  SetBkColor(dc, ColorToRGB(back));
  return ColorBrush(back, FBrush);
}

void TWinControl::ApplyBounds() {
  if (FHandle)
    SetWindowPos(FHandle, nullptr, Left(), Top(), Width(), Height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWinControl::FontChanged() {
  if (FHandle)
    SendMessageW(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), IsWindowVisible(FHandle) ? TRUE : FALSE);
}

void TWinControl::VisibleChanged() {
  if (FHandle) ShowWindow(FHandle, Visible() ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::EnabledChanged() {
  if (FHandle) EnableWindow(FHandle, Enabled());
}

void TWinControl::TextChanged() {
  if (FHandle) SetWindowTextW(FHandle, FText.c_str());
}

std::wstring TWinControl::Text() const {
  if (!FHandle) return FText;
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(FHandle)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(FHandle, text.data(), static_cast<int>(text.size()))));
  return text;
}

int TWinControl::ClientWidth() const {
  RECT r{};
  if (FHandle) GetClientRect(FHandle, &r);
  return r.right;
}

int TWinControl::ClientHeight() const {
  RECT r{};
  if (FHandle) GetClientRect(FHandle, &r);
  return r.bottom;
}

bool TWinControl::TabStop() const {
  return FHandle && (GetWindowLongW(FHandle, GWL_STYLE) & WS_TABSTOP);
}

void TWinControl::SetTabStop(bool tabStop) {
  if (!FHandle) return;
  LONG style = GetWindowLongW(FHandle, GWL_STYLE);
  style = tabStop ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP);
  SetWindowLongW(FHandle, GWL_STYLE, style);
}

void TWinControl::SetFocus() {
  if (FHandle) ::SetFocus(FHandle);
}

bool TWinControl::Focused() const { return FHandle && GetFocus() == FHandle; }

// A hidden window is painted whole when it is shown; invalidating it before
// costs a round trip to the window server for nothing.
void TWinControl::Invalidate() {
  if (FHandle && IsWindowVisible(FHandle)) InvalidateRect(FHandle, nullptr, TRUE);
}

LRESULT TWinControl::Perform(UINT msg, WPARAM wp, LPARAM lp) const {
  return FHandle ? SendMessageW(FHandle, msg, wp, lp) : 0;
}

void TWinControl::SetMessageHandler(UINT msg, std::function<LRESULT(WPARAM, LPARAM)> handler) {
  auto it = std::find_if(FMessageHandlers.begin(), FMessageHandlers.end(),
                         [msg](const auto& p) { return p.first == msg; });
  if (it != FMessageHandlers.end()) FMessageHandlers.erase(it);
  if (handler) FMessageHandlers.emplace_back(msg, std::move(handler));
}

// ---------------------------------------------------------------- accessibility

std::wstring TWinControl::AccName() const {
  if (!AccLabel().empty()) return AccLabel();
  if (AccNamedByLabel()) {
    if (TContainer* parent = Parent()) return parent->AccLabelOf(*this);
    return {};
  }
  // A caption's "&" marks its access key; it is not read out.
  std::wstring name;
  const std::wstring text = Text();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'&' && i + 1 < text.size()) ++i;
    name.push_back(text[i]);
  }
  return name;
}

bool TWinControl::AccDescribe(long child, TAccNode& node) {
  if (child != CHILDID_SELF || !FHandle) return false;
  node.Role = AccRole();
  node.Name = AccName();
  node.Value = AccValue();
  node.DefaultAction = AccActionName();
  long state = AccExtraState();
  if (!IsWindowVisible(FHandle)) state |= STATE_SYSTEM_INVISIBLE;
  if (!IsWindowEnabled(FHandle)) state |= STATE_SYSTEM_UNAVAILABLE;
  if (TabStop()) state |= STATE_SYSTEM_FOCUSABLE;
  if (GetFocus() == FHandle) state |= STATE_SYSTEM_FOCUSED;
  node.State = state;
  GetWindowRect(FHandle, &node.Screen);
  return true;
}

long TWinControl::AccFocus() { return GetFocus() == FHandle ? CHILDID_SELF : -1; }

IDispatch* TWinControl::AccParent() { return AccObjectOfWindow(FHandle ? GetParent(FHandle) : nullptr); }

bool TWinControl::AccDoDefaultAction(long child) {
  if (child != CHILDID_SELF || AccActionName().empty()) return false;
  Application().Guard([this] { Click(); });
  return true;
}
