#include "fmuLog.h"

#include <algorithm>

#include "untFile.h"

using cmdtest::TfmLog;

namespace {

const TFormDef kForm = [] {
  TFormDef d;
  d.Caption = L"Журнал обмена";
  d.ClientWidth = 760;
  d.ClientHeight = 360;
  d.BorderStyle = bsSizeable;
  d.Position = poScreenCenter;
  d.Font.Name = L"MS Sans Serif";
  d.Font.Height = -11;
  return d;
}();

constexpr TAnchors akRightBottom = akRight | akBottom;

const TCtlDef kLayout[] = {
    {TKind::Grid, FORM_FIELD(TfmLog, Grid), L"", 8, 8, 744, 312, akAll,
     {.Grid = {.ColCount = kExchangeColumns,
               .RowCount = 2,
               .FixedCols = 0,
               .FixedRows = 1,
               .ColWidth = 64,
               .RowHeight = 18,
               .Options = goAllLines | goRowSelect | goColSizing}}},
    {TKind::Label, FORM_FIELD(TfmLog, lblStatus), L"", 8, 334, 400, 13, akLeft | akBottom},
    {TKind::Button, FORM_FIELD(TfmLog, btnSave), L"Сохранить...", 493, 328, 83, 25, akRightBottom,
     &TfmLog::btnSaveClick},
    {TKind::Button, FORM_FIELD(TfmLog, btnClear), L"Очистить", 581, 328, 83, 25, akRightBottom,
     &TfmLog::btnClearClick},
    {TKind::Button, FORM_FIELD(TfmLog, btnClose), L"Закрыть", 669, 328, 83, 25, akRightBottom,
     &TfmLog::btnCloseClick, {.Flags = cfCancel}},
};

// Widths of the columns, in the order of ExchangeCell's.
constexpr int kWidths[kExchangeColumns] = {84, 78, 36, 144, 46, 46, 150, 100, 300};

TFileDialogArgs SaveArgs() {
  TFileDialogArgs args;
  args.Filter = L"Текстовые файлы (*.txt)|*.txt|Все файлы (*.*)|*.*";
  args.DefaultExt = L"txt";
  args.InitialDir = ProgramFolder();
  args.FileName = L"Журнал обмена";
  return args;
}

}  // namespace

// The rows' texts, made only for the rows on screen: the history holds up
// to a hundred thousand.
class TfmLog::TSource : public TGridSource {
 public:
  explicit TSource(TExchangeLog& log) : FLog(log) {}
  std::wstring CellText(int col, int row) override {
    if (row == 0) return ExchangeHeader(col);
    if (row < 1 || static_cast<size_t>(row) > FLog.Count()) return {};
    return ExchangeCell(FLog.Row(static_cast<size_t>(row - 1)), col);
  }

 private:
  TExchangeLog& FLog;
};

namespace cmdtest {

TfmLog::TfmLog(TExchangeLog& log)
    : TMyForm(kForm, kLayout), FLog(log), FSource(std::make_unique<TSource>(log)), FSaveDialog(true, SaveArgs()) {
  BindFields(*this, kLayout);
  for (int c = 0; c < kExchangeColumns; ++c) Grid->SetColWidths(c, ScaleToScreen(kWidths[c]));
  Grid->SetSource(FSource.get());
  FLog.OnChange = [this] {
    if (Visible()) Refresh();
  };
  OnShow = [this] { Refresh(); };
  Refresh();
}

TfmLog::~TfmLog() {
  FLog.OnChange = nullptr;
  Grid->SetSource(nullptr);
}

void TfmLog::Refresh() {
  const int rows = static_cast<int>(std::max<size_t>(FLog.Count(), 1)) + 1;
  // Newest last: the list follows new rows while its end is in view.
  const bool atEnd = Grid->TopRow() + Grid->VisibleRowCount() >= Grid->RowCount();
  Grid->SetRowCount(rows);
  if (atEnd) Grid->SetTopRow(rows - Grid->VisibleRowCount());
  Grid->Invalidate();
  lblStatus->SetText(ExchangeLogStatus(FLog));
}

void TfmLog::btnSaveClick() {
  if (!FSaveDialog.Execute(Handle())) return;
  WriteWholeFile(FSaveDialog.FileName(), ExchangeLogText(FLog));
}

void TfmLog::btnClearClick() { FLog.Clear(); }

void TfmLog::btnCloseClick() { Close(); }

}  // namespace cmdtest
