#include "fmuDiff.h"

#include <algorithm>

#include "untScope.h"
#include "untText.h"

namespace {

const TFormDef kForm = [] {
  TFormDef d;
  d.Caption = L"Отличия";
  d.ClientWidth = 520;
  d.ClientHeight = 300;
  d.BorderStyle = bsSizeable;
  d.Position = poDesigned;
  return d;
}();

const TCtlDef kLayout[] = {
    {TKind::Label, FORM_FIELD(TfmDiff, lblSummary), L"", 8, 8, 504, 13, akLeft | akTop | akRight},
    {TKind::Grid, FORM_FIELD(TfmDiff, Grid), L"", 8, 28, 504, 264, akAll,
     {.Grid = {.ColCount = kDumpDiffColumns,
               .RowCount = 2,
               .FixedCols = 0,
               .FixedRows = 1,
               .ColWidth = 66,
               .RowHeight = 18,
               .Options = goAllLines | goRowSelect}}},
};

}  // namespace

// The rows' texts, made only for the rows on screen: a worn-out memory can
// differ in a million places.
class TfmDiff::TSource : public TGridSource {
 public:
  explicit TSource(TfmDiff& form) : FForm(form) {}
  std::wstring CellText(int col, int row) override {
    if (!FForm.FData) return row == 0 ? DumpDiffCell(TDumpDiff(), {}, {}, col, 0) : std::wstring();
    return DumpDiffCell(FForm.FDiff, *FForm.FData, FForm.FFile, col, row);
  }

 private:
  TfmDiff& FForm;
};

TfmDiff::TfmDiff() : TMyForm(kForm, kLayout), FSource(std::make_unique<TSource>(*this)) {
  BindFields(*this, kLayout);
  // Room for eight bytes a side, and for the list's scroll bar.
  Grid->SetColWidths(1, ScaleToScreen(56));
  Grid->SetColWidths(2, ScaleToScreen(175));
  Grid->SetColWidths(3, ScaleToScreen(175));
  Grid->SetSource(FSource.get());
  Grid->OnSelectCell = [this] {
    if (!FMarking && OnChoose && FData && Grid->Row() >= 1) OnChoose(static_cast<size_t>(Grid->Row() - 1));
  };
  OnShortCut = [this](WORD key, TShiftState shift) {
    if (key != VK_F6 || (shift & ~ssShift) || !OnStep) return false;
    OnStep((shift & ssShift) != 0);
    return true;
  };
}

TfmDiff::~TfmDiff() { Grid->SetSource(nullptr); }

void TfmDiff::ShowDiff(const std::string& data, std::string file, const std::wstring& fileName) {
  FDiff = TDumpDiff(data, file);
  FData = &data;
  FFile = std::move(file);
  const size_t slash = fileName.find_last_of(L"\\/");
  SetCaption(L"Отличия от файла " + (slash == std::wstring::npos ? fileName : fileName.substr(slash + 1)));
  lblSummary->SetText(FDiff.Empty() ? std::wstring(L"Файлы не отличаются.")
                                    : Format(L"Отличий: %lld, байт: %lld", static_cast<long long>(FDiff.Count()),
                                             static_cast<long long>(FDiff.DifferentBytes())));
  // One empty row under the headers when there is nothing to list.
  Grid->SetRowCount(static_cast<int>(std::max<size_t>(FDiff.Count(), 1)) + 1);
  MarkRow(0);
  Grid->SetTopRow(1);
  Grid->Invalidate();
}

void TfmDiff::Clear() {
  FDiff = TDumpDiff();
  FData = nullptr;
  FFile.clear();
  lblSummary->SetText(L"");
  Grid->SetRowCount(2);
  Grid->Invalidate();
  Hide();
}

void TfmDiff::MarkRow(size_t index) {
  FMarking = true;
  TOnExit done([this] { FMarking = false; });
  Grid->SelectCell(0, static_cast<int>(index) + 1);
}
