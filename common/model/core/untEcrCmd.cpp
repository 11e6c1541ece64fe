#include "untEcrCmd.h"

#include "untDateText.h"
#include "untDateTime.h"

namespace {

// Date and time defaults are taken once, when the command is made, so a
// list keeps the moment it was built for as long as it lives.
std::wstring CurrentDate() { return DateToStr(Date()); }
std::wstring CurrentTime() { return TimeToStr(Time()); }

struct TCommandListRow {
  uint8_t Code;
  const wchar_t* Name;
};

// The order users know the commands by; the command test program numbers
// them from 1 in this order.
const TCommandListRow kCommandList[] = {
    {0x01, L"Запрос дампа"},
    {0x10, L"Запрос флагов"},
    {0x11, L"Запрос состояния ККМ"},
    {0x12, L"Запрос состояния ФП"},
    {0x13, L"Гудок"},
    {0x14, L"Установка параметров"},
    {0x15, L"Чтение параметров"},
    {0x1A, L"Запрос денежного регистра"},
    {0x1B, L"Запрос операционного регистра"},
    {0x1C, L"Запрос регистра остатков"},
    {0x1D, L"Запись регистра остатков"},
    {0x1E, L"Запись таблицы"},
    {0x1F, L"Чтение таблицы"},
    {0x20, L"Запись положения точки"},
    {0x21, L"Установка времени"},
    {0x22, L"Установка даты"},
    {0x24, L"Инициализация таблиц"},
    {0x2D, L"Запрос структуры таблицы"},
    {0x2E, L"Запрос структуры поля"},
    {0xC0, L"Загрузка графики"},
    {0xFC, L"Получение типа устройства"},
    {0xFA, L"Поиск"},
    {0x50, L"*Подкрепление"},
    {0x51, L"*Инкассация"},
    {0x52, L"*Закрытие смены"},
    {0x80, L"*Регистрация по свободной цене"},
    {0x81, L"*Регистрация по коду"},
    {0x82, L"*Регистрация по штрих-коду"},
    {0x83, L"*Свободная скидка"},
    {0x84, L"*Скидка по коду"},
    {0x85, L"*Скидка по штрих-коду"},
    {0x86, L"*Скидка по запросу"},
    {0x87, L"*Свободная оплата чека"},
    {0x88, L"*Оплата чека по запросу"},
    {0x90, L"*Закрытие чека"},
    {0x91, L"*Аннулирование чека"},
    {0x92, L"*Подтверждение закрытия"},
};

}  // namespace

