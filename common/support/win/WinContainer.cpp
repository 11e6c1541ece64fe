// Containers: the controls they hold, layout by Align and Anchors, and the
// painting and mouse handling of their graphic controls.
#include <algorithm>

#include "WinApp.h"
#include "WinContainer.h"
#include "WinGraphic.h"
#include "WinStdCtrls.h"

// ---------------------------------------------------------------- TContainer

TContainer::~TContainer() {
  // Controls that outlive their container (owned elsewhere) become orphans
  // instead of pointing at a dead parent.
  for (TControl* c : FControls) c->FParent = nullptr;
}

void TContainer::InsertControl(TControl* control) { FControls.push_back(control); }

void TContainer::RemoveControl(TControl* control) {
  if (FMouseDown == control) FMouseDown = nullptr;
  FControls.erase(std::remove(FControls.begin(), FControls.end(), control), FControls.end());
  if (!control->Handle() && Handle() && IsWindowVisible(Handle())) InvalidateRect(Handle(), &control->FBounds, TRUE);
}

void TContainer::EnableAlign() {
  if (FAlignLock > 0 && --FAlignLock == 0) Realign();
}

RECT TContainer::AlignRect() const { return RECT{0, 0, ClientWidth(), ClientHeight()}; }

void TContainer::Realign() {
  if (FAlignLock > 0 || !Handle() || IsIconic(Handle())) return;
  RECT free = AlignRect();
  for (TAlign align : {alTop, alBottom, alLeft, alRight, alClient}) {
    for (TControl* c : FControls) {
      if (c->FAlign != align || !c->FVisible) continue;
      RECT r = free;
      switch (align) {
        case alTop: r.bottom = free.top = std::min(free.bottom, free.top + c->Height()); break;
        case alBottom: r.top = free.bottom = std::max(free.top, free.bottom - c->Height()); break;
        case alLeft: r.right = free.left = std::min(free.right, free.left + c->Width()); break;
        case alRight: r.left = free.right = std::max(free.left, free.right - c->Width()); break;
        default: break;
      }
      c->PlaceBounds(r);
    }
  }
  const int width = ClientWidth(), height = ClientHeight();
  for (TControl* c : FControls) {
    if (c->FAlign != alNone) continue;
    RECT r = c->FAnchorRect;
    const int dw = width - c->FAnchorParent.cx, dh = height - c->FAnchorParent.cy;
    const TAnchors a = c->FAnchors;
    if ((a & akLeft) && (a & akRight))
      r.right += dw;
    else if (a & akRight)
      OffsetRect(&r, dw, 0);
    else if (!(a & akLeft))
      OffsetRect(&r, dw / 2, 0);
    if ((a & akTop) && (a & akBottom))
      r.bottom += dh;
    else if (a & akBottom)
      OffsetRect(&r, 0, dh);
    else if (!(a & akTop))
      OffsetRect(&r, 0, dh / 2);
    r.right = std::max(r.right, r.left);
    r.bottom = std::max(r.bottom, r.top);
    c->PlaceBounds(r);
  }
}

void TContainer::FontChanged() {
  TWinControl::FontChanged();
  for (TControl* c : FControls)
    if (c->ParentFont()) c->FontChanged();
}

void TContainer::PaintBackground(HDC dc, const RECT& clip) {
  TBrushHandle owner;
  FillRect(dc, &clip, ColorBrush(EffectiveColor(), owner));
}

void TContainer::PaintGraphics(HDC dc, const RECT& clip, bool screenPaint) {
  for (TControl* c : FControls) {
    auto* g = dynamic_cast<TGraphicControl*>(c);
    if (!g) continue;
    // A paint of the screen that covers the area asked for has answered it.
    RECT common;
    if (screenPaint && IntersectRect(&common, &g->FPendingPaint, &clip) && EqualRect(&common, &g->FPendingPaint))
      g->FPendingPaint = RECT{};
    if (!g->Visible() || !IntersectRect(&common, &g->FBounds, &clip)) continue;
    TSavedDC saved(dc);
    IntersectClipRect(dc, g->Left(), g->Top(), g->Left() + g->Width(), g->Top() + g->Height());
    g->Paint(dc);
  }
}

TGraphicControl* TContainer::GraphicAt(POINT pt) const {
  for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
    auto* g = dynamic_cast<TGraphicControl*>(*it);
    if (g && g->Visible() && g->Enabled() && PtInRect(&g->FBounds, pt)) return g;
  }
  return nullptr;
}

