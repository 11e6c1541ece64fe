// The string grid as a table for screen readers: rows of cells, the fixed
// row and column as headers, the current cell focused, the block selected.
#include "WinGrid.h"

namespace {

long CellId(const TStringGrid& g, int col, int row) {
  return TStringGrid::kAccCellBase + static_cast<long>(row) * g.ColCount() + col;
}

// One row of a grid; it outlives the grid only as "not there".
class TRowSource : public TAccSource {
 public:
  TRowSource(std::shared_ptr<TStringGrid*> grid, int row) : FGrid(std::move(grid)), FRow(row) {}
  long AccChildCount() override { return *FGrid ? (*FGrid)->ColCount() : 0; }
  bool AccDescribe(long child, TAccNode& node) override {
    TStringGrid* g = *FGrid;
    if (!g) return false;
    if (child == CHILDID_SELF) return g->AccDescribeRow(FRow, node);
    return child >= 1 && child <= g->ColCount() && g->AccDescribeCell(static_cast<int>(child - 1), FRow, node);
  }
  long AccFocus() override {
    TStringGrid* g = *FGrid;
    return g && g->Row() == FRow && g->AccFocus() > 0 ? g->Col() + 1 : -1;
  }
  IDispatch* AccParent() override {
    TStringGrid* g = *FGrid;
    return g ? AccObjectOfWindow(g->Handle()) : nullptr;
  }
  HWND AccWindow() override { return *FGrid ? (*FGrid)->Handle() : nullptr; }

 private:
  std::shared_ptr<TStringGrid*> FGrid;
  int FRow;
};

}  // namespace

bool TStringGrid::AccDescribe(long child, TAccNode& node) {
  if (child == CHILDID_SELF) return TWinControl::AccDescribe(child, node);
  if (child >= kAccCellBase && FColCount > 0) {
    const long cell = child - kAccCellBase;
    return AccDescribeCell(static_cast<int>(cell % FColCount), static_cast<int>(cell / FColCount), node);
  }
  return child >= 1 && child <= FRowCount && AccDescribeRow(static_cast<int>(child - 1), node);
}

IDispatch* TStringGrid::AccChildObject(long child) {
  if (child < 1 || child > FRowCount) return nullptr;
  return NewAccObject(std::make_unique<TRowSource>(FAccLink, static_cast<int>(child - 1)));
}

long TStringGrid::AccFocus() {
  HWND focus = GetFocus();
  if (!focus || (focus != Handle() && focus != EditorHandle())) return -1;
  return FCol < FColCount && FRow < FRowCount ? CellId(*this, FCol, FRow) : CHILDID_SELF;
}

bool TStringGrid::AccDescribeRow(int row, TAccNode& node) {
  if (row < 0 || row >= FRowCount) return false;
  node.Role = ROLE_SYSTEM_ROW;
  // A row is read as its header: the fixed column's text.
  node.Name = FFixedCols > 0 ? Cells(0, row) : std::wstring();
  RECT first = CellRect(0, row), last = CellRect(FColCount - 1, row);
  if (IsRectEmpty(&first) || IsRectEmpty(&last)) {
    node.State = STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN;
  } else {
    node.Screen = RECT{first.left, first.top, last.right, last.bottom};
    MapWindowPoints(Handle(), HWND_DESKTOP, reinterpret_cast<POINT*>(&node.Screen), 2);
  }
  return true;
}

bool TStringGrid::AccDescribeCell(int col, int row, TAccNode& node) {
  if (col < 0 || col >= FColCount || row < 0 || row >= FRowCount) return false;
  const bool header = row < FFixedRows || col < FFixedCols;
  node.Role = row < FFixedRows ? ROLE_SYSTEM_COLUMNHEADER : col < FFixedCols ? ROLE_SYSTEM_ROWHEADER : ROLE_SYSTEM_CELL;
  const std::wstring text = Cells(col, row);
  if (header) {
    node.Name = text;
  } else {
    // A cell is read as its column's header with its text as the value.
    node.Name = FFixedRows > 0 ? Cells(col, 0) : std::wstring();
    node.Value = text;
    long state = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
    if (Selection().Contains(col, row)) state |= STATE_SYSTEM_SELECTED;
    if (col == FCol && row == FRow && AccFocus() > 0) state |= STATE_SYSTEM_FOCUSED;
    if (!(FOptions & goEditing)) state |= STATE_SYSTEM_READONLY;
    node.State = state;
  }
  RECT r = CellRect(col, row);
  if (IsRectEmpty(&r)) {
    node.State |= STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN;
  } else {
    MapWindowPoints(Handle(), HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
    node.Screen = r;
  }
  return true;
}

void TStringGrid::AccSelectionChanged(bool cellChanged) {
  if (FColCount <= 0) return;
  const long cell = CellId(*this, FCol, FRow);
  if (cellChanged && AccFocus() > 0) AccNotify(EVENT_OBJECT_FOCUS, Handle(), cell);
  AccNotify(EVENT_OBJECT_SELECTION, Handle(), cell);
}
