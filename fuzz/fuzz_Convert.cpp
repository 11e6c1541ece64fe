// Value conversions: number, date and time texts, automation coercion and the
// parameter types. Beyond not crashing, every text a conversion accepts must
// survive the way back.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "untCommand.h"
#include "untDateText.h"
#include "untDateTime.h"
#include "untError.h"
#include "untFloat.h"
#include "untFormatSettings.h"
#include "untInteger.h"
#include "untText.h"
#include "untVariant.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool Close(double a, double b) {
  if (a == b) return true;
  return std::fabs(a - b) <= 1e-13 * std::max(std::fabs(a), std::fabs(b));
}

// Date and time formats of real locales (and a few typed by hand), with the
// separators the system gives beside them.
struct TLocaleFormats {
  const wchar_t* Date;
  wchar_t DateSeparator;
  const wchar_t* Time;
  wchar_t TimeSeparator;
  const wchar_t* Am;
  const wchar_t* Pm;
  wchar_t Decimal;
};

const TLocaleFormats kLocales[] = {
    {L"dd.MM.yyyy", L'.', L"HH:mm:ss", L':', L"", L"", L','},
    {L"M/d/yyyy", L'/', L"h:mm:ss tt", L':', L"AM", L"PM", L'.'},
    {L"yyyy-MM-dd", L'-', L"HH:mm:ss", L':', L"", L"", L','},
    {L"d. M. yyyy", L'.', L"H:mm:ss", L':', L"", L"", L','},
    {L"dd.MM.yyyy.", L'.', L"HH:mm:ss", L':', L"", L"", L','},
    {L"d.M.yyyy 'г.'", L'.', L"H:mm:ss", L':', L"", L"", L','},
    {L"yyyy. MM. dd.", L'.', L"H:mm:ss", L':', L"", L"", L','},
    {L"dd/MM/yy", L'/', L"HH:mm:ss", L':', L"", L"", L'.'},
    {L"dd-MMM-yy", L'-', L"hh:mm:ss tt", L':', L"AM", L"PM", L'.'},
    {L"yyyy/M/d", L'/', L"tt h:mm:ss", L':', L"上午", L"下午", L'.'},
    {L"d.M.yyyy", L'.', L"H.mm.ss", L'.', L"", L"", L','},
    {L"yyyy-MM-dd", L'-', L"HH' h 'mm' min 'ss' s '", L' ', L"", L"", L','},
    {L"yyyyMMdd", L'.', L"h:mm:ss tt", L':', L"a. m.", L"p. m.", L'.'},
    {L"dd.MM.yy", L'.', L"HH:mm", L':', L"", L"", L','},
};

TFormatSettings Settings(uint8_t selector) {
  const TLocaleFormats& l = kLocales[selector % (sizeof kLocales / sizeof kLocales[0])];
  TFormatSettings fs;
  fs.ShortDateFormat = l.Date;
  fs.DateSeparator = l.DateSeparator;
  fs.LongTimeFormat = l.Time;
  fs.TimeSeparator = l.TimeSeparator;
  fs.TimeAMString = l.Am;
  fs.TimePMString = l.Pm;
  fs.DecimalSeparator = l.Decimal;
  return fs;
}

// A format with a two-digit year keeps only the hundred years of its window.
bool YearSurvives(TDateTime value, const TFormatSettings& fs) {
  if (fs.ShortDateFormat.find(L"yyy") != std::wstring::npos) return true;
  int y, m, d, cy;
  DecodeDate(value, y, m, d);
  DecodeDate(Now(), cy, m, d);
  return y >= cy - fs.TwoDigitYearCenturyWindow && y < cy - fs.TwoDigitYearCenturyWindow + 100;
}

void Numbers(const std::wstring& text) {
  int32_t i;
  for (TIntRule rule : {irInteger, irDecimal, irIniInteger})
    if (TryParseInt32(text, rule, i)) Check(ParseInt32(IntToStr(i), rule) == i);

  for (wchar_t sep : {L'.', L','}) {
    double d;
    if (TryStrToFloat(text, sep, d)) {
      const std::wstring back = FloatToStr(d, sep);
      double again;
      // Rounded to 15 digits, the largest doubles read back as too large.
      if (!TryStrToFloat(back, sep, again)) {
        Check(std::fabs(d) > 1.7976931348623e308);
        continue;
      }
      Check(Close(d, again));
      Check(FloatToStr(again, sep) == back);
    }
  }
}

