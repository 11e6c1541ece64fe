#include "untExchangeLog.h"

#include "untFloat.h"
#include "untText.h"

void TExchangeLog::Add(TExchangeRow row) {
  FRows.push_back(std::move(row));
  while (FRows.size() > FMaxRows) {
    FRows.pop_front();
    ++FDropped;
  }
  if (OnChange) OnChange();
}

void TExchangeLog::Clear() {
  FRows.clear();
  FDropped = 0;
  if (OnChange) OnChange();
}

namespace {

const wchar_t* const kHeaders[kExchangeColumns] = {L"Время",  L"Направление", L"Код",
                                                   L"Команда", L"Откуда",     L"Куда",
                                                   L"Результат", L"Длительность, мс", L"Кадр"};

std::wstring TimeText(TDateTime time, bool withDate) {
  int day = 0, msec = 0;
  SplitDateTime(time, day, msec);
  std::wstring text = Format(L"%02d:%02d:%02d.%03d", msec / 3600000, msec / 60000 % 60, msec / 1000 % 60, msec % 1000);
  if (!withDate) return text;
  int year, month, mday;
  DecodeDate(day, year, month, mday);
  return Format(L"%02d.%02d.%04d ", mday, month, year) + text;
}

std::wstring DirectionText(TExchangeDirection direction) {
  switch (direction) {
    case TExchangeDirection::Sent: return L"передано";
    case TExchangeDirection::Received: return L"принято";
    case TExchangeDirection::Answered: return L"ответ";
  }
  return {};
}


}  // namespace

std::wstring ExchangeHeader(int col) { return col >= 0 && col < kExchangeColumns ? kHeaders[col] : L""; }

std::wstring ExchangeCell(const TExchangeRow& row, int col, bool withDate) {
  switch (col) {
    case 0: return TimeText(row.Time, withDate);
    case 1: return DirectionText(row.Direction);
    case 2: return row.Code < 0 ? std::wstring() : Format(L"%02Xh", static_cast<unsigned>(row.Code));
    case 3: return row.Name;
    case 4: return row.Code < 0 ? std::wstring() : IntToStr(row.SrcAddress);
    case 5: return row.Code < 0 ? std::wstring() : IntToStr(row.DstAddress);
    case 6: return Format(L"(%d) %ls", row.Result, row.ResultText.c_str());
    case 7: return MillisecondsText(row.Microseconds);
    case 8: return AnsiToWide(row.Frame);
  }
  return {};
}

std::wstring MillisecondsText(int64_t microseconds) { return FixedText(static_cast<double>(microseconds) / 1000.0, 3); }

std::wstring ExchangeLogStatus(const TExchangeLog& log) {
  std::wstring text = L"Записей: " + IntToStr(static_cast<long long>(log.Count()));
  if (log.Dropped() != 0)
    text += L" (старых удалено: " + IntToStr(static_cast<long long>(log.Dropped())) + L")";
  return text;
}

std::string ExchangeLogText(const TExchangeLog& log) {
  std::wstring text;
  for (int col = 0; col < kExchangeColumns; ++col) text += (col ? L"\t" : L"") + ExchangeHeader(col);
  text += L"\r\n";
  for (size_t i = 0; i < log.Count(); ++i) {
    for (int col = 0; col < kExchangeColumns; ++col) {
      if (col) text += L'\t';
      // A tab or line break in a driver's text would shift the columns.
      for (wchar_t c : ExchangeCell(log.Row(i), col, true)) text += c == L'\t' || c == L'\r' || c == L'\n' ? L' ' : c;
    }
    text += L"\r\n";
  }
  return WideToAnsi(text);
}
