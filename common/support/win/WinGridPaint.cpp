// The grid on screen: geometry, painting, mouse and scroll bars.
#include <windowsx.h>

#include <algorithm>

#include "WinApp.h"
#include "WinGrid.h"

namespace {
constexpr int kSizingZone = 3;  // pixels either side of a column border
}

std::vector<TStringGrid::TSpan> TStringGrid::VisibleCols() const {
  RECT client{};
  GetClientRect(Handle(), &client);
  std::vector<TSpan> cols;
  int x = 0;
  for (int c = 0; c < std::min(FFixedCols, FColCount); ++c) {
    cols.push_back({c, x, FColWidths[static_cast<size_t>(c)]});
    x += FColWidths[static_cast<size_t>(c)] + 1;
  }
  for (int c = std::max(FLeftCol, FFixedCols); c < FColCount && x < client.right; ++c) {
    cols.push_back({c, x, FColWidths[static_cast<size_t>(c)]});
    x += FColWidths[static_cast<size_t>(c)] + 1;
  }
  return cols;
}

std::vector<TStringGrid::TSpan> TStringGrid::VisibleRows() const {
  RECT client{};
  GetClientRect(Handle(), &client);
  std::vector<TSpan> rows;
  int y = 0;
  for (int r = 0; r < std::min(FFixedRows, FRowCount); ++r) {
    rows.push_back({r, y, FRowHeight});
    y += FRowHeight + 1;
  }
  for (int r = std::max(FTopRow, FFixedRows); r < FRowCount && y < client.bottom; ++r) {
    rows.push_back({r, y, FRowHeight});
    y += FRowHeight + 1;
  }
  return rows;
}

RECT TStringGrid::CellRect(int col, int row) const {
  const auto cols = VisibleCols();
  const auto rows = VisibleRows();
  auto c = std::find_if(cols.begin(), cols.end(), [col](const TSpan& s) { return s.Index == col; });
  auto r = std::find_if(rows.begin(), rows.end(), [row](const TSpan& s) { return s.Index == row; });
  if (c == cols.end() || r == rows.end()) return RECT{};
  return RECT{c->Start, r->Start, c->Start + c->Size, r->Start + r->Size};
}

bool TStringGrid::MouseToCell(int x, int y, int& col, int& row) const {
  const auto cols = VisibleCols();
  const auto rows = VisibleRows();
  auto c = std::find_if(cols.begin(), cols.end(), [x](const TSpan& s) { return x >= s.Start && x <= s.Start + s.Size; });
  auto r = std::find_if(rows.begin(), rows.end(), [y](const TSpan& s) { return y >= s.Start && y <= s.Start + s.Size; });
  if (c == cols.end() || r == rows.end()) return false;
  col = c->Index;
  row = r->Index;
  return true;
}

int TStringGrid::SizingColAt(int x, int y) const {
  if (!(FOptions & goColSizing) || y >= FFixedRows * (FRowHeight + 1)) return -1;
  for (const TSpan& c : VisibleCols()) {
    const int border = c.Start + c.Size;
    if (x >= border - kSizingZone && x <= border + kSizingZone) return c.Index;
  }
  return -1;
}

void TStringGrid::PaintCell(HDC dc, int col, int row, const RECT& rect, int textTop) {
  const bool fixed = col < FFixedCols || row < FFixedRows;
  const bool selected = !fixed && IsCellSelected(col, row);
  const TColor back = fixed ? clBtnFace : (selected ? clHighlight : EffectiveColor());
  SetBkColor(dc, ColorToRGB(back));
  SetTextColor(dc, ColorToRGB(!Enabled() ? clGrayText : selected ? clHighlightText : Font().Color));
  const std::wstring text = FSource->CellText(col, row);
  // One call fills the cell and draws its text clipped to it: a screen of a
  // large table is hundreds of cells.
  ExtTextOutW(dc, rect.left + 2, rect.top + textTop, ETO_OPAQUE | ETO_CLIPPED, &rect, text.c_str(),
              static_cast<UINT>(text.size()), nullptr);
  if (fixed) {
    RECT edge = rect;
    DrawEdge(dc, &edge, BDR_RAISEDINNER, BF_RECT);
  }
}

