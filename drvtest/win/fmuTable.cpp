#include "fmuTable.h"

namespace {

TFormDef PageForm() {
  TFormDef d = TPage::PageDef(L"Таблицы");
  d.BorderStyle = bsSizeable;
  return d;
}

const TFormDef kForm = PageForm();

const TCtlDef kLayout[] = {
    {TKind::Label, L"lblTableNumber", L"Номер таблицы:", 8, 12, 92, 13},
    {TKind::Edit, L"edtTableNumber", L"1", 104, 8, 73, 21, akLeftTop, {.Hint = L"TableNumber", .MaxLength = 3}},
    {TKind::UpDown, L"udTableNumber", L"", 160, 8, 17, 21, akLeftTop,
     {.Min = 0, .Max = 255, .Position = 1, .Associate = L"edtTableNumber"}},
    {TKind::Label, L"lblRowNumber", L"Номер ряда:", 8, 44, 92, 13},
    {TKind::Edit, L"edtRowNumber", L"1", 104, 40, 73, 21, akLeftTop, {.Hint = L"RowNumber"}},
    {TKind::UpDown, L"udRowNumber", L"", 160, 40, 17, 21, akLeftTop,
     {.Min = 0, .Max = 255, .Position = 1, .Associate = L"edtRowNumber"}},
    {TKind::Label, L"lblFieldNumber", L"Номер поля:", 8, 76, 92, 13},
    {TKind::Edit, L"edtFieldNumber", L"1", 104, 72, 73, 21, akLeftTop, {.Hint = L"FieldNumber"}},
    {TKind::UpDown, L"udFieldNumber", L"", 160, 72, 17, 21, akLeftTop,
     {.Min = 0, .Max = 255, .Position = 1, .Associate = L"edtFieldNumber"}},
    {TKind::Button, L"btnGetTableStruct", L"Получить структуру таблицы", 264, 8, 206, 25, akTop | akRight,
     &TfmTable::btnGetTableStructClick, {.Hint = L"GetTableStruct", .Glyph = bgTable}},
    {TKind::Button, L"btnGetFieldStruct", L"Получить структуру поля", 264, 38, 206, 25, akTop | akRight,
     &TfmTable::btnGetFieldStructClick, {.Hint = L"GetFieldStruct", .Glyph = bgField}},
    {TKind::Button, L"btnReadTable", L"Прочитать таблицу", 264, 68, 206, 25, akTop | akRight,
     &TfmTable::btnReadTableClick, {.Hint = L"ReadTable", .Glyph = bgRead}},
    {TKind::Button, L"btnWriteTable", L"Записать таблицу", 264, 98, 206, 25, akTop | akRight,
     &TfmTable::btnWriteTableClick, {.Hint = L"WriteTable", .Glyph = bgWrite}},
    {TKind::Button, L"btnInitTable", L"Инициализировать таблицы", 264, 128, 206, 25, akTop | akRight,
     &TfmTable::btnInitTableClick, {.Hint = L"InitTable", .Glyph = bgInit}},
    {TKind::Label, L"lblValue", L"Значение:", 8, 170, 92, 13},
    {TKind::Edit, L"edtValue", L"0123456789012345678901234567890123456789", 104, 166, 366, 21,
     akLeft | akTop | akRight, {.Hint = L"Значение"}},
    {TKind::Memo, L"Memo", L"", 8, 196, 462, 187, akAll,
     {.Flags = cfReadOnly | cfScrollBars | cfNoTabStop, .Font = &kListingFont}},
};

}  // namespace

TfmTable::TfmTable() : TPage(kForm, kLayout) {
  lblTableNumber = Ctl<TLabel>(L"lblTableNumber");
  edtTableNumber = Ctl<TEdit>(L"edtTableNumber");
  udTableNumber = Ctl<TUpDown>(L"udTableNumber");
  lblRowNumber = Ctl<TLabel>(L"lblRowNumber");
  edtRowNumber = Ctl<TEdit>(L"edtRowNumber");
  udRowNumber = Ctl<TUpDown>(L"udRowNumber");
  lblFieldNumber = Ctl<TLabel>(L"lblFieldNumber");
  edtFieldNumber = Ctl<TEdit>(L"edtFieldNumber");
  udFieldNumber = Ctl<TUpDown>(L"udFieldNumber");
  lblValue = Ctl<TLabel>(L"lblValue");
  edtValue = Ctl<TEdit>(L"edtValue");
  Memo = Ctl<TMemo>(L"Memo");
  btnGetTableStruct = Ctl<TButton>(L"btnGetTableStruct");
  btnGetFieldStruct = Ctl<TButton>(L"btnGetFieldStruct");
  btnReadTable = Ctl<TButton>(L"btnReadTable");
  btnWriteTable = Ctl<TButton>(L"btnWriteTable");
  btnInitTable = Ctl<TButton>(L"btnInitTable");
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
