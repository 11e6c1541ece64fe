#include "fmuRestReg.h"

#include "untRestReg.h"
#include "untText.h"
#include "untWindowLoop.h"

namespace {

const TFormDef kForm = TPage::PageDef(L"Регистры остатков");

const TCtlDef kLayout[] = {
    {TKind::Bevel, L"bvlRead", L"", 8, 8, 361, 37, akLeft | akTop | akRight, {.Shape = bsFrame}},
    {TKind::Label, L"Label1", L"Чтение  ", 16, 20, 52, 13},
    {TKind::RadioButton, L"rbAll", L"все", 72, 18, 45, 17, akLeftTop, &TfmRestReg::rbAllClick, {.Flags = cfChecked}},
    {TKind::RadioButton, L"rbSel", L"с", 124, 18, 29, 17, akLeftTop, &TfmRestReg::rbSelClick},
    {TKind::Edit, L"edtStartNum", L"0", 156, 16, 65, 21},
    {TKind::Label, L"lblEndNum", L"по", 230, 20, 20, 13},
    {TKind::Edit, L"edtEndNum", L"1000", 252, 16, 65, 21},
    {TKind::Memo, L"Memo", L"", 8, 52, 361, 305, akAll, {.Flags = cfNoWordWrap, .Font = &kListingFont}},
    {TKind::ProgressBar, L"ProgressBar", L"", 8, 366, 297, 17, akLeft | akRight | akBottom, {.Flags = cfHidden}},
    {TKind::Label, L"lblRegisterNumber", L"", 312, 368, 57, 13, akRight | akBottom,
     {.Flags = cfHidden | cfAlignRight}},
    {TKind::Button, L"btnRead", L"Прочитать", 376, 8, 94, 25, akTop | akRight, &TfmRestReg::btnReadClick},
    {TKind::Button, L"btnWrite", L"Записать", 376, 40, 94, 25, akTop | akRight, &TfmRestReg::btnWriteClick},
    {TKind::Button, L"btnBreak", L"Прервать", 376, 72, 94, 25, akTop | akRight, &TfmRestReg::btnBreakClick,
     {.Flags = cfDisabled}},
    {TKind::Button, L"btnClear", L"Очистить", 376, 104, 94, 25, akTop | akRight, &TfmRestReg::btnClearClick},
    {TKind::Button, L"btnLoadFromFile", L"Загрузить...", 376, 144, 94, 25, akTop | akRight,
     &TfmRestReg::btnLoadFromFileClick, {.Glyph = bgOpen}},
    {TKind::Button, L"btnSaveToFile", L"Сохранить...", 376, 176, 94, 25, akTop | akRight,
     &TfmRestReg::btnSaveToFileClick, {.Glyph = bgSave}},
};

}  // namespace

TfmRestReg::TfmRestReg() : TPage(kForm, kLayout) {
  bvlRead = Ctl<TBevel>(L"bvlRead");
  Label1 = Ctl<TLabel>(L"Label1");
  rbAll = Ctl<TRadioButton>(L"rbAll");
  rbSel = Ctl<TRadioButton>(L"rbSel");
  edtStartNum = Ctl<TEdit>(L"edtStartNum");
  lblEndNum = Ctl<TLabel>(L"lblEndNum");
  edtEndNum = Ctl<TEdit>(L"edtEndNum");
  Memo = Ctl<TMemo>(L"Memo");
  ProgressBar = Ctl<TProgressBar>(L"ProgressBar");
  lblRegisterNumber = Ctl<TLabel>(L"lblRegisterNumber");
  btnRead = Ctl<TButton>(L"btnRead");
  btnWrite = Ctl<TButton>(L"btnWrite");
  btnBreak = Ctl<TButton>(L"btnBreak");
  btnClear = Ctl<TButton>(L"btnClear");
  btnLoadFromFile = Ctl<TButton>(L"btnLoadFromFile");
  btnSaveToFile = Ctl<TButton>(L"btnSaveToFile");
  Memo->OnChange = [this] { FMemoChanged = true; };
  OnClose = [this](TCloseAction&) { StopRequested = true; };
  FormCreate();
}