void TStringGrid::Paint(HDC dc, const RECT& clip) {
  TBrushHandle owner;
  FillRect(dc, &clip, ColorBrush(EffectiveColor(), owner));
  const auto cols = VisibleCols();
  const auto rows = VisibleRows();
  TSelectObject font(dc, FontHandle());
  SetBkMode(dc, OPAQUE);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  const int textTop = std::max(0, (FRowHeight - static_cast<int>(tm.tmHeight)) / 2);
  for (const TSpan& r : rows) {
    for (const TSpan& c : cols) {
      const RECT cell{c.Start, r.Start, c.Start + c.Size, r.Start + r.Size};
      RECT common;
      if (!IntersectRect(&common, &cell, &clip)) continue;
      PaintCell(dc, c.Index, r.Index, cell, textTop);
    }
  }
  if (cols.empty() || rows.empty()) return;
  // The lines between the cells, in the fixed ones and in the others as the
  // options say.
  TPenHandle pen(CreatePen(PS_SOLID, 1, ColorToRGB(clSilver)));
  TSelectObject selPen(dc, pen.Get());
  const int right = cols.back().Start + cols.back().Size + 1;
  const int bottom = rows.back().Start + rows.back().Size + 1;
  int fixedRight = 0, fixedBottom = 0;
  for (const TSpan& c : cols)
    if (c.Index < FFixedCols) fixedRight = c.Start + c.Size + 1;
  for (const TSpan& r : rows)
    if (r.Index < FFixedRows) fixedBottom = r.Start + r.Size + 1;
  auto line = [dc](int x0, int y0, int x1, int y1) {
    if (x1 <= x0 && y1 <= y0) return;
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
  };
  for (const TSpan& c : cols) {
    const int x = c.Start + c.Size;
    if (c.Index < FFixedCols) {
      if (FOptions & goFixedVertLine) line(x, 0, x, bottom);
    } else {
      if (FOptions & goFixedVertLine) line(x, 0, x, fixedBottom);
      if (FOptions & goVertLine) line(x, fixedBottom, x, bottom);
    }
  }
  for (const TSpan& r : rows) {
    const int y = r.Start + r.Size;
    if (r.Index < FFixedRows) {
      if (FOptions & goFixedHorzLine) line(0, y, right, y);
    } else {
      if (FOptions & goFixedHorzLine) line(0, y, fixedRight, y);
      if (FOptions & goHorzLine) line(fixedRight, y, right, y);
    }
  }
}

