#include "fmuView.h"

#include "untDumpView.h"
#include "untFile.h"

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
}

TfmView::~TfmView() { Grid->SetSource(nullptr); }

void TfmView::ShowData() {
  Grid->SetRowCount(DumpViewRows(Data.size()) + 1);
  Grid->Invalidate();
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
