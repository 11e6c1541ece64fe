#include "fmuGoTo.h"

#include "untDumpView.h"

namespace {

const TFormDef kForm = [] {
  TFormDef d;
  d.Caption = L"Переход";
  d.ClientWidth = 250;
  d.ClientHeight = 80;
  d.BorderStyle = bsDialog;
  d.BorderIcons = biSystemMenu;
  d.Position = poOwnerFormCenter;
  return d;
}();

const TCtlDef kLayout[] = {
    {TKind::Label, L"lblOffset", L"Смещение (hex):", 8, 12, 0, 0},
    {TKind::Edit, FORM_FIELD(TfmGoTo, edtOffset), L"", 104, 8, 138, 21},
    {TKind::Button, FORM_FIELD(TfmGoTo, btnOK), L"OK", 88, 48, 75, 25, akLeftTop,
     {.Flags = cfDefault, .Button = {.ModalResult = mrOk}}},
    {TKind::Button, FORM_FIELD(TfmGoTo, btnCancel), L"Отмена", 168, 48, 75, 25, akLeftTop,
     {.Flags = cfCancel, .Button = {.ModalResult = mrCancel}}},
};

}  // namespace

TfmGoTo::TfmGoTo() : TMyForm(kForm, kLayout) { BindFields(*this, kLayout); }

bool TfmGoTo::Ask(HWND owner, uint64_t& offset) {
  TfmGoTo dialog;
  dialog.SetOwnerWindow(owner);
  if (dialog.ShowModal() != mrOk) return false;
  offset = ParseDumpOffset(dialog.edtOffset->Text());
  return true;
}
