#include "untVariant.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

#include "untDateText.h"
#include "untError.h"
#include "untFloat.h"
#include "untFormatSettings.h"
#include "untInteger.h"
#include "untText.h"

namespace {

// Automation dates run from 01.01.0100 to the last moment of 31.12.9999.
constexpr double kMinOleDate = -657434.0;
constexpr double kMaxOleDate = 2958466.0;
constexpr int64_t kCurrencyScale = 10000;

[[noreturn]] void TypeMismatch() { throw EOleError(kDispETypeMismatch, L"Несоответствие типа."); }
[[noreturn]] void Overflow() { throw EOleError(kDispEOverflow, L"Переполнение."); }

// Halves go to the even neighbour, as automation rounds.
double RoundHalfEven(double v) {
  const double lower = std::floor(v);
  const double diff = v - lower;
  if (diff > 0.5) return lower + 1;
  if (diff < 0.5) return lower;
  return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

int32_t DoubleToInt(double v) {
  if (std::isnan(v)) Overflow();
  const double r = RoundHalfEven(v);
  if (r < -2147483648.0 || r > 2147483647.0) Overflow();
  return static_cast<int32_t>(r);
}

int64_t DoubleToCurrency(double v) {
  if (std::isnan(v)) Overflow();
  const double r = RoundHalfEven(v * kCurrencyScale);
  if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) Overflow();
  return static_cast<int64_t>(r);
}

int32_t CurrencyToInt(int64_t cy) {
  int64_t q = cy / kCurrencyScale;
  const int64_t r = cy % kCurrencyScale;
  const int64_t sign = cy < 0 ? -1 : 1;
  const int64_t half = kCurrencyScale / 2;
  if (r * sign > half || (r * sign == half && q % 2 != 0)) q += sign;
  if (q < INT32_MIN || q > INT32_MAX) Overflow();
  return static_cast<int32_t>(q);
}

TDateTime CheckedDate(double v) {
  if (!(v > kMinOleDate - 1.0 && v < kMaxOleDate)) Overflow();
  return v;
}

// A number as automation reads it: blanks, a sign, digits with "." or ","
// as the decimal separator (a Russian user types either), an exponent; or
// "&H" and hexadecimal digits. Kept exact so that rounding to an integer or
// to ten-thousandths does not suffer from binary fractions.
struct TDecimal {
  bool Negative = false;
  std::string Digits;  // no leading or trailing zeros; empty for zero
  long long Exp = 0;   // value = Digits * 10^Exp
  bool Hex = false;
  uint64_t HexValue = 0;
  int HexDigits = 0;
};

bool ParseDecimal(std::wstring_view text, TDecimal& d) {
  std::wstring_view s = TrimBlanks(text);
  size_t i = 0;
  if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) d.Negative = s[i++] == L'-';
  if (s.size() - i >= 2 && s[i] == L'&' && (s[i + 1] == L'H' || s[i + 1] == L'h')) {
    i += 2;
    d.Hex = true;
    if (i >= s.size()) return false;
    for (; i < s.size(); ++i) {
      const int digit = HexDigitValue(s[i]);
      if (digit < 0) return false;
      const auto v = static_cast<unsigned>(digit);
      if (d.HexValue == 0 && v == 0) continue;
      if (++d.HexDigits > 16) return false;
      d.HexValue = d.HexValue << 4 | v;
    }
    return true;
  }
  std::string digits;
  long long pointShift = 0;
  bool sawDigit = false, sawPoint = false;
  for (; i < s.size(); ++i) {
    const wchar_t c = s[i];
    if (c >= L'0' && c <= L'9') {
      sawDigit = true;
      if (digits.empty() && c == L'0') {
        if (sawPoint) --pointShift;
        continue;
      }
      digits.push_back(static_cast<char>(c));
      if (sawPoint) --pointShift;
    } else if ((c == L'.' || c == L',') && !sawPoint) {
      sawPoint = true;
    } else {
      break;
    }
  }
  if (!sawDigit) return false;
  long long exp = 0;
  if (i < s.size() && (s[i] == L'e' || s[i] == L'E')) {
    ++i;
    bool negExp = false;
    if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) negExp = s[i++] == L'-';
    if (i >= s.size() || s[i] < L'0' || s[i] > L'9') return false;
    for (; i < s.size() && s[i] >= L'0' && s[i] <= L'9'; ++i)
      if (exp < 1000000) exp = exp * 10 + (s[i] - L'0');
    if (negExp) exp = -exp;
  }
  if (i != s.size()) return false;
  while (!digits.empty() && digits.back() == '0') {
    digits.pop_back();
    ++pointShift;
  }
  d.Digits = digits;
  d.Exp = digits.empty() ? 0 : pointShift + exp;
  return true;
}

