#include "fmuReceipt.h"

namespace {

const TFormDef kForm = TPage::PageDef(L"Чеки");

const TCtlOpts kFigure = {.Flags = cfReadOnly, .Color = clBtnFace};

const TCtlDef kLayout[] = {
    {TKind::Label, FORM_FIELD(TfmReceipt, lblTotalSum), L"Общая сумма, руб.:", 8, 12, 0, 0},
    {TKind::Edit, FORM_FIELD(TfmReceipt, edtTotalSum), L"", 128, 8, 145, 21, akLeftTop, kFigure},
    {TKind::Label, FORM_FIELD(TfmReceipt, lblRecCount), L"Количество чеков:", 8, 44, 0, 0},
    {TKind::Edit, FORM_FIELD(TfmReceipt, edtRecCount), L"", 128, 40, 145, 21, akLeftTop, kFigure},
    {TKind::Label, FORM_FIELD(TfmReceipt, lblRecSum), L"Сумма чека, руб.:", 8, 76, 0, 0},
    {TKind::Edit, FORM_FIELD(TfmReceipt, edtRecSum), L"", 128, 72, 145, 21, akLeftTop, kFigure},
    {TKind::Button, FORM_FIELD(TfmReceipt, btnResetSum), L"Сбросить", 392, 8, 75, 25, akTop | akRight,
     &TfmReceipt::btnResetSumClick},
};

}  // namespace

TfmReceipt::TfmReceipt() : TPage(kForm, kLayout), FMonitor([this] { Refresh(); }) {
  BindFields(*this, kLayout);
  OnShow = [this] { FormShow(); };
  OnHide = [this] { FormHide(); };
}

void TfmReceipt::Refresh() {
  const TReceiptTexts t = FMonitor.Texts();
  edtTotalSum->SetText(t.TotalSum);
  edtRecCount->SetText(t.RecCount);
  edtRecSum->SetText(t.RecSum);
}

void TfmReceipt::btnResetSumClick() {
  FMonitor.ResetSums();
  Refresh();
}

void TfmReceipt::FormShow() {
  Refresh();
  // As on the commands page: a driver that cannot be created is reported and
  // the page still comes up, and the counting and answering hold the pages'
  // driver lock.
  Application().Guard([this] { FMonitor.Bind(Driver(), DriverLock()); });
}

void TfmReceipt::FormHide() { FMonitor.Unbind(); }
