#include "fmuView.h"

#include <algorithm>

#include "fmuDiff.h"
#include "fmuGoTo.h"
#include "untDumpView.h"
#include "untFile.h"
#include "untText.h"

namespace {

const TFormDef kForm = [] {
  TFormDef d;
  d.Caption = L"fmView";
  d.Width = 375;
  d.Height = 374;
  d.BorderStyle = bsSizeable;
  d.Position = poScreenCenter;
  return d;
}();

const TCtlDef kLayout[] = {
    {TKind::Panel, FORM_FIELD(TfmView, pnlLeft), L"", 0, 0, 367, 347, akLeftTop, {.Align = alClient}},
    {TKind::ToolBar, FORM_FIELD(TfmView, tbLeft), L"", 0, 0, 367, 26, akLeftTop,
     {.Flags = cfFlat | cfNoTabStop, .Parent = L"pnlLeft", .Align = alTop}},
    {TKind::ToolButton, FORM_FIELD(TfmView, tbOpen), L"", 0, 0, 23, 22, akLeftTop, &TfmView::tbOpenClick,
     {.Parent = L"tbLeft", .Hint = L"Открыть файл", .Tool = {.ImageIndex = 0}}},
    {TKind::ToolButton, FORM_FIELD(TfmView, tbSave), L"", 0, 0, 23, 22, akLeftTop, &TfmView::tbSaveClick,
     {.Parent = L"tbLeft", .Hint = L"Сохранить файл", .Tool = {.ImageIndex = 1}}},
    {TKind::ToolButton, FORM_FIELD(TfmView, tbCompare), L"", 0, 0, 23, 22, akLeftTop, &TfmView::tbCompareClick,
     {.Parent = L"tbLeft", .Hint = L"Сравнить с файлом", .Tool = {.ImageIndex = 2}}},
    {TKind::Grid, FORM_FIELD(TfmView, Grid), L"", 0, 26, 367, 321, akLeftTop,
     {.Parent = L"pnlLeft",
      .Align = alClient,
      .AccName = L"Данные",
      .Grid = {.ColCount = 17,
               .RowCount = 2,
               .ColWidth = 20,
               .RowHeight = 18,
               .Options = goFixedVertLine | goFixedHorzLine | goHorzLine | goRangeSelect}}},
    {TKind::ToolButton, FORM_FIELD(TfmView, tbDiff), L"", 0, 0, 23, 22, akLeftTop, &TfmView::tbDiffClick,
     {.Parent = L"tbLeft", .Hint = L"Показать отличия от файла", .Tool = {.ImageIndex = 3}}},
};

const wchar_t kFilter[] = L"Файлы дампов (*.dmp)|*.dmp|Все файлы (*.*)|*.*";

}  // namespace

// The table's texts, made from the bytes only for the rows on screen.
class TfmView::TSource : public TGridSource {
 public:
  explicit TSource(const std::string& data) : FData(data) {}
  std::wstring CellText(int col, int row) override { return DumpViewCell(FData, col, row); }

 private:
  const std::string& FData;
};

TfmView::TfmView() : TMyForm(kForm, kLayout), FSource(std::make_unique<TSource>(Data)) {
  BindFields(*this, kLayout);
  tbLeft->SetImages(CreateFileToolImages());
  Grid->SetColWidths(0, ScaleToScreen(60));
  Grid->SetSource(FSource.get());
  ShowData();
  FOpenDir = FSaveDir = ProgramFolder();
  OnShortCut = [this](WORD key, TShiftState shift) { return ShortCut(key, shift); };
}

TfmView::~TfmView() { Grid->SetSource(nullptr); }

void TfmView::ShowData() {
  Grid->SetRowCount(DumpViewRows(Data.size()) + 1);
  Grid->Invalidate();
  // A list made from other bytes would point at the wrong cells.
  if (FDiffs) FDiffs->Clear();
  FDiffRow = -1;
}

TFileDialogArgs TfmView::DialogArgs(const std::wstring& initialDir) const {
  TFileDialogArgs args;
  args.Owner = Handle();
  args.Filter = kFilter;
  args.DefaultExt = L"DMP";
  args.InitialDir = initialDir;
  return args;
}

void TfmView::tbOpenClick() {
  TFileDialogArgs args = DialogArgs(FOpenDir);
  if (!OpenFileDialog(args)) return;
  // Read first: a file that cannot be read leaves the data as it was.
  std::string bytes = ReadWholeFile(args.FileName);
  Data = std::move(bytes);
  ShowData();
}

