#include "fmuFlags.h"

#include "fmuStatus.h"
#include "untStatus.h"

namespace {

const TFormDef kForm = [] {
  TFormDef d;
  d.Caption = L"Флаги ККМ";
  d.ClientWidth = 478;
  d.ClientHeight = 391;
  d.BorderStyle = bsSingle;
  return d;
}();

const TCtlDef kLayout[] = {
    {TKind::Memo, L"Memo", L"", 8, 8, 377, 375, akAll,
     {.Flags = cfReadOnly | cfNoWordWrap, .Font = &kListingFont}},
    {TKind::Button, L"btnGetECRFlags", L"Прочитать", 392, 8, 75, 25, akTop | akRight,
     &TfmFlags::btnGetECRFlagsClick},
};

}  // namespace

TfmFlags::TfmFlags() : TPage(kForm, kLayout) {
  Memo = Ctl<TMemo>(L"Memo");
  btnGetECRFlags = Ctl<TButton>(L"btnGetECRFlags");
}

void TfmFlags::btnGetECRFlagsClick() {
  Memo->Clear();
  TButtonsDisabled busy(*this);
  ReadEcrFlags(Driver(), [this](const std::wstring& line) { Memo->Add(line); });
}
