// The string grid: cells, the in-place editor, column sizing, and a source of
// a million rows of which only the visible ones are asked for.
#include <gtest/gtest.h>

#include <memory>

#include "MyForm.h"
#include "test_TstSupport.h"

namespace {

TFormDef GridFormDef() {
  TFormDef d;
  d.Caption = L"Таблица";
  d.ClientWidth = 420;
  d.ClientHeight = 260;
  d.BorderStyle = bsSizeable;
  return d;
}

const TCtlDef kLayout[] = {
    {TKind::Grid, L"Grid", L"", 8, 8, 404, 244, akAll,
     {.Flags = cfGridEditing | cfGridColSizing, .Grid = {.ColCount = 2, .RowCount = 2, .ColWidth = 200,
                                                         .RowHeight = 20}}},
};

// Rows computed on demand; counts what it was asked for.
class TCountingSource : public TGridSource {
 public:
  int Calls = 0;
  int MaxRowAsked = -1;
  std::wstring CellText(int col, int row) override {
    ++Calls;
    MaxRowAsked = std::max(MaxRowAsked, row);
    return std::to_wstring(row) + L":" + std::to_wstring(col);
  }
};

class GridTest : public ::testing::Test {
 protected:
  std::unique_ptr<TMyForm> Form = std::make_unique<TMyForm>(GridFormDef(), kLayout);
  TStringGrid* Grid = Form->Ctl<TStringGrid>(L"Grid");

  void SetUp() override {
    Form->Show();
    Pump();
  }
  std::wstring EditorText() const {
    wchar_t text[256] = {};
    GetWindowTextW(Grid->EditorHandle(), text, 256);
    return text;
  }
  void Type(const std::wstring& text) { SetWindowTextW(Grid->EditorHandle(), text.c_str()); }
  void Paint() {
    InvalidateRect(Grid->Handle(), nullptr, FALSE);
    UpdateWindow(Grid->Handle());
  }
};

}  // namespace

TEST_F(GridTest, RowCountKeepsTheCellsThatRemain) {
  Grid->SetRowCount(4);
  for (int r = 0; r < 4; ++r) Grid->SetCells(1, r, L"v" + std::to_wstring(r));
  Grid->SetRowCount(3);
  Grid->SetRowCount(5);
  EXPECT_EQ(Grid->Cells(1, 2), L"v2");
  EXPECT_EQ(Grid->Cells(1, 3), L"");
  EXPECT_EQ(Grid->Cells(1, 9), L"") << "outside the grid reads as empty";
  Grid->SetCells(1, 9, L"lost");  // and writing there changes nothing
  EXPECT_EQ(Grid->RowCount(), 5);
}