void Dates(const std::wstring& text, const TFormatSettings& fs) {
  TDateTime v;
  if (TryStrToDate(text, fs, v)) {
    TDateTime again;
    Check(TryStrToDate(DateToStr(v, fs), fs, again) && (again == v || !YearSurvives(v, fs)));
  }
  if (TryStrToTime(text, fs, v)) {
    Check(v >= 0 && v < 1);
    TDateTime again;
    // Texts keep whole seconds only, or whole minutes.
    Check(TryStrToTime(TimeToStr(v, fs), fs, again));
    const double unit = fs.LongTimeFormat.find(L's') == std::wstring::npos ? 1.0 / 1440 : 1.0 / 86400;
    Check(std::fabs(again - v) < unit);
  }
  if (TryStrToDateTime(text, fs, v)) {
    // Dates before 1899 carry their time backwards: compare the parts.
    const std::wstring written = DateTimeToStr(v, fs);
    TDateTime again;
    Check(TryStrToDateTime(written, fs, again));
    Check(DateToStr(again, fs) == DateToStr(v, fs) || !YearSurvives(v, fs));
  }
}

void Coercion(const std::wstring& text) {
  const TVariant s = TVariant::FromStr(text);
  for (TVarType t : {TVarType::Int, TVarType::Double, TVarType::Date, TVarType::Currency,
                     TVarType::Bool, TVarType::Empty}) {
    TVariant v;
    try {
      v = VarAsType(s, t);
    } catch (const EOleError& e) {
      Check(e.ErrorCode == kDispETypeMismatch || e.ErrorCode == kDispEOverflow);
      continue;
    }
    Check(v.Type() == t);
    // Whatever came out of a text goes back to one.
    const TVariant back = VarAsType(v, TVarType::Str);
    if (t == TVarType::Int || t == TVarType::Currency)
      Check(VarAsType(back, t) == v);
  }
}

void Params(const std::wstring& text) {
  TCmdParams list;
  for (int type = ptInteger; type <= ptDouble + 1; ++type) {
    list.Clear();
    TCmdParam& p = list.Add(L"P", L"", static_cast<TCmdParamType>(type), text);
    TVariant v;
    try {
      v = p.GetAsVariant();
    } catch (const EConvertError&) {
      Check(type != ptString && type != ptHexData && type <= ptDouble);
      continue;
    }
    p.SetAsVariant(v);  // what a text gave, the text type takes back
    const TVariant again = p.GetAsVariant();
    if (type == ptCurrency || type == ptDouble)
      Check(Close(v.Double(), again.Double()));
    else if (type == ptDate)
      Check(again == v || !YearSurvives(v.Double(), FormatSettings()));
    else if (type != ptTime)
      Check(again == v);
  }
}

void Pictures(const uint8_t* data, size_t size) {
  if (size < sizeof(double)) return;
  double value;
  std::memcpy(&value, data, sizeof value);
  const std::wstring picture = AnsiToWide(std::string(reinterpret_cast<const char*>(data) + 8, size - 8));
  try {
    (void)FormatDateTime(picture, value, TFormatSettings{});
  } catch (const EConvertError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const bool init = [] {
    SetClock([] { return EncodeDate(2024, 3, 5) + EncodeTime(7, 8, 9, 0); });
    return true;
  }();
  (void)init;

  const uint8_t mode = data[0];
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::wstring text = AnsiToWide(bytes);
  FormatSettings() = Settings(mode >> 2);

  switch (mode & 3) {
    case 0:
      Numbers(text);
      Check(HexTextToBytes(BytesToHexText(bytes)) == bytes);
      (void)HexTextToBytes(text);
      break;
    case 1: Dates(text, FormatSettings()); break;
    case 2:
      Coercion(text);
      Params(text);
      break;
    case 3: Pictures(data + 1, size - 1); break;
  }
  return 0;
}
