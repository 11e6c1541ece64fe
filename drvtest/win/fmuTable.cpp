#include "fmuTable.h"

namespace {

TFormDef PageForm() {
  TFormDef d = TPage::PageDef(L"Таблицы");
  d.BorderStyle = bsSizeable;
  return d;
}

const TFormDef kForm = PageForm();

const TCtlDef kLayout[] = {
    {TKind::Label, FORM_FIELD(TfmTable, lblTableNumber), L"Номер таблицы:", 8, 12, 92, 13},
    {TKind::Edit, FORM_FIELD(TfmTable, edtTableNumber), L"1", 104, 8, 73, 21, akLeftTop, {.Hint = L"TableNumber",
                                                                                          .Edit = {.MaxLength = 3}}},
    {TKind::UpDown, FORM_FIELD(TfmTable, udTableNumber), L"", 160, 8, 17, 21, akLeftTop,
     {.Range = {.Min = 0, .Max = 255, .Position = 1, .Associate = L"edtTableNumber"}}},
    {TKind::Label, FORM_FIELD(TfmTable, lblRowNumber), L"Номер ряда:", 8, 44, 92, 13},
    {TKind::Edit, FORM_FIELD(TfmTable, edtRowNumber), L"1", 104, 40, 73, 21, akLeftTop, {.Hint = L"RowNumber"}},
    {TKind::UpDown, FORM_FIELD(TfmTable, udRowNumber), L"", 160, 40, 17, 21, akLeftTop,
     {.Range = {.Min = 0, .Max = 255, .Position = 1, .Associate = L"edtRowNumber"}}},
    {TKind::Label, FORM_FIELD(TfmTable, lblFieldNumber), L"Номер поля:", 8, 76, 92, 13},
    {TKind::Edit, FORM_FIELD(TfmTable, edtFieldNumber), L"1", 104, 72, 73, 21, akLeftTop, {.Hint = L"FieldNumber"}},
    {TKind::UpDown, FORM_FIELD(TfmTable, udFieldNumber), L"", 160, 72, 17, 21, akLeftTop,
     {.Range = {.Min = 0, .Max = 255, .Position = 1, .Associate = L"edtFieldNumber"}}},
    {TKind::Button, FORM_FIELD(TfmTable, btnGetTableStruct), L"Получить структуру таблицы", 264, 8, 206, 25,
     akTop | akRight,
     &TfmTable::btnGetTableStructClick, {.Hint = L"GetTableStruct", .Button = {.Glyph = bgTable}}},
    {TKind::Button, FORM_FIELD(TfmTable, btnGetFieldStruct), L"Получить структуру поля", 264, 38, 206, 25,
     akTop | akRight,
     &TfmTable::btnGetFieldStructClick, {.Hint = L"GetFieldStruct", .Button = {.Glyph = bgField}}},
    {TKind::Button, FORM_FIELD(TfmTable, btnReadTable), L"Прочитать таблицу", 264, 68, 206, 25, akTop | akRight,
     &TfmTable::btnReadTableClick, {.Hint = L"ReadTable", .Button = {.Glyph = bgRead}}},
    {TKind::Button, FORM_FIELD(TfmTable, btnWriteTable), L"Записать таблицу", 264, 98, 206, 25, akTop | akRight,
     &TfmTable::btnWriteTableClick, {.Hint = L"WriteTable", .Button = {.Glyph = bgWrite}}},
    {TKind::Button, FORM_FIELD(TfmTable, btnInitTable), L"Инициализировать таблицы", 264, 128, 206, 25, akTop | akRight,
     &TfmTable::btnInitTableClick, {.Hint = L"InitTable", .Button = {.Glyph = bgInit}}},
    {TKind::Label, FORM_FIELD(TfmTable, lblValue), L"Значение:", 8, 170, 92, 13},
    {TKind::Edit, FORM_FIELD(TfmTable, edtValue), L"0123456789012345678901234567890123456789", 104, 166, 366, 21,
     akLeft | akTop | akRight, {.Hint = L"Значение"}},
    {TKind::Memo, FORM_FIELD(TfmTable, Memo), L"", 8, 196, 462, 187, akAll,
     {.Flags = cfReadOnly | cfScrollBars | cfNoTabStop, .Font = &kListingFont, .AccName = L"Результат"}},
};

}  // namespace

TfmTable::TfmTable() : TPage(kForm, kLayout) {
  BindFields(*this, kLayout);
}

void TfmTable::Run(TTableOp op) {
  Memo->Clear();
  TDriverAction busy(*this);
  const TTableInput input{edtTableNumber->Text(), edtRowNumber->Text(), edtFieldNumber->Text(), edtValue->Text()};
  const TTableAnswer answer = RunTableOp(Driver(), op, input);
  Memo->AddLines(answer.Lines);
  if (answer.Value) edtValue->SetText(*answer.Value);
}

void TfmTable::btnGetTableStructClick() { Run(TTableOp::GetTableStruct); }

void TfmTable::btnGetFieldStructClick() { Run(TTableOp::GetFieldStruct); }

void TfmTable::btnReadTableClick() { Run(TTableOp::ReadTable); }

void TfmTable::btnWriteTableClick() { Run(TTableOp::WriteTable); }

void TfmTable::btnInitTableClick() {
  TDriverAction busy(*this);
  RunInitTable(Driver());
}
