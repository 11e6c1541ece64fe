// Value conversions: number, date and time texts, automation coercion and the
// parameter types. Beyond not crashing, every text a conversion accepts must
// survive the way back.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "untCommand.h"
#include "untError.h"
#include "untFormat.h"
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

TFormatSettings Settings(uint8_t selector) {
  TFormatSettings fs;  // Russian
  switch (selector % 3) {
    case 1:
      fs.ShortDateFormat = L"M/d/yyyy";
      fs.DateSeparator = L'/';
      fs.LongTimeFormat = L"h:mm:ss tt";
      fs.TimeAMString = L"AM";
      fs.TimePMString = L"PM";
      fs.DecimalSeparator = L'.';
      break;
    case 2:
      fs.ShortDateFormat = L"yyyy-MM-dd";
      fs.DateSeparator = L'-';
      break;
    default:
      break;
  }
  return fs;
}

void Numbers(const std::wstring& text) {
  int32_t i;
  if (TryStrToInt(text, i)) Check(StrToInt(IntToStr(i)) == i);

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
    Check(TryStrToDate(DateToStr(v, fs), fs, again) && again == v);
  }
  if (TryStrToTime(text, fs, v)) {
    Check(v >= 0 && v < 1);
    TDateTime again;
    // Texts keep whole seconds only.
    Check(TryStrToTime(TimeToStr(v, fs), fs, again));
    Check(std::fabs(again - v) < 1.0 / 86400);
  }
  if (TryStrToDateTime(text, fs, v)) (void)DateTimeToStr(v, fs);
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