// The value times 10^scale, rounded half to even; false when it does not fit.
bool DecimalToScaled(const TDecimal& d, int scale, int64_t& out) {
  if (d.Hex) {
    if (d.HexValue > static_cast<uint64_t>(INT64_MAX)) return false;
    int64_t scaled = static_cast<int64_t>(d.HexValue);
    for (int k = 0; k < scale; ++k) {
      if (scaled > INT64_MAX / 10) return false;
      scaled *= 10;
    }
    out = d.Negative ? -scaled : scaled;
    return true;
  }
  if (d.Digits.empty()) {
    out = 0;
    return true;
  }
  const long long e = d.Exp + scale;
  const long long len = static_cast<long long>(d.Digits.size());
  const long long intLen = len + e;  // digits before the point
  if (intLen > 19) return false;
  uint64_t v = 0;
  const uint64_t limit = d.Negative ? 9223372036854775808ULL : 9223372036854775807ULL;
  for (long long k = 0; k < intLen; ++k) {
    const unsigned digit = k < len ? static_cast<unsigned>(d.Digits[static_cast<size_t>(k)] - '0') : 0;
    if (v > (limit - digit) / 10) return false;
    v = v * 10 + digit;
  }
  if (intLen < len) {
    const long long first = intLen < 0 ? -1 : intLen;  // index of the first dropped digit
    bool up = false;
    if (first >= 0) {
      const char c = d.Digits[static_cast<size_t>(first)];
      const bool rest = first + 1 < len;  // trailing zeros were stripped
      up = c > '5' || (c == '5' && (rest || v % 2 != 0));
    }
    if (up) {
      if (v == limit) return false;
      ++v;
    }
  }
  out = d.Negative ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
  return true;
}

double DecimalToDouble(const TDecimal& d) {
  if (d.Hex) {
    const double v = static_cast<double>(d.HexValue);
    return d.Negative ? -v : v;
  }
  if (d.Digits.empty()) return 0.0;
  std::string text = d.Digits;
  text += 'e';
  text += std::to_string(d.Exp);
  double v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec == std::errc::result_out_of_range) {
    if (static_cast<long long>(d.Digits.size()) + d.Exp > 0) Overflow();
    v = 0;
  } else if (ec != std::errc()) {
    TypeMismatch();
  }
  return d.Negative ? -v : v;
}

TDecimal NumberOrMismatch(const std::wstring& text) {
  TDecimal d;
  if (!ParseDecimal(text, d)) TypeMismatch();
  return d;
}

int32_t StrToIntVar(const std::wstring& text) {
  TDecimal d = NumberOrMismatch(text);
  if (d.Hex) {
    // Up to 32 bits is the bit pattern of the integer.
    if (d.HexValue > 0xFFFFFFFFULL) Overflow();
    uint32_t v = static_cast<uint32_t>(d.HexValue);
    if (d.Negative) v = 0u - v;
    return static_cast<int32_t>(v);
  }
  int64_t v;
  if (!DecimalToScaled(d, 0, v) || v < INT32_MIN || v > INT32_MAX) Overflow();
  return static_cast<int32_t>(v);
}

bool StrToBoolVar(const std::wstring& text) {
  const std::wstring_view s = TrimBlanks(text);
  if (SameText(s, L"True") || SameText(s, L"Истина")) return true;
  if (SameText(s, L"False") || SameText(s, L"Ложь")) return false;
  TDecimal d = NumberOrMismatch(text);
  return d.Hex ? d.HexValue != 0 : !d.Digits.empty();
}

std::wstring CurrencyToStr(int64_t cy) {
  const bool negative = cy < 0;
  const uint64_t abs = negative ? 0 - static_cast<uint64_t>(cy) : static_cast<uint64_t>(cy);
  std::wstring text = negative ? L"-" : L"";
  text += std::to_wstring(abs / kCurrencyScale);
  uint64_t frac = abs % kCurrencyScale;
  if (frac != 0) {
    std::wstring f = std::to_wstring(frac);
    f.insert(0, 4 - f.size(), L'0');
    while (f.back() == L'0') f.pop_back();
    text += FormatSettings().DecimalSeparator;
    text += f;
  }
  return text;
}

std::wstring DateToText(TDateTime v) {
  const TFormatSettings& fs = FormatSettings();
  const double whole = std::trunc(v);
  int h, m, s, ms;
  DecodeTime(v, h, m, s, ms);
  if (h == 0 && m == 0 && s == 0 && ms == 0) return DateToStr(v, fs);
  if (whole == 0) return TimeToStr(v, fs);
  return DateToStr(v, fs) + L" " + TimeToStr(v, fs);
}

}  // namespace

TVariant TVariant::FromInt(int32_t v) {
  TVariant r;
  r.FType = TVarType::Int;
  r.FInt = v;
  return r;
}

TVariant TVariant::FromStr(std::wstring v) {
  TVariant r;
  r.FType = TVarType::Str;
  r.FStr = std::move(v);
  return r;
}

TVariant TVariant::FromDouble(double v) {
  TVariant r;
  r.FType = TVarType::Double;
  r.FDouble = v;
  return r;
}

TVariant TVariant::FromDate(TDateTime v) {
  TVariant r;
  r.FType = TVarType::Date;
  r.FDouble = v;
  return r;
}

