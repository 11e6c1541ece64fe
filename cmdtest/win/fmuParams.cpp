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
    {TKind::CheckBox, FORM_FIELD(TfmParams, chbSendAnswer), L"Посылать ответ при получении команды", 8, 8, 265, 17,
     akLeftTop, {.Flags = cfChecked}},
    {TKind::CheckBox, FORM_FIELD(TfmParams, chbWaitAnswer), L"Ожидать ответа после передачи команды", 8, 40, 281, 17},
    {TKind::Label, L"lblTimeout", L"Таймаут:", 24, 76, 0, 0},
    {TKind::Edit, FORM_FIELD(TfmParams, edtTimeout), L"1000", 88, 72, 97, 21},
    {TKind::Bevel, L"Bevel1", L"", 8, 136, 329, 2, akLeftTop, {.Bevel = {.Shape = bsTopLine}}},
    {TKind::Button, FORM_FIELD(TfmParams, btnOK), L"OK", 96, 144, 75, 25, akLeftTop,
     {.Flags = cfDefault, .Button = {.ModalResult = mrOk}}},
    {TKind::Button, FORM_FIELD(TfmParams, btnCancel), L"Отмена", 176, 144, 75, 25, akLeftTop,
     {.Flags = cfCancel, .Button = {.ModalResult = mrCancel}}},
    {TKind::Button, FORM_FIELD(TfmParams, btnDefaults), L"По умолчанию", 256, 144, 83, 25, akLeftTop,
     &TfmParams::btnDefaultsClick},
};

}  // namespace

namespace cmdtest {

TfmParams::TfmParams() : TMyForm(kForm, kLayout) {
  BindFields(*this, kLayout);
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
