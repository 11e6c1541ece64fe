#include "fmuParams.h"

using cmdtest::TfmParams;

namespace {

const TFormDef kForm = [] {
  TFormDef d;
  d.Caption = L"Параметры";
  d.ClientWidth = 343;
  d.ClientHeight = 175;
  d.BorderStyle = bsDialog;
  d.BorderIcons = biSystemMenu;
  d.Position = poScreenCenter;
  d.Font.Name = L"MS Sans Serif";
  d.Font.Height = -11;
  return d;
}();

const TCtlDef kLayout[] = {
    {TKind::CheckBox, L"chbSendAnswer", L"Посылать ответ при получении команды", 8, 8, 265, 17, akLeftTop,
     {.Flags = cfChecked}},
    {TKind::CheckBox, L"chbWaitAnswer", L"Ожидать ответа после передачи команды", 8, 40, 281, 17},
    {TKind::Label, L"lblTimeout", L"Таймаут:", 24, 76, 0, 0},
    {TKind::Edit, L"edtTimeout", L"1000", 88, 72, 97, 21},
    {TKind::Bevel, L"Bevel1", L"", 8, 136, 329, 2, akLeftTop, {.Shape = bsTopLine}},
    {TKind::Button, L"btnOK", L"OK", 96, 144, 75, 25, akLeftTop, {.Flags = cfDefault, .ModalResult = mrOk}},
    {TKind::Button, L"btnCancel", L"Отмена", 176, 144, 75, 25, akLeftTop, {.Flags = cfCancel, .ModalResult = mrCancel}},
    {TKind::Button, L"btnDefaults", L"По умолчанию", 256, 144, 83, 25, akLeftTop, &TfmParams::btnDefaultsClick},
};

}  // namespace

namespace cmdtest {

TfmParams::TfmParams() : TMyForm(kForm, kLayout) {
  chbSendAnswer = Ctl<TCheckBox>(L"chbSendAnswer");
  chbWaitAnswer = Ctl<TCheckBox>(L"chbWaitAnswer");
  edtTimeout = Ctl<TEdit>(L"edtTimeout");
  btnOK = Ctl<TButton>(L"btnOK");
  btnCancel = Ctl<TButton>(L"btnCancel");
  btnDefaults = Ctl<TButton>(L"btnDefaults");
}

void TfmParams::ParamsToControls(const TAppParams& params) {
  chbSendAnswer->SetChecked(params.SendAnswer);
  chbWaitAnswer->SetChecked(params.WaitAnswer);
  edtTimeout->SetText(TimeoutToText(params.Timeout));
}

void TfmParams::ControlsToParams(TAppParams& params) {
  params.SendAnswer = chbSendAnswer->Checked();
  params.WaitAnswer = chbWaitAnswer->Checked();
  params.Timeout = TimeoutFromText(edtTimeout->Text());
}

void TfmParams::btnDefaultsClick() { ParamsToControls(TAppParams()); }

}  // namespace cmdtest

bool TAppParams::ShowDialog() {
  cmdtest::TfmParams dialog;
  dialog.ParamsToControls(*this);
  if (dialog.ShowModal() != mrOk) return false;
  dialog.ControlsToParams(*this);
  return true;
}