#define PLOVER_ECR_CLASS_INFO(cls)                                                     \
  TCommandClass cls::Class() {                                                         \
    static const TCommandClassInfo info{L## #cls, &TCommand::ConstructAs<cls>};        \
    return &info;                                                                      \
  }

PLOVER_ECR_CLASS_INFO(TCommand01h)
PLOVER_ECR_CLASS_INFO(TCommand10h)
PLOVER_ECR_CLASS_INFO(TCommand11h)
PLOVER_ECR_CLASS_INFO(TCommand12h)
PLOVER_ECR_CLASS_INFO(TCommand14h)
PLOVER_ECR_CLASS_INFO(TCommand15h)
PLOVER_ECR_CLASS_INFO(TCommand1Ah)
PLOVER_ECR_CLASS_INFO(TCommand1Bh)
PLOVER_ECR_CLASS_INFO(TCommand1Ch)
PLOVER_ECR_CLASS_INFO(TCommand1Dh)
PLOVER_ECR_CLASS_INFO(TCommand1Eh)
PLOVER_ECR_CLASS_INFO(TCommand1Fh)
PLOVER_ECR_CLASS_INFO(TCommand20h)
PLOVER_ECR_CLASS_INFO(TCommand21h)
PLOVER_ECR_CLASS_INFO(TCommand22h)
PLOVER_ECR_CLASS_INFO(TCommand2Dh)
PLOVER_ECR_CLASS_INFO(TCommand2Eh)
PLOVER_ECR_CLASS_INFO(TCommand50h)
PLOVER_ECR_CLASS_INFO(TCommand51h)
PLOVER_ECR_CLASS_INFO(TCommand52h)
PLOVER_ECR_CLASS_INFO(TCommand80h)
PLOVER_ECR_CLASS_INFO(TCommand81h)
PLOVER_ECR_CLASS_INFO(TCommand82h)
PLOVER_ECR_CLASS_INFO(TCommand83h)
PLOVER_ECR_CLASS_INFO(TCommand84h)
PLOVER_ECR_CLASS_INFO(TCommand85h)
PLOVER_ECR_CLASS_INFO(TCommand86h)
PLOVER_ECR_CLASS_INFO(TCommand87h)
PLOVER_ECR_CLASS_INFO(TCommand88h)
PLOVER_ECR_CLASS_INFO(TCommand90h)
PLOVER_ECR_CLASS_INFO(TCommand91h)
PLOVER_ECR_CLASS_INFO(TCommandC0h)
PLOVER_ECR_CLASS_INFO(TCommandFCh)

#undef PLOVER_ECR_CLASS_INFO

TCommandClass CommandClassByCode(uint8_t code) {
  switch (code) {
    case 0x01: return TCommand01h::Class();
    case 0x10: return TCommand10h::Class();
    case 0x11: return TCommand11h::Class();
    case 0x12: return TCommand12h::Class();
    case 0x14: return TCommand14h::Class();
    case 0x15: return TCommand15h::Class();
    case 0x1A: return TCommand1Ah::Class();
    case 0x1B: return TCommand1Bh::Class();
    case 0x1C: return TCommand1Ch::Class();
    case 0x1D: return TCommand1Dh::Class();
    case 0x1E: return TCommand1Eh::Class();
    case 0x1F: return TCommand1Fh::Class();
    case 0x20: return TCommand20h::Class();
    case 0x21: return TCommand21h::Class();
    case 0x22: return TCommand22h::Class();
    case 0x2D: return TCommand2Dh::Class();
    case 0x2E: return TCommand2Eh::Class();
    case 0x50: return TCommand50h::Class();
    case 0x51: return TCommand51h::Class();
    case 0x52: return TCommand52h::Class();
    case 0x80: return TCommand80h::Class();
    case 0x81: return TCommand81h::Class();
    case 0x82: return TCommand82h::Class();
    case 0x83: return TCommand83h::Class();
    case 0x84: return TCommand84h::Class();
    case 0x85: return TCommand85h::Class();
    case 0x86: return TCommand86h::Class();
    case 0x87: return TCommand87h::Class();
    case 0x88: return TCommand88h::Class();
    case 0x90: return TCommand90h::Class();
    case 0x91: return TCommand91h::Class();
    case 0xC0: return TCommandC0h::Class();
    case 0xFC: return TCommandFCh::Class();
    default: return TCommand::Class();
  }
}

const wchar_t* CommandNameByCode(uint8_t code) {
  for (const auto& row : kCommandList)
    if (row.Code == code) return row.Name;
  return nullptr;
}

void CreateCommands(TCommands& list) {
  list.Clear();
  for (const auto& row : kCommandList)
    TCommand::Create(CommandClassByCode(row.Code), list, row.Name, row.Code);
}

// Each command's own inputs and outputs, in the order the protocol sends them.

void TCommand01h::AddParams() {
  AddInParam(L"DeviceNumber", L"Код устройства", L"0", ptInteger);
  AddInParam(L"DataBlockNumber", L"Номер блока данных", L"0", ptInteger);
  AddOutParam(L"DataBlockCount", L"Количество блоков", L"0", ptInteger);
  AddOutParam(L"DataBlock", L"Данные блока", L"0", ptHexData);
}

void TCommand10h::AddParams() {
  AddInParam(L"FlagNumber", L"Номер бита", L"0", ptInteger);
  AddOutParam(L"FlagName", L"Название бита", L"Бит 0", ptString);
}

void TCommand11h::AddParams() {
  AddOutParam(L"OperatorNumber", L"Номер оператора", L"0", ptInteger);
  AddOutParam(L"ECRSoftVersion", L"Версия ПО ККМ", L"1.0", ptString);
  AddOutParam(L"ECRSoftBuild", L"Сборка ПО ККМ", L"1234", ptInteger);
  AddOutParam(L"ECRSoftDate", L"Дата ПО ККМ", CurrentDate(), ptDate);
  AddOutParam(L"DocumentNumber", L"Номер документа", L"0", ptInteger);
  AddOutParam(L"ECRFlags", L"Флаги ККМ", L"0", ptInteger);
  AddOutParam(L"ECRMode", L"Режим ККМ", L"0", ptInteger);
  AddOutParam(L"ECRAdvancedMode", L"Подрежим ККМ", L"0", ptInteger);
  AddOutParam(L"ECRPortNumber", L"Порт ККМ", L"0", ptInteger);
  AddOutParam(L"ECRDate", L"Дата ККМ", CurrentDate(), ptDate);
  AddOutParam(L"ECRTime", L"Время ККМ", CurrentTime(), ptTime);
}

void TCommand12h::AddParams() {
  AddOutParam(L"FMSoftVersion", L"Версия ПО ФП", L"1.0", ptString);
  AddOutParam(L"FMSoftBuild", L"Сборка ПО ФП", L"0", ptInteger);
  AddOutParam(L"SerialNumber", L"Заводской номер", L"0", ptString);
  AddOutParam(L"SessionNumber", L"Номер смены", L"0", ptInteger);
  AddOutParam(L"FreeRecordInFM", L"Свободно записей в ФП", L"0", ptInteger);
  AddOutParam(L"RegistrationNumber", L"Количество перерегистраций", L"0", ptInteger);
  AddOutParam(L"FreeRegistration", L"Осталось перерегистраций", L"0", ptInteger);
  AddOutParam(L"INN", L"ИНН", L"0", ptString);
  AddOutParam(L"ActivizationNumber", L"Количество активизаций", L"0", ptInteger);
  AddOutParam(L"FreeActivization", L"Осталось активизаций", L"0", ptInteger);
  AddOutParam(L"EKLZNumber", L"Номер ЭКЛЗ", L"0", ptString);
}

void TCommand14h::AddParams() {
  AddInParam(L"ECRPortNumber", L"Номер порта", L"0", ptInteger);
  AddInParam(L"ECRBaudRate", L"Скорость обмена", L"3", ptInteger);
  AddInParam(L"ECRTimeout", L"Таймаут", L"100", ptInteger);
}

void TCommand15h::AddParams() {
  AddInParam(L"ECRPortNumber", L"Номер порта", L"0", ptInteger);
  AddOutParam(L"ECRBaudRate", L"Скорость обмена", L"3", ptInteger);
  AddOutParam(L"ECRTimeout", L"Таймаут", L"0", ptInteger);
}

void TCommand1Ah::AddParams() {
  AddInParam(L"RegisterNumber", L"Номер регистра", L"0", ptInteger);
  AddOutParam(L"CashRegister", L"Значение регистра", L"0", ptCurrency);
}

void TCommand1Bh::AddParams() {
  AddInParam(L"RegisterNumber", L"Номер регистра", L"0", ptInteger);
  AddOutParam(L"OperationRegister", L"Значение регистра", L"0", ptInteger);
}

void TCommand1Ch::AddParams() {
  AddInParam(L"RegisterNumber", L"Номер регистра", L"0", ptInteger);
  AddOutParam(L"RestRegister", L"Значение регистра", L"0", ptDouble);
}

void TCommand1Dh::AddParams() {
  AddInParam(L"RegisterNumber", L"Номер регистра", L"0", ptInteger);
  AddOutParam(L"RestRegister", L"Значение регистра", L"0", ptDouble);
}

void TCommand1Eh::AddParams() {
  AddInParam(L"TableNumber", L"Номер таблицы", L"0", ptInteger);
  AddInParam(L"RowNumber", L"Номер ряда", L"0", ptInteger);
  AddInParam(L"FieldNumber", L"Номер поля", L"0", ptInteger);
  AddInParam(L"FieldType", L"Тип поля", L"0", ptInteger);
  AddInParam(L"FieldValue", L"Значение поля", L"0", ptString);
}

void TCommand1Fh::AddParams() {
  AddInParam(L"TableNumber", L"Номер таблицы", L"0", ptInteger);
  AddInParam(L"RowNumber", L"Номер ряда", L"0", ptInteger);
  AddInParam(L"FieldNumber", L"Номер поля", L"0", ptInteger);
  AddOutParam(L"FieldType", L"Тип поля", L"0", ptInteger);
  AddOutParam(L"FieldValue", L"Значение поля", L"0", ptString);
}

void TCommand20h::AddParams() {
  AddInParam(L"PositionOfPoint", L"Положение точки", L"0", ptInteger);
}

void TCommand21h::AddParams() {
  AddInParam(L"ECRHour", L"Час", L"0", ptInteger);
  AddInParam(L"ECRMin", L"Минута", L"0", ptInteger);
  AddInParam(L"ECRSec", L"Секунда", L"0", ptInteger);
}

void TCommand22h::AddParams() {
  AddInParam(L"ECRDay", L"День", L"0", ptInteger);
  AddInParam(L"ECRMonth", L"Месяц", L"0", ptInteger);
  AddInParam(L"ECRYear", L"Год", L"0", ptInteger);
}

void TCommand2Dh::AddParams() {
  AddInParam(L"TableNumber", L"Номер таблицы", L"0", ptInteger);
  AddOutParam(L"TableName", L"Название таблицы", L"0", ptString);
  AddOutParam(L"RowCount", L"Количество рядов", L"0", ptInteger);
  AddOutParam(L"FieldCount", L"Количество полей", L"0", ptInteger);
}

void TCommand2Eh::AddParams() {
  AddInParam(L"TableNumber", L"Номер таблицы", L"0", ptInteger);
  AddInParam(L"FieldNumber", L"Номер поля", L"0", ptInteger);
  AddOutParam(L"FieldName", L"Название поля", L"0", ptString);
  AddOutParam(L"FieldType", L"Тип поля", L"0", ptInteger);
  AddOutParam(L"FieldSize", L"Размер поля", L"0", ptInteger);
  AddOutParam(L"FieldMinValue", L"Минимальное значение", L"0", ptInteger);
  AddOutParam(L"FieldMaxValue", L"Максимальное значение", L"0", ptInteger);
}

void TCommand50h::AddParams() {
  AddInParam(L"Summ", L"Сумма", L"0", ptCurrency);
  AddInParam(L"ECRDate", L"Дата", CurrentDate(), ptDate);
  AddInParam(L"ECRTime", L"Время", CurrentTime(), ptTime);
  AddInParam(L"OperatorNumber", L"Оператор", L"0", ptInteger);
  AddInParam(L"DocumentNumber", L"Номер документа", L"0", ptInteger);
  AddInParam(L"OperationNumber", L"Номер подкрепления", L"0", ptInteger);
}

void TCommand51h::AddParams() {
  AddInParam(L"Summ", L"Сумма", L"0", ptCurrency);
  AddInParam(L"ECRDate", L"Дата", CurrentDate(), ptDate);
  AddInParam(L"ECRTime", L"Время", CurrentTime(), ptTime);
  AddInParam(L"OperatorNumber", L"Оператор", L"0", ptInteger);
  AddInParam(L"DocumentNumber", L"Номер документа", L"0", ptInteger);
  AddInParam(L"OperationNumber", L"Номер инкассации", L"0", ptInteger);
}

void TCommand52h::AddParams() {
  AddInParam(L"Summ", L"Сумма", L"0", ptCurrency);
  AddInParam(L"ECRDate", L"Дата", CurrentDate(), ptDate);
  AddInParam(L"ECRTime", L"Время", CurrentTime(), ptTime);
  AddInParam(L"OperatorNumber", L"Оператор", L"0", ptInteger);
  AddInParam(L"DocumentNumber", L"Номер документа", L"0", ptInteger);
  AddInParam(L"OperationNumber", L"Номер смены", L"0", ptInteger);
}

void TCommand80h::AddParams() {
  AddInParam(L"RegType", L"Тип", L"0", ptInteger);
  AddInParam(L"RegSign", L"Вид", L"0", ptInteger);
  AddInParam(L"Quantity", L"Количество", L"0", ptDouble);
  AddInParam(L"Price", L"Цена", L"0", ptCurrency);
  AddInParam(L"Section", L"Отдел", L"1", ptInteger);
  AddInParam(L"OperatorNumber", L"Номер оператора", L"0", ptInteger);
}

void TCommand81h::AddParams() {
  AddInParam(L"RegType", L"Тип", L"0", ptInteger);
  AddInParam(L"RegSign", L"Вид", L"0", ptInteger);
  AddInParam(L"Quantity", L"Количество", L"0", ptDouble);
  AddInParam(L"Code", L"Код", L"0", ptString);
  AddInParam(L"OperatorNumber", L"Номер оператора", L"0", ptString);
  AddOutParam(L"Text", L"Наименование", L"0", ptString);
  AddOutParam(L"Price", L"Цена", L"0", ptCurrency);
  AddOutParam(L"Section", L"Отдел", L"1", ptInteger);
  AddOutParam(L"Tax1", L"Налог 1", L"0", ptInteger);
  AddOutParam(L"Tax2", L"Налог 2", L"0", ptInteger);
  AddOutParam(L"Tax3", L"Налог 3", L"0", ptInteger);
  AddOutParam(L"Tax4", L"Налог 4", L"0", ptInteger);
}

void TCommand82h::AddParams() {
  AddInParam(L"RegType", L"Тип", L"0", ptInteger);
  AddInParam(L"RegSign", L"Вид", L"0", ptInteger);
  AddInParam(L"Quantity", L"Количество", L"0", ptDouble);
  AddInParam(L"Barcode", L"Штрих-код", L"0", ptString);
  AddInParam(L"OperatorNumber", L"Номер оператора", L"0", ptString);
  AddOutParam(L"Text", L"Наименование", L"0", ptString);
  AddOutParam(L"Price", L"Цена", L"0", ptCurrency);
  AddOutParam(L"Section", L"Отдел", L"1", ptInteger);
  AddOutParam(L"Tax1", L"Налог 1", L"0", ptInteger);
  AddOutParam(L"Tax2", L"Налог 2", L"0", ptInteger);
  AddOutParam(L"Tax3", L"Налог 3", L"0", ptInteger);
  AddOutParam(L"Tax4", L"Налог 4", L"0", ptInteger);
  AddOutParam(L"BarcodeType", L"Тип штрих-кода", L"0", ptInteger);
  AddOutParam(L"BarcodeWeight", L"Вес штрих-кода", L"0", ptDouble);
}

void TCommand83h::AddParams() {
  AddInParam(L"RegType", L"Тип", L"0", ptInteger);
  AddInParam(L"RegSign", L"Вид", L"0", ptInteger);
  AddInParam(L"DscSign", L"Знак скидки", L"0", ptInteger);
  AddInParam(L"Summ", L"Сумма", L"0", ptCurrency);
  AddInParam(L"OperatorNumber", L"Номер оператора", L"0", ptInteger);
}

void TCommand84h::AddParams() {
  AddInParam(L"RegType", L"Тип", L"0", ptInteger);
  AddInParam(L"RegSign", L"Вид", L"0", ptInteger);
  AddInParam(L"DscSign", L"Знак скидки", L"0", ptInteger);
  AddInParam(L"Code", L"Код", L"0", ptString);
  AddInParam(L"RecSumm", L"Сумма чека", L"0", ptCurrency);
  AddInParam(L"OperatorNumber", L"Номер оператора", L"0", ptInteger);
  AddOutParam(L"Text", L"Описание скидки", L"0", ptString);
  AddOutParam(L"Summ", L"Сумма скидки", L"0", ptCurrency);
}

void TCommand85h::AddParams() {
  AddInParam(L"RegType", L"Тип", L"0", ptInteger);
  AddInParam(L"RegSign", L"Вид", L"0", ptInteger);
  AddInParam(L"DscSign", L"Знак скидки", L"0", ptInteger);
  AddInParam(L"Barcode", L"Штрих-код", L"0", ptString);
  AddInParam(L"RecSumm", L"Сумма чека", L"0", ptDouble);
  AddInParam(L"OperatorNumber", L"Номер оператора", L"0", ptInteger);
  AddOutParam(L"Text", L"Описание скидки", L"0", ptString);
  AddOutParam(L"Summ", L"Сумма скидки", L"0", ptCurrency);
}

void TCommand86h::AddParams() {
  AddInParam(L"RegType", L"Тип", L"0", ptInteger);
  AddInParam(L"RegSign", L"Вид", L"0", ptInteger);
  AddInParam(L"DscSign", L"Знак скидки", L"0", ptInteger);
  AddInParam(L"RecSumm", L"Сумма чека", L"0", ptCurrency);
  AddInParam(L"OperatorNumber", L"Номер оператора", L"0", ptInteger);
  AddOutParam(L"Text", L"Описание скидки", L"0", ptString);
  AddOutParam(L"Summ", L"Сумма скидки", L"0", ptCurrency);
}

void TCommand87h::AddParams() {
  AddInParam(L"PayType", L"Тип оплаты", L"0", ptInteger);
  AddInParam(L"RegType", L"Тип", L"0", ptInteger);
  AddInParam(L"RegSign", L"Вид", L"0", ptInteger);
  AddInParam(L"Summ", L"Сумма", L"0", ptCurrency);
  AddInParam(L"OperatorNumber", L"Номер оператора", L"0", ptInteger);
}

void TCommand88h::AddParams() {
  AddInParam(L"RegType", L"Тип", L"0", ptInteger);
  AddInParam(L"RegSign", L"Вид", L"0", ptInteger);
  AddInParam(L"RecSumm", L"Сумма чека", L"0", ptCurrency);
  AddInParam(L"OperatorNumber", L"Номер оператора", L"0", ptInteger);
  AddOutParam(L"PayType", L"Тип оплаты", L"0", ptInteger);
  AddOutParam(L"Summ", L"Сумма", L"0", ptCurrency);
}

void TCommand90h::AddParams() {
  AddInParam(L"OperatorNumber", L"Номер оператора", L"0", ptInteger);
  AddInParam(L"RegType", L"Тип чека", L"0", ptInteger);
  AddInParam(L"ECRDate", L"Дата", CurrentDate(), ptDate);
  AddInParam(L"ECRTime", L"Время", CurrentTime(), ptTime);
  AddInParam(L"DocumentNumber", L"Номер документа", L"0", ptInteger);
  AddInParam(L"ReceiptNumber", L"Номер чека", L"0", ptInteger);
  AddOutParam(L"TaxSumm1", L"Сумма налога 1", L"0", ptCurrency);
  AddOutParam(L"TaxSumm2", L"Сумма налога 2", L"0", ptCurrency);
  AddOutParam(L"TaxSumm3", L"Сумма налога 3", L"0", ptCurrency);
  AddOutParam(L"TaxSumm4", L"Сумма налога 4", L"0", ptCurrency);
}

void TCommand91h::AddParams() {
  AddInParam(L"OperatorNumber", L"Номер оператора", L"0", ptInteger);
  AddInParam(L"RegType", L"Тип чека", L"0", ptInteger);
  AddInParam(L"ECRDate", L"Дата", CurrentDate(), ptDate);
  AddInParam(L"ECRTime", L"Время", CurrentTime(), ptTime);
  AddInParam(L"DocumentNumber", L"Номер документа", L"0", ptInteger);
  AddInParam(L"ReceiptNumber", L"Номер чека", L"0", ptInteger);
}

void TCommandC0h::AddParams() {
  AddInParam(L"LineNumber", L"Номер строки", L"0", ptInteger);
  AddInParam(L"LineData", L"Данные строки", L"", ptString);
  AddOutParam(L"OperatorNumber", L"Номер оператора", L"0", ptInteger);
}

void TCommandFCh::AddParams() {
  AddOutParam(L"UMajorType", L"Тип устройства", L"0", ptInteger);
  AddOutParam(L"UMinorType", L"Подтип устройства", L"0", ptInteger);
  AddOutParam(L"UMajorProtocolVersion", L"Версия протокола", L"0", ptInteger);
  AddOutParam(L"UMinorProtocolVersion", L"Подверсия протокола", L"0", ptInteger);
  AddOutParam(L"UModel", L"Модель устройства", L"0", ptInteger);
  AddOutParam(L"UCodePage", L"Язык устройства", L"0", ptInteger);
  AddOutParam(L"UDescription", L"Название устройства", L"0", ptString);
}
