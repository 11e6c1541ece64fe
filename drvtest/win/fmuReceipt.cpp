#include "fmuReceipt.h"

namespace {

const TFormDef kForm = TPage::PageDef(L"Чеки");

const TCtlOpts kFigure = {.Flags = cfReadOnly, .Color = clBtnFace};

const TCtlDef kLayout[] = {
    {TKind::Label, L"lblTotalSum", L"Общая сумма, руб.:", 8, 12, 0, 0},
    {TKind::Edit, L"edtTotalSum", L"", 128, 8, 145, 21, akLeftTop, kFigure},
    {TKind::Label, L"lblRecCount", L"Количество чеков:", 8, 44, 0, 0},
    {TKind::Edit, L"edtRecCount", L"", 128, 40, 145, 21, akLeftTop, kFigure},
    {TKind::Label, L"lblRecSum", L"Сумма чека, руб.:", 8, 76, 0, 0},
    {TKind::Edit, L"edtRecSum", L"", 128, 72, 145, 21, akLeftTop, kFigure},
    {TKind::Button, L"btnResetSum", L"Сбросить", 392, 8, 75, 25, akTop | akRight, &TfmReceipt::btnResetSumClick},
};

}  // namespace

TfmReceipt::TfmReceipt() : TPage(kForm, kLayout), FMonitor([this] { Refresh(); }) {
  lblTotalSum = Ctl<TLabel>(L"lblTotalSum");
  edtTotalSum = Ctl<TEdit>(L"edtTotalSum");
  lblRecCount = Ctl<TLabel>(L"lblRecCount");
  edtRecCount = Ctl<TEdit>(L"edtRecCount");
  lblRecSum = Ctl<TLabel>(L"lblRecSum");
  edtRecSum = Ctl<TEdit>(L"edtRecSum");
  btnResetSum = Ctl<TButton>(L"btnResetSum");
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
