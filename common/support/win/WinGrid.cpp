#include "WinGrid.h"

#include <commctrl.h>

#include <algorithm>

#include "WinApp.h"

namespace {
constexpr wchar_t kGridClass[] = L"PloverGrid";
}

std::wstring TStringGrid::TOwnCells::CellText(int col, int row) {
  if (row < 0 || row >= static_cast<int>(Rows.size())) return {};
  const auto& cells = Rows[static_cast<size_t>(row)];
  return col >= 0 && col < static_cast<int>(cells.size()) ? cells[static_cast<size_t>(col)] : std::wstring();
}

void TStringGrid::TOwnCells::SetCellText(int col, int row, const std::wstring& text) {
  if (row < 0 || row >= static_cast<int>(Rows.size())) return;
  auto& cells = Rows[static_cast<size_t>(row)];
  if (col >= 0 && col < static_cast<int>(cells.size())) cells[static_cast<size_t>(col)] = text;
}

TStringGrid::TStringGrid(const TCreateArgs& args) : TWinControl(args) {
  FColWidths.assign(static_cast<size_t>(FColCount), FDefaultColWidth);
  FOwnCells.Rows.assign(static_cast<size_t>(FRowCount), std::vector<std::wstring>(static_cast<size_t>(FColCount)));
  RegisterOwnClass(kGridClass, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW);
  // No scroll bar styles: SetScrollInfo shows a bar when its range needs one, and
  // a grid that fits is spared hiding both again.
  CreateHandle(kGridClass, WS_TABSTOP | WS_CLIPCHILDREN, WS_EX_CLIENTEDGE, true);
  FAccLink = std::make_shared<TStringGrid*>(this);
  FEditor = std::make_unique<TGridEditor>(Handle(), FontHandle(), [this](WPARAM key) { KeyDown(key); });
  UpdateScrollBars();
}

TStringGrid::~TStringGrid() {
  // Row objects a client still holds find the grid gone.
  *FAccLink = nullptr;
}

void TStringGrid::SetColCount(int count) {
  FColCount = std::max(count, 0);
  FColWidths.resize(static_cast<size_t>(FColCount), FDefaultColWidth);
  for (auto& row : FOwnCells.Rows) row.resize(static_cast<size_t>(FColCount));
  ClampCurrent();
  ScrollTo(FTopRow, FLeftCol);
}

void TStringGrid::SetRowCount(int count) {
  FRowCount = std::max(count, 0);
  if (FSource == &FOwnCells)
    FOwnCells.Rows.resize(static_cast<size_t>(FRowCount), std::vector<std::wstring>(static_cast<size_t>(FColCount)));
  ClampCurrent();
  ScrollTo(FTopRow, FLeftCol);
}

// The first scrolling column or row is shown right after the fixed ones: a
// grid without fixed columns starts at its column 0.
void TStringGrid::SetFixedCols(int count) {
  FFixedCols = std::clamp(count, 0, FColCount);
  ClampCurrent();
  ScrollTo(FTopRow, FFixedCols);
}

void TStringGrid::SetFixedRows(int count) {
  FFixedRows = std::clamp(count, 0, FRowCount);
  ClampCurrent();
  ScrollTo(FFixedRows, FLeftCol);
}

void TStringGrid::SetDefaultColWidth(int width) {
  FDefaultColWidth = std::max(width, 0);
  std::fill(FColWidths.begin(), FColWidths.end(), FDefaultColWidth);
  ScrollTo(FTopRow, FLeftCol);
}

void TStringGrid::SetDefaultRowHeight(int height) {
  FRowHeight = std::max(height, 1);
  ScrollTo(FTopRow, FLeftCol);
}

void TStringGrid::SetColWidths(int col, int width) {
  if (col < 0 || col >= FColCount) return;
  FColWidths[static_cast<size_t>(col)] = std::max(width, 0);
  UpdateScrollBars();
  Invalidate();
  UpdateEditor();
}

void TStringGrid::SetOptions(unsigned options) {
  FOptions = options;
  Invalidate();
  UpdateEditor();
}

std::wstring TStringGrid::Cells(int col, int row) const {
  if (col < 0 || col >= FColCount || row < 0 || row >= FRowCount) return {};
  return FSource->CellText(col, row);
}

void TStringGrid::SetCells(int col, int row, const std::wstring& text) {
  if (col < 0 || col >= FColCount || row < 0 || row >= FRowCount) return;
  FSource->SetCellText(col, row, text);
  const RECT r = CellRect(col, row);
  if (!IsRectEmpty(&r) && IsWindowVisible(Handle())) InvalidateRect(Handle(), &r, FALSE);
  if (col == FCol && row == FRow) UpdateEditor();
}

void TStringGrid::SetSource(TGridSource* source) {
  FSource = source ? source : &FOwnCells;
  // Back on its own cells the grid must hold every row it may have grown to.
  if (FSource == &FOwnCells)
    FOwnCells.Rows.resize(static_cast<size_t>(FRowCount), std::vector<std::wstring>(static_cast<size_t>(FColCount)));
  Invalidate();
  UpdateEditor();
}