LRESULT TContainer::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE: {
      LRESULT r = TWinControl::WndProc(msg, wp, lp);
      if (wp != SIZE_MINIMIZED) {
        Realign();
        if (OnResize) Application().Guard([&] { OnResize(); });
      }
      return r;
    }
    case WM_ERASEBKGND:
      // Our own background is painted with the graphic controls in WM_PAINT,
      // without flicker; a transparent child (a flat tool bar) asks for what
      // lies behind it with a context of its own, and gets it painted.
      if (WindowFromDC(reinterpret_cast<HDC>(wp)) == Handle()) return 1;
      [[fallthrough]];
    case WM_PAINT:
    case WM_PRINTCLIENT: {
      auto paint = [&](HDC target, const RECT& clip, bool screenPaint) {
        if (IsRectEmpty(&clip)) return;
        const int w = clip.right - clip.left, h = clip.bottom - clip.top;
        TMemDC mem(CreateCompatibleDC(target));
        TBitmapHandle bmp(CreateCompatibleBitmap(target, w, h));
        TSelectObject sel(mem.Get(), bmp.Get());
        SetViewportOrgEx(mem.Get(), -clip.left, -clip.top, nullptr);
        PaintBackground(mem.Get(), clip);
        PaintGraphics(mem.Get(), clip, screenPaint);
        SetViewportOrgEx(mem.Get(), 0, 0, nullptr);
        BitBlt(target, clip.left, clip.top, w, h, mem.Get(), 0, 0, SRCCOPY);
      };
      if (msg == WM_PAINT) {
        TPaintDC dc(Handle());
        paint(dc.Get(), dc.Rect(), true);
      } else {
        // WM_PRINTCLIENT or a child's WM_ERASEBKGND.
        // Themed children ask for the background behind them this way, each
        // on a context clipped to itself: only that part is painted.
        const HDC target = reinterpret_cast<HDC>(wp);
        RECT r{0, 0, ClientWidth(), ClientHeight()}, clip;
        const int kind = GetClipBox(target, &clip);
        if (kind == NULLREGION) return 0;
        if (kind != ERROR && !IntersectRect(&r, &r, &clip)) return 0;
        paint(target, r, false);
      }
      return msg == WM_ERASEBKGND ? 1 : 0;
    }
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wp) == Handle() && LOWORD(lp) == HTCLIENT) {
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(Handle(), &pt);
        if (TGraphicControl* g = GraphicAt(pt); g && g->Cursor() == crHandPoint) {
          ::SetCursor(LoadCursorW(nullptr, IDC_HAND));
          return TRUE;
        }
      }
      break;
    case WM_LBUTTONDOWN:
      FMouseDown = GraphicAt(POINT{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))});
      break;
    case WM_LBUTTONUP: {
      TGraphicControl* g = GraphicAt(POINT{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))});
      const bool click = g && g == FMouseDown;
      FMouseDown = nullptr;
      if (click) Application().Guard([&] { g->Click(); });
      break;
    }
  }
  return TWinControl::WndProc(msg, wp, lp);
}

// ---------------------------------------------------------------- accessibility

namespace {

// A windowless control as an element of its container.
void DescribeGraphic(const TControl& c, HWND container, TAccNode& node) {
  if (dynamic_cast<const TLabel*>(&c)) {
    node.Role = ROLE_SYSTEM_STATICTEXT;
    node.Name = c.Text();
  } else if (dynamic_cast<const TBevel*>(&c)) {
    node.Role = ROLE_SYSTEM_SEPARATOR;
  } else {
    node.Role = ROLE_SYSTEM_GRAPHIC;
  }
  node.State = node.Role == ROLE_SYSTEM_STATICTEXT ? STATE_SYSTEM_READONLY : 0;
  if (!c.Visible()) node.State |= STATE_SYSTEM_INVISIBLE;
  if (!c.Enabled()) node.State |= STATE_SYSTEM_UNAVAILABLE;
  node.Screen = c.BoundsRect();
  MapWindowPoints(container, HWND_DESKTOP, reinterpret_cast<POINT*>(&node.Screen), 2);
}

bool NamesSomething(const TLabel* label) { return label && label->Visible() && !label->Text().empty(); }

}  // namespace

bool TContainer::AccDescribe(long child, TAccNode& node) {
  if (child == CHILDID_SELF) return TWinControl::AccDescribe(child, node);
  if (child < 1 || child > ControlCount()) return false;
  TControl& c = *Controls(child - 1);
  if (auto* w = dynamic_cast<TWinControl*>(&c)) return w->AccDescribe(CHILDID_SELF, node);
  DescribeGraphic(c, Handle(), node);
  return true;
}

IDispatch* TContainer::AccChildObject(long child) {
  if (child < 1 || child > ControlCount()) return nullptr;
  auto* w = dynamic_cast<TWinControl*>(Controls(child - 1));
  return w ? AccObjectOfWindow(w->Handle()) : nullptr;
}

long TContainer::AccFocus() {
  HWND focus = GetFocus();
  if (!focus || !Handle()) return -1;
  if (focus == Handle()) return CHILDID_SELF;
  for (int i = 0; i < ControlCount(); ++i) {
    HWND w = Controls(i)->Handle();
    if (w && (w == focus || IsChild(w, focus))) return i + 1;
  }
  return -1;
}

std::wstring TContainer::AccLabelOf(const TControl& control) const {
  const auto it = std::find(FControls.begin(), FControls.end(), &control);
  if (it == FControls.end()) return {};
  // Right before it, over bevels and the like, up to the next other control.
  for (auto p = it; p != FControls.begin();) {
    TControl* before = *--p;
    if (auto* label = dynamic_cast<TLabel*>(before)) {
      if (NamesSomething(label)) return label->Text();
      continue;
    }
    if (dynamic_cast<TWinControl*>(before)) break;
  }
  // The check or radio button right before it ("с" [number]).
  if (it != FControls.begin())
    if (auto* check = dynamic_cast<TCheckBox*>(*(it - 1))) return check->Text();
  // Beside it: the nearest label on its left whose middle is within its height.
  const RECT r = control.BoundsRect();
  const TLabel* best = nullptr;
  for (TControl* c : FControls) {
    auto* label = dynamic_cast<TLabel*>(c);
    if (!NamesSomething(label)) continue;
    const RECT l = label->BoundsRect();
    const int middle = (l.top + l.bottom) / 2;
    if (l.right > r.left || middle < r.top || middle > r.bottom) continue;
    if (!best || l.right > best->BoundsRect().right) best = label;
  }
  return best ? best->Text() : std::wstring();
}
