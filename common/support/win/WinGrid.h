#pragma once
// TStringGrid: a grid of text cells over a data source. Only the rows on
// screen are asked for their texts, so a source of millions of rows shows at
// once. Without a source of its own the grid keeps the texts itself.
//
// Fixed rows and columns (at most one each is usual) are painted as headers
// and never scroll or edit. With goEditing | goAlwaysShowEditor the current
// non-fixed cell always carries an edit box; what is typed goes into the cell
// at once. With goColSizing the user drags column borders in the fixed row.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "WinControl.h"
#include "WinGridEdit.h"

class TGridSource {
 public:
  virtual ~TGridSource() = default;
  virtual std::wstring CellText(int col, int row) = 0;
  virtual void SetCellText(int col, int row, const std::wstring& text) {}
};

enum TGridOption : unsigned {
  goEditing = 1,
  goAlwaysShowEditor = 2,
  goColSizing = 4,
  goRangeSelect = 0x10,      // Shift, or a drag, selects a block of cells
  goFixedVertLine = 0x20,    // lines between the cells: vertical, horizontal,
  goFixedHorzLine = 0x40,    // in the fixed cells and in the others
  goVertLine = 0x80,
  goHorzLine = 0x100,
  goRowSelect = 0x200,       // the current row is selected whole, as in a list
};
constexpr unsigned goAllLines = goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine;

// A block of cells, corners included.
struct TGridRect {
  int Left, Top, Right, Bottom;
  bool Contains(int col, int row) const { return col >= Left && col <= Right && row >= Top && row <= Bottom; }
};

class TStringGrid : public TWinControl {
 public:
  explicit TStringGrid(const TCreateArgs& args);
  ~TStringGrid() override;

  int ColCount() const { return FColCount; }
  void SetColCount(int count);
  int RowCount() const { return FRowCount; }
  void SetRowCount(int count);
  int FixedCols() const { return FFixedCols; }
  void SetFixedCols(int count);
  int FixedRows() const { return FFixedRows; }
  void SetFixedRows(int count);
  int DefaultColWidth() const { return FDefaultColWidth; }
  void SetDefaultColWidth(int width);  // every column takes it
  int DefaultRowHeight() const { return FRowHeight; }
  void SetDefaultRowHeight(int height);
  int ColWidths(int col) const { return FColWidths.at(col); }
  void SetColWidths(int col, int width);
  int GridLineWidth() const { return 1; }
  unsigned Options() const { return FOptions; }
  void SetOptions(unsigned options);

  std::wstring Cells(int col, int row) const;
  void SetCells(int col, int row, const std::wstring& text);
  // Another holder of the texts (not owned); nullptr: the grid's own cells.
  void SetSource(TGridSource* source);

  // The current cell.
  int Col() const { return FCol; }
  int Row() const { return FRow; }
  void SetCol(int col) { SelectCell(col, FRow); }
  void SetRow(int row) { SelectCell(FCol, row); }
  void SelectCell(int col, int row);
  // The selected block: the current cell alone, or with goRangeSelect the
  // block from where the selection began to the current cell.
  TGridRect Selection() const;
  // Moves the current cell and lets the selection begin there or keep its start.
  void SelectRange(int anchorCol, int anchorRow, int col, int row);
  // Selects the cells from the anchor to `col, row` in reading order, row by
  // row as a run of text is selected, instead of a block (a run of bytes in a
  // table of 16 a row); the current cell is `col, row`. The user's next move
  // selects blocks again.
  void SelectSpan(int anchorCol, int anchorRow, int col, int row);
  bool SpanSelected() const { return FSpan; }
  int AnchorCol() const { return FAnchorCol; }
  int AnchorRow() const { return FAnchorRow; }
  bool IsCellSelected(int col, int row) const;
  int TopRow() const { return FTopRow; }
  void SetTopRow(int row);
  int LeftCol() const { return FLeftCol; }
  int VisibleRowCount() const;

  // Client rectangle of a cell; empty when it is scrolled out of view.
  RECT CellRect(int col, int row) const;
  bool MouseToCell(int x, int y, int& col, int& row) const;
  HWND EditorHandle() const;
  bool EditorVisible() const;

  // As a table for screen readers (WinAccessible.h): its rows are objects
  // (children 1..RowCount) whose cells are simple elements; cell (col, row)
  // is also the grid's own child kAccCellBase + row * ColCount() + col, which
  // its focus and selection events name.
  static constexpr long kAccCellBase = 0x40000000;
  long AccChildCount() override { return FRowCount; }
  bool AccDescribe(long child, TAccNode& node) override;
  IDispatch* AccChildObject(long child) override;
  long AccFocus() override;
  bool AccDescribeRow(int row, TAccNode& node);
  bool AccDescribeCell(int col, int row, TAccNode& node);

  std::function<void()> OnSelectCell;        // the current cell changed
  std::function<void(int col, int row)> OnSetEditText;  // the editor changed a cell
  std::function<void()> OnColWidthsChanged;  // the user dragged a column border

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  TColor DefaultColor() const override { return clWindow; }
  void FontChanged() override;
  void EnabledChanged() override;
  long AccRole() const override { return ROLE_SYSTEM_TABLE; }
  bool AccNamedByLabel() const override { return true; }

 private:
  class TOwnCells : public TGridSource {
   public:
    std::vector<std::vector<std::wstring>> Rows;
    std::wstring CellText(int col, int row) override;
    void SetCellText(int col, int row, const std::wstring& text) override;
  };
  // The columns or rows on screen: index, start and extent of each.
  struct TSpan {
    int Index, Start, Size;
  };
  std::vector<TSpan> VisibleCols() const;
  std::vector<TSpan> VisibleRows() const;
  void Paint(HDC dc, const RECT& clip);
  void PaintCell(HDC dc, int col, int row, const RECT& rect, int textTop);
  void UpdateScrollBars();
  void SetScrollBarPages();
  void ScrollTo(int topRow, int leftCol);
  void MakeVisible(int col, int row);
  void UpdateEditor();
  void EditorChanged();
  bool KeyDown(WPARAM key);
  void MoveTo(int col, int row, bool extend);
  int SizingColAt(int x, int y) const;
  void ClampCurrent();
  // Tells listening clients which cell has the focus and what is selected.
  void AccSelectionChanged(bool cellChanged);

  int FColCount = 5, FRowCount = 5, FFixedCols = 1, FFixedRows = 1;
  int FDefaultColWidth = 64, FRowHeight = 24;
  std::vector<int> FColWidths;
  unsigned FOptions = goAllLines;
  TOwnCells FOwnCells;
  TGridSource* FSource = &FOwnCells;
  int FCol = 1, FRow = 1, FTopRow = 1, FLeftCol = 1;
  int FAnchorCol = 1, FAnchorRow = 1;
  bool FSelecting = false;  // the mouse is dragging a selection
  bool FSpan = false;       // the selection runs in reading order
  std::unique_ptr<TGridEditor> FEditor;
  std::shared_ptr<TStringGrid*> FAccLink;  // the grid, for its row objects; null once it is gone
  bool FInScrollUpdate = false;
  int FSizingCol = -1, FSizingStartX = 0, FSizingStartWidth = 0;
};