void TStringGrid::ClampCurrent() {
  FCol = std::clamp(FCol, FFixedCols, std::max(FFixedCols, FColCount - 1));
  FRow = std::clamp(FRow, FFixedRows, std::max(FFixedRows, FRowCount - 1));
  FAnchorCol = std::clamp(FAnchorCol, FFixedCols, std::max(FFixedCols, FColCount - 1));
  FAnchorRow = std::clamp(FAnchorRow, FFixedRows, std::max(FFixedRows, FRowCount - 1));
}

void TStringGrid::SelectCell(int col, int row) {
  if (FColCount <= FFixedCols || FRowCount <= FFixedRows) return;
  col = std::clamp(col, FFixedCols, FColCount - 1);
  row = std::clamp(row, FFixedRows, FRowCount - 1);
  SelectRange(col, row, col, row);
}

void TStringGrid::SelectRange(int anchorCol, int anchorRow, int col, int row) {
  if (FColCount <= FFixedCols || FRowCount <= FFixedRows) return;
  col = std::clamp(col, FFixedCols, FColCount - 1);
  row = std::clamp(row, FFixedRows, FRowCount - 1);
  if (!(FOptions & goRangeSelect)) {
    anchorCol = col;
    anchorRow = row;
  }
  anchorCol = std::clamp(anchorCol, FFixedCols, FColCount - 1);
  anchorRow = std::clamp(anchorRow, FFixedRows, FRowCount - 1);
  const bool changed = col != FCol || row != FRow;
  const bool blockChanged = anchorCol != FAnchorCol || anchorRow != FAnchorRow || FSpan;
  FSpan = false;
  FCol = col;
  FRow = row;
  FAnchorCol = anchorCol;
  FAnchorRow = anchorRow;
  MakeVisible(col, row);
  if (!changed && !blockChanged) return;
  Invalidate();
  AccSelectionChanged(changed);
  if (!changed) return;
  UpdateEditor();
  if (OnSelectCell) OnSelectCell();
}

void TStringGrid::SelectSpan(int anchorCol, int anchorRow, int col, int row) {
  SelectRange(anchorCol, anchorRow, col, row);
  if (!(FOptions & goRangeSelect)) return;
  FSpan = true;
  Invalidate();
}

bool TStringGrid::IsCellSelected(int col, int row) const {
  if (FOptions & goRowSelect) return col >= FFixedCols && row >= FFixedRows && Selection().Contains(FCol, row);
  if (!FSpan) return Selection().Contains(col, row);
  if (col < FFixedCols || row < FFixedRows) return false;
  auto before = [](int c0, int r0, int c1, int r1) { return r0 < r1 || (r0 == r1 && c0 <= c1); };
  const bool forward = before(FAnchorCol, FAnchorRow, FCol, FRow);
  const int c0 = forward ? FAnchorCol : FCol, r0 = forward ? FAnchorRow : FRow;
  const int c1 = forward ? FCol : FAnchorCol, r1 = forward ? FRow : FAnchorRow;
  return before(c0, r0, col, row) && before(col, row, c1, r1);
}

TGridRect TStringGrid::Selection() const {
  return TGridRect{std::min(FAnchorCol, FCol), std::min(FAnchorRow, FRow), std::max(FAnchorCol, FCol),
                   std::max(FAnchorRow, FRow)};
}

void TStringGrid::MoveTo(int col, int row, bool extend) {
  if (extend && (FOptions & goRangeSelect))
    SelectRange(FAnchorCol, FAnchorRow, col, row);
  else
    SelectCell(col, row);
}

int TStringGrid::VisibleRowCount() const {
  RECT client{};
  GetClientRect(Handle(), &client);
  const int fixed = FFixedRows * (FRowHeight + 1);
  return std::max(0, static_cast<int>(client.bottom - fixed) / (FRowHeight + 1));
}

void TStringGrid::SetTopRow(int row) { ScrollTo(row, FLeftCol); }

void TStringGrid::MakeVisible(int col, int row) {
  int top = FTopRow, left = FLeftCol;
  const int visible = std::max(1, VisibleRowCount());
  if (row < top) top = row;
  if (row >= top + visible) top = row - visible + 1;
  if (col < left) left = col;
  RECT client{};
  GetClientRect(Handle(), &client);
  int fixedWidth = 0;
  for (int c = 0; c < FFixedCols; ++c) fixedWidth += FColWidths[static_cast<size_t>(c)] + 1;
  auto fits = [&](int from) {
    int x = fixedWidth;
    for (int c = from; c <= col; ++c) x += FColWidths[static_cast<size_t>(c)] + 1;
    return x <= client.right;
  };
  while (left < col && !fits(left)) ++left;
  if (top != FTopRow || left != FLeftCol) ScrollTo(top, left);
}

