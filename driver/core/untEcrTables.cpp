#include "untEcrTables.h"

#include <charconv>

#include "untEcrResults.h"
#include "untInteger.h"
#include "untText.h"

namespace ecr {

namespace {

template <int N>
std::wstring Num(int) {
  return IntToStr(N);
}
std::wstring Empty(int) { return L""; }

std::wstring CashierName(int row) {
  if (row == 29) return L"Старший кассир";
  if (row == 30) return L"Системный администратор";
  return Format(L"Кассир %d", row);
}
std::wstring CashierPassword(int row) {
  if (row == 30) return L"30";
  return IntToStr(row);
}
std::wstring ReceiptText(int row) {
  switch (row) {
    case 1: return L"     СПАСИБО ЗА ПОКУПКУ!";
    case 2: return L"   ПРИХОДИТЕ К НАМ ЕЩЁ";
    default: return L"";
  }
}
std::wstring PayName(int row) {
  static const wchar_t* names[] = {L"НАЛИЧНЫМИ", L"КРЕДИТОМ", L"ТАРОЙ", L"ПЛАТ. КАРТОЙ"};
  return row >= 1 && row <= 4 ? names[row - 1] : L"";
}
std::wstring TaxRate(int row) {
  static const int rates[] = {1800, 1000, 0, 0};
  return row >= 1 && row <= 4 ? IntToStr(rates[row - 1]) : L"0";
}
std::wstring TaxName(int row) {
  static const wchar_t* names[] = {L"НДС 18%", L"НДС 10%", L"НДС 0%", L"БЕЗ НДС"};
  return row >= 1 && row <= 4 ? names[row - 1] : L"";
}
std::wstring SectionName(int row) { return Format(L"ОТДЕЛ %d", row); }
std::wstring TransitionMonth(int row) { return row % 2 ? L"3" : L"10"; }
std::wstring TransitionShift(int row) { return row % 2 ? L"60" : L"-60"; }
std::wstring FormatLine(int row) { return IntToStr(row); }
std::wstring Barcode(int row) { return Format(L"46001234%05d", row); }
std::wstring GoodsName(int row) { return Format(L"ТОВАР № %d", row); }
std::wstring GoodsPrice(int row) { return IntToStr(row * 150 + 99); }
std::wstring GoodsSection(int row) { return IntToStr((row - 1) % 16 + 1); }
std::wstring DiscountName(int row) { return Format(L"СКИДКА %d%%", row * 5); }
std::wstring DiscountRate(int row) { return IntToStr(row * 500); }
std::wstring BaudRate(int) { return L"3"; }
std::wstring PortTimeout(int) { return L"100"; }

std::vector<TTableDef> MakeTables() {
  return {
      {L"Тип и режим кассы", 1,
       {{L"Номер кассы в магазине", kFieldNumber, 1, 1, 99, Num<1>},
        {L"Автоматическое обнуление денежной наличности", kFieldNumber, 1, 0, 1, Num<1>},
        {L"Звуковой сигнал", kFieldNumber, 1, 0, 1, Num<1>},
        {L"Открывать денежный ящик", kFieldNumber, 1, 0, 1, Num<1>},
        {L"Печать рекламы", kFieldNumber, 1, 0, 1, Num<0>},
        {L"Количество копий чека", kFieldNumber, 1, 0, 9, Num<0>},
        {L"Начисление налогов", kFieldNumber, 1, 0, 3, Num<0>}}},
      {L"Пароли кассиров и администраторов", 30,
       {{L"Пароль", kFieldNumber, 4, 0, 99999999, CashierPassword},
        {L"Имя", kFieldString, 21, 0, 0, CashierName}}},
      {L"Перевод времени", 4,
       {{L"День", kFieldNumber, 1, 1, 31, Num<25>},
        {L"Месяц", kFieldNumber, 1, 1, 12, TransitionMonth},
        {L"Час", kFieldNumber, 1, 0, 23, Num<3>},
        {L"Сдвиг, минут", kFieldNumber, 2, -120, 120, TransitionShift}}},
      {L"Текст в чеке", 8, {{L"Строка", kFieldString, 36, 0, 0, ReceiptText}}},
      {L"Наименования типов оплаты", 4, {{L"Название", kFieldString, 18, 0, 0, PayName}}},
      {L"Налоговые ставки", 4,
       {{L"Ставка, сотые доли %", kFieldNumber, 2, 0, 9999, TaxRate},
        {L"Название налога", kFieldString, 8, 0, 0, TaxName}}},
      {L"Наименования отделов", 16, {{L"Название", kFieldString, 20, 0, 0, SectionName}}},
      {L"Настройка шрифтов", 10, {{L"Номер шрифта", kFieldNumber, 1, 1, 7, Num<1>}}},
      {L"Формат чека", 20,
       {{L"Номер строки", kFieldNumber, 1, 0, 40, FormatLine},
        {L"Смещение", kFieldNumber, 1, 0, 40, Num<0>},
        {L"Выравнивание", kFieldNumber, 1, 0, 2, Num<0>}}},
      {L"Параметры обмена", 4,
       {{L"Скорость обмена", kFieldNumber, 1, 0, 6, BaudRate},
        {L"Таймаут", kFieldNumber, 1, 0, 255, PortTimeout}}},
      {L"Товары", 100,
       {{L"Штрих-код", kFieldString, 13, 0, 0, Barcode},
        {L"Название", kFieldString, 32, 0, 0, GoodsName},
        {L"Цена, копеек", kFieldNumber, 4, 0, 99999999, GoodsPrice},
        {L"Отдел", kFieldNumber, 1, 1, 16, GoodsSection}}},
      {L"Скидки", 10,
       {{L"Название", kFieldString, 20, 0, 0, DiscountName},
        {L"Процент, сотые доли", kFieldNumber, 2, 0, 9999, DiscountRate}}},
      {L"Резерв", 1, {}},
      {L"Региональные настройки", 1,
       {{L"Код страны", kFieldNumber, 2, 0, 999, Num<643>},
        {L"Валюта", kFieldString, 3, 0, 0, [](int) { return std::wstring(L"RUB"); }},
        {L"Часовой пояс", kFieldNumber, 1, -12, 14, Num<3>},
        {L"Пустое поле", kFieldString, 10, 0, 0, Empty},
        {L"Кодовая страница", kFieldBinary, 2, 0, 0, [](int) { return std::wstring(L"04E3"); }}}},
  };
}

// Decimal integer with an optional sign and blanks around it.
bool ParseWhole(const std::wstring& text, int64_t& value) {
  size_t b = 0, e = text.size();
  while (b < e && text[b] == L' ') ++b;
  while (e > b && text[e - 1] == L' ') --e;
  if (b == e || e - b > 18) return false;
  std::string narrow;
  for (size_t i = b; i < e; ++i) {
    wchar_t c = text[i];
    if (c > 0x7F) return false;
    narrow.push_back(static_cast<char>(c));
  }
  const char* first = narrow.data();
  const char* last = first + narrow.size();
  if (*first == '+') ++first;
  auto [ptr, ec] = std::from_chars(first, last, value);
  return ec == std::errc() && ptr == last;
}

// Hexadecimal digits for at most `size` bytes, blanks around them allowed;
// the result holds two upper-case digits a byte.
bool ParseHexBytes(const std::wstring& text, int32_t size, std::wstring& stored, int32_t& rc) {
  size_t b = 0, e = text.size();
  while (b < e && text[b] == L' ') ++b;
  while (e > b && text[e - 1] == L' ') --e;
  rc = kBadParam;
  if (b == e) return false;
  std::wstring digits;
  for (size_t i = b; i < e; ++i) {
    const int digit = HexDigitValue(text[i]);
    if (digit < 0) return false;
    digits.push_back(L"0123456789ABCDEF"[digit]);
  }
  const size_t width = 2 * static_cast<size_t>(size);
  if (digits.size() > width) {
    rc = kValueTooLong;
    return false;
  }
  stored = std::wstring(width - digits.size(), L'0') + digits;
  return true;
}

}  // namespace

const std::vector<TTableDef>& TableDefs() {
  static const std::vector<TTableDef> tables = MakeTables();
  return tables;
}

void TEcrTables::Init() {
  const auto& defs = TableDefs();
  FValues.assign(defs.size(), {});
  for (size_t t = 0; t < defs.size(); ++t) {
    auto& rows = FValues[t];
    rows.assign(static_cast<size_t>(defs[t].RowCount), {});
    for (int r = 0; r < defs[t].RowCount; ++r)
      for (const auto& f : defs[t].Fields) rows[static_cast<size_t>(r)].push_back(f.Default(r + 1));
  }
}

int32_t TEcrTables::TableCount() const { return static_cast<int32_t>(TableDefs().size()); }

const TTableDef* TEcrTables::Table(int32_t table) const {
  if (table < 1 || table > TableCount()) return nullptr;
  return &TableDefs()[static_cast<size_t>(table - 1)];
}

const TFieldDef* TEcrTables::Field(int32_t table, int32_t field) const {
  const TTableDef* t = Table(table);
  if (!t || field < 1 || field > static_cast<int32_t>(t->Fields.size())) return nullptr;
  return &t->Fields[static_cast<size_t>(field - 1)];
}

int32_t TEcrTables::Locate(int32_t table, int32_t row, int32_t field) const {
  const TTableDef* t = Table(table);
  if (!t) return kBadTable;
  if (row < 1 || row > t->RowCount) return kBadRow;
  if (!Field(table, field)) return kBadField;
  return kOk;
}

int32_t TEcrTables::Read(int32_t table, int32_t row, int32_t field, std::wstring& value) const {
  int32_t rc = Locate(table, row, field);
  if (rc != kOk) return rc;
  value = FValues[static_cast<size_t>(table - 1)][static_cast<size_t>(row - 1)][static_cast<size_t>(field - 1)];
  return kOk;
}

int32_t TEcrTables::Write(int32_t table, int32_t row, int32_t field, const std::wstring& value) {
  int32_t rc = Locate(table, row, field);
  if (rc != kOk) return rc;
  const TFieldDef& f = *Field(table, field);
  std::wstring stored;
  if (f.Type == kFieldNumber) {
    int64_t n = 0;
    if (!ParseWhole(value, n)) return kValueNotNumber;
    if (n < f.MinValue || n > f.MaxValue) return kValueOutOfRange;
    stored = IntToStr(n);
  } else if (f.Type == kFieldBinary) {
    if (!ParseHexBytes(value, f.Size, stored, rc)) return rc;
  } else {
    // The device stores one byte per character in its own code page.
    if (static_cast<int32_t>(WideToAnsi(value).size()) > f.Size) return kValueTooLong;
    stored = value;
  }
  FValues[static_cast<size_t>(table - 1)][static_cast<size_t>(row - 1)][static_cast<size_t>(field - 1)] =
      std::move(stored);
  return kOk;
}

}  // namespace ecr