void TfmView::tbSaveClick() {
  TFileDialogArgs args = DialogArgs(FSaveDir);
  args.OverwritePrompt = false;
  if (!SaveFileDialog(args)) return;
  WriteWholeFile(args.FileName, Data);
}

void TfmView::tbCompareClick() {
  TFileDialogArgs args = DialogArgs(FOpenDir);
  if (!OpenFileDialog(args)) return;
  CompareWithFile(args.FileName);
}

void TfmView::CompareWithFile(const std::wstring& fileName) {
  const TCompareResult result = ::CompareWithFile(Data, fileName);
  Application().ShowMessageBox(result == TCompareResult::Equal ? L"Файлы не отличаются." : L"Файлы отличаются.",
                               MB_OK, Handle());
}

void TfmView::tbDiffClick() {
  TFileDialogArgs args = DialogArgs(FOpenDir);
  if (!OpenFileDialog(args)) return;
  ShowDifferences(args.FileName);
}

void TfmView::ShowDifferences(const std::wstring& fileName) {
  std::string file = ReadWholeFile(fileName);
  if (!FDiffs) {
    FDiffs = std::make_unique<TfmDiff>();
    FDiffs->SetOwnerWindow(Handle());
    FDiffs->OnChoose = [this](size_t index) { SelectDifference(index); };
    FDiffs->OnStep = [this](bool back) { StepDifference(back); };
    FDiffs->PlaceBeside(Handle());
  }
  FDiffs->ShowDiff(Data, std::move(file), fileName);
  FDiffs->Show();
  if (!FDiffs->Diff().Empty()) SelectDifference(0);
}

void TfmView::SelectDifference(size_t index) {
  if (!FDiffs || index >= FDiffs->Diff().Count() || Data.empty()) return;
  const TDiffRange range = FDiffs->Diff().Range(index);
  // What only the file has lies past the last cell: the end of the data is shown.
  const uint64_t first = std::min<uint64_t>(range.Offset, Data.size() - 1);
  const uint64_t last = std::min<uint64_t>(range.Offset + range.Length - 1, Data.size() - 1);
  const TDumpCell from = DumpCellOf(first), to = DumpCellOf(last);
  // The current cell is the range's first byte, so that its start is in view.
  Grid->SelectSpan(to.Col, to.Row, from.Col, from.Row);
  FDiffIndex = index;
  FDiffCol = Grid->Col();
  FDiffRow = Grid->Row();
  FDiffs->MarkRow(index);
}

void TfmView::StepDifference(bool back) {
  if (!FDiffs || FDiffs->Diff().Empty()) return;
  const TDumpDiff& diff = FDiffs->Diff();
  size_t index;
  if (Grid->Col() == FDiffCol && Grid->Row() == FDiffRow) {
    if (back ? FDiffIndex == 0 : FDiffIndex + 1 >= diff.Count()) return;
    index = back ? FDiffIndex - 1 : FDiffIndex + 1;
  } else {
    const uint64_t here = DumpOffsetOf(Grid->Col(), Grid->Row());
    index = back ? diff.PreviousBefore(here) : diff.NextAfter(here);
    if (index >= diff.Count()) return;
  }
  SelectDifference(index);
}

std::wstring TfmView::SelectedHex() const {
  if (Grid->SpanSelected()) {
    const uint64_t a = DumpOffsetOf(Grid->AnchorCol(), Grid->AnchorRow()), b = DumpOffsetOf(Grid->Col(), Grid->Row());
    return DumpCellsHex(Data, std::min(a, b), std::max(a, b));
  }
  const TGridRect r = Grid->Selection();
  return DumpCellsHex(Data, DumpOffsetOf(r.Left, r.Top), DumpOffsetOf(r.Right, r.Bottom), r.Left, r.Right);
}

void TfmView::GoToOffset(uint64_t offset) {
  if (offset >= std::max<size_t>(Data.size(), 1))
    throw Exception(Format(L"Смещение %ls за концом данных.", DumpOffsetText(offset).c_str()));
  const TDumpCell cell = DumpCellOf(offset);
  Grid->SelectCell(cell.Col, cell.Row);
}

bool TfmView::ShortCut(WORD key, TShiftState shift) {
  if (key == VK_F6 && !(shift & ~ssShift)) {
    StepDifference((shift & ssShift) != 0);
    return true;
  }
  if (shift != ssCtrl) return false;
  if (key == 'C') {
    SetClipboardText(Handle(), SelectedHex());
    return true;
  }
  if (key == 'G') {
    uint64_t offset = 0;
    if (TfmGoTo::Ask(Handle(), offset)) GoToOffset(offset);
    return true;
  }
  return false;
}