void TStringGrid::ScrollTo(int topRow, int leftCol) {
  const int visible = VisibleRowCount();
  FTopRow = std::clamp(topRow, FFixedRows, std::max(FFixedRows, FRowCount - visible));
  FLeftCol = std::clamp(leftCol, FFixedCols, std::max(FFixedCols, FColCount - 1));
  UpdateScrollBars();
  Invalidate();
  UpdateEditor();
}

void TStringGrid::UpdateScrollBars() {
  if (FInScrollUpdate || !Handle()) return;
  FInScrollUpdate = true;
  // A bar that comes or goes changes the client area, and with it the other
  // bar's page: again until the area holds still (at most both bars change).
  RECT before{}, after{};
  for (int pass = 0; pass < 3; ++pass) {
    GetClientRect(Handle(), &before);
    SetScrollBarPages();
    GetClientRect(Handle(), &after);
    if (EqualRect(&before, &after)) break;
  }
  FInScrollUpdate = false;
}

void TStringGrid::SetScrollBarPages() {
  const BOOL redraw = IsWindowVisible(Handle());
  // A bar is told only what changes: each change repaints it, and a themed
  // bar's paint is slow under some window systems.
  auto apply = [&](int bar, const SCROLLINFO& wanted) {
    SCROLLINFO now{};
    now.cbSize = sizeof now;
    now.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    if (GetScrollInfo(Handle(), bar, &now) && now.nMin == wanted.nMin && now.nMax == wanted.nMax &&
        now.nPage == wanted.nPage && now.nPos == wanted.nPos)
      return;
    SetScrollInfo(Handle(), bar, &wanted, redraw);
  };
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  const int rows = FRowCount - FFixedRows;
  si.nMax = std::max(0, rows - 1);
  si.nPage = static_cast<UINT>(VisibleRowCount());
  si.nPos = FTopRow - FFixedRows;
  apply(SB_VERT, si);
  RECT client{};
  GetClientRect(Handle(), &client);
  int total = 0;
  for (int w : FColWidths) total += w + 1;
  const int cols = FColCount - FFixedCols;
  int page = cols;
  if (total > client.right) {
    int x = 0;
    for (int c = 0; c < FFixedCols; ++c) x += FColWidths[static_cast<size_t>(c)] + 1;
    page = 0;
    for (int c = FLeftCol; c < FColCount && x + FColWidths[static_cast<size_t>(c)] + 1 <= client.right; ++c) {
      x += FColWidths[static_cast<size_t>(c)] + 1;
      ++page;
    }
    page = std::max(page, 1);
    if (page >= cols) page = cols - 1;
  }
  si.nMax = std::max(0, cols - 1);
  si.nPage = static_cast<UINT>(std::max(page, 0));
  si.nPos = FLeftCol - FFixedCols;
  apply(SB_HORZ, si);
}

HWND TStringGrid::EditorHandle() const { return FEditor ? FEditor->Handle() : nullptr; }

bool TStringGrid::EditorVisible() const { return FEditor && FEditor->Visible(); }

void TStringGrid::UpdateEditor() {
  if (!FEditor || !FEditor->Handle()) return;
  bool show = (FOptions & goEditing) && (FOptions & goAlwaysShowEditor) && Enabled() && FCol >= FFixedCols &&
              FRow >= FFixedRows && FCol < FColCount && FRow < FRowCount;
  const RECT r = show ? CellRect(FCol, FRow) : RECT{};
  if (IsRectEmpty(&r)) show = false;
  if (!show) {
    FEditor->Hide();
    return;
  }
  const std::wstring text = Cells(FCol, FRow);
  if (FEditor->Text() != text) FEditor->Load(text);
  FEditor->ShowAt(RECT{r.left + 2, r.top + 2, r.right, r.bottom});
  if (GetFocus() == Handle()) FEditor->Focus();
}

void TStringGrid::EditorChanged() {
  if (FEditor->Loading()) return;
  FSource->SetCellText(FCol, FRow, FEditor->Text());
  if (OnSetEditText) Application().Guard([&] { OnSetEditText(FCol, FRow); });
}

void TStringGrid::FontChanged() {
  TWinControl::FontChanged();
  if (FEditor) FEditor->SetFont(FontHandle());
  Invalidate();
}

void TStringGrid::EnabledChanged() {
  TWinControl::EnabledChanged();
  UpdateEditor();
}

bool TStringGrid::KeyDown(WPARAM key) {
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  const int page = std::max(1, VisibleRowCount());
  int col = FCol, row = FRow;
  switch (key) {
    case VK_UP: --row; break;
    case VK_DOWN: ++row; break;
    case VK_PRIOR: row -= page; break;
    case VK_NEXT: row += page; break;
    case VK_HOME: if (ctrl) row = FFixedRows; else col = FFixedCols; break;
    case VK_END: if (ctrl) row = FRowCount - 1; else col = FColCount - 1; break;
    case VK_LEFT: --col; break;
    case VK_RIGHT: ++col; break;
    default: return false;
  }
  MoveTo(col, row, GetKeyState(VK_SHIFT) < 0);
  return true;
}
