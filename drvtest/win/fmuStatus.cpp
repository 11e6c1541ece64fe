#include "fmuStatus.h"

#include "untStatus.h"

namespace {

const TFormDef kForm = TPage::PageDef(L"Состояние");

const TCtlDef kLayout[] = {
    {TKind::Memo, FORM_FIELD(TfmStatus, Memo), L"", 8, 8, 377, 375, akAll,
     {.Flags = cfReadOnly | cfNoWordWrap, .Font = &kListingFont, .AccName = L"Состояние"}},
    {TKind::Button, FORM_FIELD(TfmStatus, btnGetECRStatus), L"ККМ", 392, 8, 75, 25, akTop | akRight,
     &TfmStatus::btnGetECRStatusClick},
    {TKind::Button, FORM_FIELD(TfmStatus, btnGetFMStatus), L"ФП", 392, 40, 75, 25, akTop | akRight,
     &TfmStatus::btnGetFMStatusClick},
};

}  // namespace

TfmStatus::TfmStatus() : TPage(kForm, kLayout) {
  BindFields(*this, kLayout);
}

void TfmStatus::btnGetECRStatusClick() {
  Memo->Clear();
  TDriverAction busy(*this);
  ReadEcrStatus(Driver(), MemoSink(*Memo));
}

void TfmStatus::btnGetFMStatusClick() {
  Memo->Clear();
  TDriverAction busy(*this);
  ReadFMStatus(Driver(), MemoSink(*Memo));
}