LRESULT TStringGrid::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      TPaintDC paint(Handle());
      const RECT& clip = paint.Rect();
      if (IsRectEmpty(&clip)) return 0;
      const int w = clip.right - clip.left, h = clip.bottom - clip.top;
      TMemDC mem(CreateCompatibleDC(paint.Get()));
      TBitmapHandle bmp(CreateCompatibleBitmap(paint.Get(), w, h));
      TSelectObject sel(mem.Get(), bmp.Get());
      SetViewportOrgEx(mem.Get(), -clip.left, -clip.top, nullptr);
      Paint(mem.Get(), clip);
      SetViewportOrgEx(mem.Get(), 0, 0, nullptr);
      BitBlt(paint.Get(), clip.left, clip.top, w, h, mem.Get(), 0, 0, SRCCOPY);
      return 0;
    }
    case WM_PRINTCLIENT: {
      RECT client{};
      GetClientRect(Handle(), &client);
      Paint(reinterpret_cast<HDC>(wp), client);
      return 0;
    }
    case WM_SIZE:
      ScrollTo(FTopRow, FLeftCol);
      break;
    case WM_VSCROLL:
    case WM_HSCROLL: {
      if (lp) break;  // a scroll bar control of a child, not ours
      const int bar = msg == WM_VSCROLL ? SB_VERT : SB_HORZ;
      SCROLLINFO si{};
      si.cbSize = sizeof si;
      si.fMask = SIF_ALL;
      GetScrollInfo(Handle(), bar, &si);
      int pos = si.nPos;
      const int page = std::max(1, static_cast<int>(si.nPage));
      switch (LOWORD(wp)) {
        case SB_LINEUP: --pos; break;
        case SB_LINEDOWN: ++pos; break;
        case SB_PAGEUP: pos -= page; break;
        case SB_PAGEDOWN: pos += page; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: pos = si.nTrackPos; break;
        case SB_TOP: pos = si.nMin; break;
        case SB_BOTTOM: pos = si.nMax; break;
        default: return 0;
      }
      if (bar == SB_VERT)
        ScrollTo(pos + FFixedRows, FLeftCol);
      else
        ScrollTo(FTopRow, pos + FFixedCols);
      return 0;
    }
    case WM_MOUSEWHEEL: {
      const int steps = GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA;
      ScrollTo(FTopRow - 3 * steps, FLeftCol);
      return 0;
    }
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
      if (KeyDown(wp)) return 0;
      break;
    case WM_SETFOCUS:
      if (EditorVisible()) FEditor->Focus();
      Invalidate();
      return 0;
    case WM_KILLFOCUS:
      Invalidate();
      break;
    case WM_COMMAND:
      if (FEditor && reinterpret_cast<HWND>(lp) == FEditor->Handle()) {
        if (HIWORD(wp) == EN_CHANGE) EditorChanged();
        return 0;
      }
      break;
    case WM_SETCURSOR:
      if (LOWORD(lp) == HTCLIENT && reinterpret_cast<HWND>(wp) == Handle()) {
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(Handle(), &pt);
        if (FSizingCol >= 0 || SizingColAt(pt.x, pt.y) >= 0) {
          ::SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
          return TRUE;
        }
      }
      break;
    case WM_LBUTTONDOWN: {
      const int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
      if (GetFocus() != Handle() && !(FEditor && FEditor->Focused())) ::SetFocus(Handle());
      if (int c = SizingColAt(x, y); c >= 0) {
        FSizingCol = c;
        FSizingStartX = x;
        FSizingStartWidth = FColWidths[static_cast<size_t>(c)];
        SetCapture(Handle());
        return 0;
      }
      int col, row;
      if (MouseToCell(x, y, col, row) && col >= FFixedCols && row >= FFixedRows) {
        MoveTo(col, row, (wp & MK_SHIFT) != 0);
        if (FOptions & goRangeSelect) {
          FSelecting = true;
          SetCapture(Handle());
        }
      }
      return 0;
    }
    case WM_MOUSEMOVE:
      if (FSizingCol >= 0) {
        SetColWidths(FSizingCol, FSizingStartWidth + GET_X_LPARAM(lp) - FSizingStartX);
        UpdateWindow(Handle());
        return 0;
      }
      if (FSelecting) {
        int col, row;
        if (MouseToCell(GET_X_LPARAM(lp), GET_Y_LPARAM(lp), col, row)) MoveTo(col, row, true);
        return 0;
      }
      break;
    case WM_LBUTTONUP:
      if (FSelecting) {
        FSelecting = false;
        ReleaseCapture();
        return 0;
      }
      if (FSizingCol >= 0) {
        FSizingCol = -1;
        ReleaseCapture();
        if (OnColWidthsChanged) Application().Guard([&] { OnColWidthsChanged(); });
        return 0;
      }
      break;
    case WM_CAPTURECHANGED:
      FSizingCol = -1;
      FSelecting = false;
      break;
  }
  return TWinControl::WndProc(msg, wp, lp);
}