void TfmRestReg::FormCreate() {
  UpdateRange();
  TFileDialogArgs args;
  args.Filter = kFilter;
  args.DefaultExt = kDefaultExt;
  args.FileName = kDefaultFileName;
  args.InitialDir = ProgramFolder();
  FSaveDialog = std::make_unique<TFileDialog>(true, args);
  FOpenDialog = std::make_unique<TFileDialog>(false, args);
  ProgressBar->SetRange(0, 100);
  ProgressBar->SetStep(1);
}

void TfmRestReg::rbAllClick() { UpdateRange(); }

void TfmRestReg::rbSelClick() { UpdateRange(); }

void TfmRestReg::UpdateRange() {
  const bool range = rbSel->Checked();
  for (TEdit* edit : {edtEndNum, edtStartNum}) {
    edit->SetEnabled(range);
    edit->SetColor(EnabledColors[range]);
  }
}

void TfmRestReg::StartProgress(int max) {
  ProgressBar->SetRange(0, max);
  ProgressBar->SetPosition(0);
  lblRegisterNumber->SetText(L"");
  ProgressBar->Show();
  lblRegisterNumber->Show();
}

void TfmRestReg::ShowProgress(int steps, int64_t counter) {
  ProgressBar->SetPosition(ProgressPosition(steps, ProgressBar->Max()));
  lblRegisterNumber->SetText(IntToStr(counter));
}

void TfmRestReg::EndLoop() {
  btnBreak->SetEnabled(false);
  ProgressBar->Hide();
  lblRegisterNumber->Hide();
}

void TfmRestReg::btnReadClick() {
  // Both numbers first: a wrong one leaves the list as it is.
  const TRestRange range = RestReadRange(rbAll->Checked(), edtStartNum->Text(), edtEndNum->Text());
  Memo->Clear();
  TOnExit idle([this] { EndLoop(); });  // after the buttons are back
  TButtonsDisabled busy(*this);
  btnBreak->SetEnabled(true);
  // The bar's range stays 1000 whatever the range: with "все" the end is unknown.
  StartProgress(1000);
  TWindowLoop loop(*this, StopRequested);
  TRestLoopHooks hooks;
  loop.Bind(hooks);
  hooks.Progress = [this](int steps, int64_t counter) { ShowProgress(steps, counter); };
  ReadRestRegisters(Driver(), range, hooks, StopRequested,
                    [this](const std::vector<std::wstring>& lines) { Memo->AddLines(lines); });
}

// The list stays editable while the write runs; the number of lines is the
// one it had at the start.
std::optional<std::wstring> TfmRestReg::LineAt(int index) {
  if (FMemoChanged) {
    FLines = SplitLines(Memo->Text());
    FMemoChanged = false;
  }
  if (index < 0 || index >= static_cast<int>(FLines.size())) return std::nullopt;
  return FLines[static_cast<size_t>(index)];
}

void TfmRestReg::btnWriteClick() {
  TOnExit idle([this] {
    EndLoop();
    FLines.clear();
  });
  TButtonsDisabled busy(*this);
  btnBreak->SetEnabled(true);
  FLines = SplitLines(Memo->Text());
  FMemoChanged = false;
  const int count = static_cast<int>(FLines.size());
  StartProgress(count);
  TWindowLoop loop(*this, StopRequested);
  TRestLoopHooks hooks;
  loop.Bind(hooks);
  hooks.Progress = [this](int steps, int64_t counter) { ShowProgress(steps, counter); };
  WriteRestRegisters(Driver(), count, [this](int index) { return LineAt(index); }, hooks, StopRequested);
}

void TfmRestReg::btnBreakClick() { StopRequested = true; }

void TfmRestReg::btnClearClick() { Memo->Clear(); }

void TfmRestReg::btnLoadFromFileClick() {
  if (!FOpenDialog->Execute(Handle())) return;
  // The whole file is read before the list changes.
  const std::vector<std::wstring> lines = LoadRestRegisterFile(FOpenDialog->FileName());
  Memo->SetText(JoinLines(lines));
}

void TfmRestReg::btnSaveToFileClick() {
  if (!FSaveDialog->Execute(Handle())) return;
  SaveRestRegisterFile(FSaveDialog->FileName(), SplitLines(Memo->Text()));
}
