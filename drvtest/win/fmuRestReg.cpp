#include "fmuRestReg.h"

#include "untRestReg.h"
#include "untText.h"
#include "untWindowLoop.h"

namespace {

const TFormDef kForm = TPage::PageDef(L"Регистры остатков");

const TCtlDef kLayout[] = {
    {TKind::Bevel, FORM_FIELD(TfmRestReg, bvlRead), L"", 8, 8, 361, 37, akLeft | akTop | akRight,
     {.Bevel = {.Shape = bsFrame}}},
    {TKind::Label, FORM_FIELD(TfmRestReg, Label1), L"Чтение  ", 16, 20, 52, 13},
    {TKind::RadioButton, FORM_FIELD(TfmRestReg, rbAll), L"все", 72, 18, 45, 17, akLeftTop, &TfmRestReg::rbAllClick,
     {.Flags = cfChecked}},
    {TKind::RadioButton, FORM_FIELD(TfmRestReg, rbSel), L"с", 124, 18, 29, 17, akLeftTop, &TfmRestReg::rbSelClick},
    {TKind::Edit, FORM_FIELD(TfmRestReg, edtStartNum), L"0", 156, 16, 65, 21},
    {TKind::Label, FORM_FIELD(TfmRestReg, lblEndNum), L"по", 230, 20, 20, 13},
    {TKind::Edit, FORM_FIELD(TfmRestReg, edtEndNum), L"1000", 252, 16, 65, 21},
    {TKind::Memo, FORM_FIELD(TfmRestReg, Memo), L"", 8, 52, 361, 305, akAll,
     {.Flags = cfNoWordWrap, .Font = &kListingFont, .AccName = L"Регистры остатков"}},
    {TKind::ProgressBar, FORM_FIELD(TfmRestReg, ProgressBar), L"", 8, 366, 297, 17, akLeft | akRight | akBottom,
     {.Flags = cfHidden}},
    {TKind::Label, FORM_FIELD(TfmRestReg, lblRegisterNumber), L"", 312, 368, 57, 13, akRight | akBottom,
     {.Flags = cfHidden | cfAlignRight}},
    {TKind::Button, FORM_FIELD(TfmRestReg, btnRead), L"Прочитать", 376, 8, 94, 25, akTop | akRight,
     &TfmRestReg::btnReadClick},
    {TKind::Button, FORM_FIELD(TfmRestReg, btnWrite), L"Записать", 376, 40, 94, 25, akTop | akRight,
     &TfmRestReg::btnWriteClick},
    {TKind::Button, FORM_FIELD(TfmRestReg, btnBreak), L"Прервать", 376, 72, 94, 25, akTop | akRight,
     &TfmRestReg::btnBreakClick, {.Flags = cfDisabled}},
    {TKind::Button, FORM_FIELD(TfmRestReg, btnClear), L"Очистить", 376, 104, 94, 25, akTop | akRight,
     &TfmRestReg::btnClearClick},
    {TKind::Button, FORM_FIELD(TfmRestReg, btnLoadFromFile), L"Загрузить...", 376, 144, 94, 25, akTop | akRight,
     &TfmRestReg::btnLoadFromFileClick, {.Button = {.Glyph = bgOpen}}},
    {TKind::Button, FORM_FIELD(TfmRestReg, btnSaveToFile), L"Сохранить...", 376, 176, 94, 25, akTop | akRight,
     &TfmRestReg::btnSaveToFileClick, {.Button = {.Glyph = bgSave}}},
};

}  // namespace

TfmRestReg::TfmRestReg() : TPage(kForm, kLayout) {
  BindFields(*this, kLayout);
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
