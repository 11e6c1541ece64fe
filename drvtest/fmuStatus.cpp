#include "fmuStatus.h"

#include "untStatus.h"

const TFontDef kListingFont = [] {
  TFontDef f;
  f.Name = L"Courier New";
  f.Height = -13;
  f.CharSet = RUSSIAN_CHARSET;
  f.Pitch = fpFixed;
  return f;
}();

namespace {

const TFormDef kForm = [] {
  TFormDef d;
  d.Caption = L"Состояние";
  d.ClientWidth = 478;
  d.ClientHeight = 391;
  d.BorderStyle = bsSingle;
  return d;
}();

const TCtlDef kLayout[] = {
    {TKind::Memo, L"Memo", L"", 8, 8, 377, 375, akAll,
     {.Flags = cfReadOnly | cfNoWordWrap, .Font = &kListingFont}},
    {TKind::Button, L"btnGetECRStatus", L"ККМ", 392, 8, 75, 25, akTop | akRight, &TfmStatus::btnGetECRStatusClick},
    {TKind::Button, L"btnGetFMStatus", L"ФП", 392, 40, 75, 25, akTop | akRight, &TfmStatus::btnGetFMStatusClick},
};

}  // namespace

TfmStatus::TfmStatus() : TPage(kForm, kLayout) {
  Memo = Ctl<TMemo>(L"Memo");
  btnGetECRStatus = Ctl<TButton>(L"btnGetECRStatus");
  btnGetFMStatus = Ctl<TButton>(L"btnGetFMStatus");
}

void TfmStatus::btnGetECRStatusClick() {
  Memo->Clear();
  TButtonsDisabled busy(*this);
  ReadEcrStatus(Driver(), [this](const std::wstring& line) { Memo->Add(line); });
}

void TfmStatus::btnGetFMStatusClick() {
  Memo->Clear();
  TButtonsDisabled busy(*this);
  ReadFMStatus(Driver(), [this](const std::wstring& line) { Memo->Add(line); });
}