TEST_F(GridTest, TheEditorIsAlwaysOnTheCurrentValueCell) {
  Grid->SetRowCount(3);
  Grid->SetCells(0, 1, L"[ in] Пароль");
  Grid->SetCells(1, 1, L"30");
  Grid->SetCells(1, 2, L"x");
  EXPECT_EQ(Grid->Col(), 1);
  EXPECT_EQ(Grid->Row(), 1);
  ASSERT_TRUE(Grid->EditorVisible());
  EXPECT_EQ(EditorText(), L"30");
  std::vector<std::pair<int, int>> edits;
  Grid->OnSetEditText = [&](int c, int r) { edits.emplace_back(c, r); };
  Type(L"31");
  EXPECT_EQ(Grid->Cells(1, 1), L"31") << "typing goes into the cell at once";
  EXPECT_EQ(edits, (std::vector<std::pair<int, int>>{{1, 1}}));
  // Down from inside the editor moves the row and brings the next value.
  SendMessageW(Grid->EditorHandle(), WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(Grid->Row(), 2);
  EXPECT_EQ(EditorText(), L"x");
  EXPECT_EQ(Grid->Cells(1, 1), L"31");
  // A value set in code for the current cell shows in the editor.
  Grid->SetCells(1, 2, L"из программы");
  EXPECT_EQ(EditorText(), L"из программы");
}

TEST_F(GridTest, FixedCellsAreNeitherSelectedNorEdited) {
  Grid->SetRowCount(3);
  Grid->SelectCell(0, 0);
  EXPECT_EQ(Grid->Col(), 1);
  EXPECT_EQ(Grid->Row(), 1);
  Grid->SetRowCount(1);  // only the header row left
  EXPECT_FALSE(Grid->EditorVisible());
}

TEST_F(GridTest, AClickSelectsTheCell) {
  Grid->SetRowCount(4);
  const RECT r = Grid->CellRect(1, 3);
  ASSERT_FALSE(IsRectEmpty(&r));
  int col = -1, row = -1;
  ASSERT_TRUE(Grid->MouseToCell(r.left + 3, r.top + 3, col, row));
  EXPECT_EQ(col, 1);
  EXPECT_EQ(row, 3);
  ClickAt(Grid->Handle(), r.left + 3, r.top + 3);
  EXPECT_EQ(Grid->Row(), 3);
}

TEST_F(GridTest, TheUserDragsAColumnBorderInTheHeaderRow) {
  int changes = 0;
  Grid->OnColWidthsChanged = [&] { ++changes; };
  const int border = Grid->ColWidths(0);
  SendMessageW(Grid->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(border, 5));
  SendMessageW(Grid->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(border - 60, 5));
  SendMessageW(Grid->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(border - 60, 5));
  EXPECT_EQ(Grid->ColWidths(0), 140);
  EXPECT_EQ(changes, 1);
  // Below the header a border is just a place in a cell.
  Grid->SetRowCount(3);
  const RECT cell = Grid->CellRect(0, 2);
  SendMessageW(Grid->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(140, cell.top + 5));
  SendMessageW(Grid->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(100, cell.top + 5));
  SendMessageW(Grid->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(100, cell.top + 5));
  EXPECT_EQ(Grid->ColWidths(0), 140);
  EXPECT_EQ(changes, 1);
}

TEST_F(GridTest, AMillionRowsAskOnlyForTheVisibleOnes) {
  auto hasBar = [&](DWORD bar) { return (GetWindowLongW(Grid->Handle(), GWL_STYLE) & bar) != 0; };
  EXPECT_FALSE(hasBar(WS_VSCROLL));  // two rows fit
  EXPECT_FALSE(hasBar(WS_HSCROLL));
  TCountingSource source;
  Grid->SetOptions(0);
  Grid->SetSource(&source);
  Grid->SetColCount(3);
  Grid->SetRowCount(1000000);
  EXPECT_TRUE(hasBar(WS_VSCROLL));
  EXPECT_TRUE(hasBar(WS_HSCROLL));  // three columns of 200 do not fit either
  Paint();
  const int visible = Grid->VisibleRowCount();
  ASSERT_GT(visible, 3);
  source.Calls = 0;
  Paint();
  EXPECT_LE(source.Calls, (visible + 2) * 3);
  EXPECT_LE(source.MaxRowAsked, visible + 1);
  // Scrolled to the end: the last row is on screen, nothing beyond is asked.
  Grid->SetTopRow(2000000);
  EXPECT_EQ(Grid->TopRow(), 1000000 - visible);
  source.Calls = 0;
  Paint();
  EXPECT_LE(source.Calls, (visible + 2) * 3);
  EXPECT_EQ(source.MaxRowAsked, 999999);
  // The scroll bar scrolls: a page down from the top, and back.
  Grid->SetTopRow(1);
  SendMessageW(Grid->Handle(), WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_GT(Grid->TopRow(), 1);
  SendMessageW(Grid->Handle(), WM_VSCROLL, SB_TOP, 0);
  EXPECT_EQ(Grid->TopRow(), 1);
  // Page down from the top moves by one screen of rows.
  Grid->SetTopRow(1);
  Grid->SelectCell(1, 1);
  SendMessageW(Grid->Handle(), WM_KEYDOWN, VK_NEXT, 0);
  EXPECT_EQ(Grid->Row(), 1 + visible);
  // Back on its own cells, every row can hold a text again.
  Grid->SetSource(nullptr);
  Grid->SetCells(1, 999999, L"последняя");
  EXPECT_EQ(Grid->Cells(1, 999999), L"последняя");
  Grid->SetRowCount(2);
  Grid->SetColCount(2);
  EXPECT_FALSE(hasBar(WS_VSCROLL));
}

// Rows first, then columns too wide to fit: the horizontal bar that comes
// last takes height from the rows, and the vertical page must say so, or the
// last row could never be scrolled into view.
TEST_F(GridTest, EachScrollBarsPageCountsTheRoomTheOtherBarLeaves) {
  Grid->SetRowCount(100);
  Grid->SetColCount(5);
  SCROLLINFO v{}, h{};
  v.cbSize = h.cbSize = sizeof v;
  v.fMask = h.fMask = SIF_PAGE | SIF_RANGE;
  ASSERT_TRUE(GetScrollInfo(Grid->Handle(), SB_VERT, &v));
  ASSERT_TRUE(GetScrollInfo(Grid->Handle(), SB_HORZ, &h));
  EXPECT_TRUE(GetWindowLongW(Grid->Handle(), GWL_STYLE) & WS_HSCROLL);
  EXPECT_EQ(static_cast<int>(v.nPage), Grid->VisibleRowCount());
  Grid->SetTopRow(1000);
  Paint();
  EXPECT_EQ(Grid->TopRow() + Grid->VisibleRowCount(), 100);
}

TEST_F(GridTest, TheGridFillsItsFormWhenResized) {
  Form->SetClientSize(520, 300);
  Pump();
  EXPECT_EQ(Grid->Width(), Form->ClientWidth() - 16);
  EXPECT_EQ(Grid->Height(), Form->ClientHeight() - 16);
  EXPECT_EQ(Form->ClientWidth(), 520);
}
