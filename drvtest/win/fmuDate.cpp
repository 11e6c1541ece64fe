#include "fmuDate.h"

#include <cmath>

#include "untDate.h"
#include "untDateTime.h"

namespace {

const TFormDef kForm = TPage::PageDef(L"Дополнительно");

const TCtlDef kLayout[] = {
    {TKind::Label, FORM_FIELD(TfmDate, lblECRDate), L"Дата ККМ:", 8, 14, 90, 13},
    {TKind::DateTimePicker, FORM_FIELD(TfmDate, dtpDate), L"", 104, 10, 121, 21},
    {TKind::Button, FORM_FIELD(TfmDate, btnSetDate), L"Записать", 232, 8, 75, 25, akLeftTop, &TfmDate::btnSetDateClick},
    {TKind::Label, FORM_FIELD(TfmDate, lblECRTime), L"Время ККМ:", 8, 46, 90, 13},
    {TKind::DateTimePicker, FORM_FIELD(TfmDate, dtpTime), L"", 104, 42, 121, 21, akLeftTop, {.Flags = cfTimeKind}},
    {TKind::Button, FORM_FIELD(TfmDate, btnSetTime), L"Записать", 232, 40, 75, 25, akLeftTop,
     &TfmDate::btnSetTimeClick},
    {TKind::Label, FORM_FIELD(TfmDate, lblDateTime), L"Установка текущей даты и времени", 8, 78, 217, 13},
    {TKind::Button, FORM_FIELD(TfmDate, btnSetDateTime), L"Выполнить", 232, 72, 75, 25, akLeftTop,
     &TfmDate::btnSetDateTimeClick},
    {TKind::Bevel, FORM_FIELD(TfmDate, Bevel1), L"", 8, 108, 462, 2, akLeft | akTop | akRight,
     {.Bevel = {.Shape = bsTopLine}}},
    {TKind::Label, FORM_FIELD(TfmDate, lblInitTables), L"Инициализация таблиц", 8, 126, 217, 13},
    {TKind::Button, FORM_FIELD(TfmDate, btnInitTables), L"Выполнить", 232, 120, 75, 25, akLeftTop,
     &TfmDate::btnInitTablesClick},
};

}  // namespace

TfmDate::TfmDate() : TPage(kForm, kLayout) {
  BindFields(*this, kLayout);
  FormCreate();
}

// The pickers show the moment the program started until the user changes them.
void TfmDate::FormCreate() {
  const TDateTime now = Now();
  const TDateTime today = std::floor(now);
  dtpDate->SetDateTime(today);
  dtpTime->SetDateTime(now - today);
}

void TfmDate::btnSetDateClick() {
  TDriverAction busy(*this);
  WriteEcrDate(Driver(), dtpDate->DateTime());
}

void TfmDate::btnSetTimeClick() {
  TDriverAction busy(*this);
  WriteEcrTime(Driver(), dtpTime->DateTime());
}

void TfmDate::btnSetDateTimeClick() {
  TDriverAction busy(*this);
  WriteCurrentDateTime(Driver());
}

void TfmDate::btnInitTablesClick() {
  TDriverAction busy(*this);
  InitEcrTables(Driver());
}