TVariant TVariant::FromCurrency(int64_t tenThousandths) {
  TVariant r;
  r.FType = TVarType::Currency;
  r.FCurrency = tenThousandths;
  return r;
}

TVariant TVariant::FromBool(bool v) {
  TVariant r;
  r.FType = TVarType::Bool;
  r.FBool = v;
  return r;
}

bool TVariant::operator==(const TVariant& o) const {
  if (FType != o.FType) return false;
  switch (FType) {
    case TVarType::Empty: return true;
    case TVarType::Int: return FInt == o.FInt;
    case TVarType::Str: return FStr == o.FStr;
    case TVarType::Double:
    case TVarType::Date: return FDouble == o.FDouble;
    case TVarType::Currency: return FCurrency == o.FCurrency;
    case TVarType::Bool: return FBool == o.FBool;
  }
  return false;
}

TVariant VarAsType(const TVariant& value, TVarType type) {
  const TVarType from = value.Type();
  if (from == type) return value;
  switch (type) {
    case TVarType::Empty:
      return TVariant();

    case TVarType::Int:
      switch (from) {
        case TVarType::Empty: return TVariant::FromInt(0);
        case TVarType::Bool: return TVariant::FromInt(value.Bool() ? -1 : 0);
        case TVarType::Double:
        case TVarType::Date: return TVariant::FromInt(DoubleToInt(value.Double()));
        case TVarType::Currency: return TVariant::FromInt(CurrencyToInt(value.Currency()));
        case TVarType::Str: return TVariant::FromInt(StrToIntVar(value.Str()));
        default: break;
      }
      break;

    case TVarType::Double:
      switch (from) {
        case TVarType::Empty: return TVariant::FromDouble(0);
        case TVarType::Int: return TVariant::FromDouble(value.Int());
        case TVarType::Bool: return TVariant::FromDouble(value.Bool() ? -1 : 0);
        case TVarType::Date: return TVariant::FromDouble(value.Double());
        case TVarType::Currency:
          return TVariant::FromDouble(static_cast<double>(value.Currency()) / kCurrencyScale);
        case TVarType::Str:
          return TVariant::FromDouble(DecimalToDouble(NumberOrMismatch(value.Str())));
        default: break;
      }
      break;

    case TVarType::Date:
      switch (from) {
        case TVarType::Empty: return TVariant::FromDate(0);
        case TVarType::Int: return TVariant::FromDate(CheckedDate(value.Int()));
        case TVarType::Bool: return TVariant::FromDate(value.Bool() ? -1 : 0);
        case TVarType::Double: return TVariant::FromDate(CheckedDate(value.Double()));
        case TVarType::Currency:
          return TVariant::FromDate(
              CheckedDate(static_cast<double>(value.Currency()) / kCurrencyScale));
        case TVarType::Str: {
          TDateTime d;
          if (!TryStrToDateTime(value.Str(), FormatSettings(), d)) TypeMismatch();
          return TVariant::FromDate(CheckedDate(d));
        }
        default: break;
      }
      break;

    case TVarType::Currency:
      switch (from) {
        case TVarType::Empty: return TVariant::FromCurrency(0);
        case TVarType::Int: return TVariant::FromCurrency(int64_t{value.Int()} * kCurrencyScale);
        case TVarType::Bool: return TVariant::FromCurrency(value.Bool() ? -kCurrencyScale : 0);
        case TVarType::Double:
        case TVarType::Date: return TVariant::FromCurrency(DoubleToCurrency(value.Double()));
        case TVarType::Str: {
          int64_t cy;
          if (!DecimalToScaled(NumberOrMismatch(value.Str()), 4, cy)) Overflow();
          return TVariant::FromCurrency(cy);
        }
        default: break;
      }
      break;

    case TVarType::Bool:
      switch (from) {
        case TVarType::Empty: return TVariant::FromBool(false);
        case TVarType::Int: return TVariant::FromBool(value.Int() != 0);
        case TVarType::Double:
        case TVarType::Date: return TVariant::FromBool(value.Double() != 0);
        case TVarType::Currency: return TVariant::FromBool(value.Currency() != 0);
        case TVarType::Str: return TVariant::FromBool(StrToBoolVar(value.Str()));
        default: break;
      }
      break;

    case TVarType::Str:
      switch (from) {
        case TVarType::Empty: return TVariant::FromStr(L"");
        case TVarType::Int: return TVariant::FromStr(IntToStr(value.Int()));
        case TVarType::Bool: return TVariant::FromStr(value.Bool() ? L"True" : L"False");
        case TVarType::Double:
          return TVariant::FromStr(FloatToStr(value.Double(), FormatSettings().DecimalSeparator));
        case TVarType::Currency: return TVariant::FromStr(CurrencyToStr(value.Currency()));
        case TVarType::Date: return TVariant::FromStr(DateToText(CheckedDate(value.Double())));
        default: break;
      }
      break;
  }
  TypeMismatch();
}
