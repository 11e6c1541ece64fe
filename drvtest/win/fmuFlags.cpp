#include "fmuFlags.h"

#include "fmuStatus.h"
#include "untStatus.h"

namespace {

const TFormDef kForm = TPage::PageDef(L"Флаги ККМ");

const TCtlDef kLayout[] = {
    {TKind::Memo, FORM_FIELD(TfmFlags, Memo), L"", 8, 8, 377, 375, akAll,
     {.Flags = cfReadOnly | cfNoWordWrap, .Font = &kListingFont, .AccName = L"Флаги ККМ"}},
    {TKind::Button, FORM_FIELD(TfmFlags, btnGetECRFlags), L"Прочитать", 392, 8, 75, 25, akTop | akRight,
     &TfmFlags::btnGetECRFlagsClick},
};

}  // namespace

TfmFlags::TfmFlags() : TPage(kForm, kLayout) {
  BindFields(*this, kLayout);
}

void TfmFlags::btnGetECRFlagsClick() {
  Memo->Clear();
  TDriverAction busy(*this);
  ReadEcrFlags(Driver(), MemoSink(*Memo));
}
