#include "fmuStatus.h"

#include "untStatus.h"

namespace {

const TFormDef kForm = TPage::PageDef(L"Состояние");

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
  TDriverAction busy(*this);
  ReadEcrStatus(Driver(), MemoSink(*Memo));
}

void TfmStatus::btnGetFMStatusClick() {
  Memo->Clear();
  TDriverAction busy(*this);
  ReadFMStatus(Driver(), MemoSink(*Memo));
}
