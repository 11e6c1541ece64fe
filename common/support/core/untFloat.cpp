#include "untFloat.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

#include "untError.h"
#include "untFormatSettings.h"
#include "untText.h"

namespace {

// Sign, digits around at most one separator, an optional exponent: the only
// forms accepted, so that from_chars never sees "inf", "nan" or hex floats.
bool ParseFloat(std::wstring_view text, wchar_t decimalSeparator, double& value) {
  text = TrimBlanks(text);
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  int intDigits = 0, fracDigits = 0, firstNonZero = -1, digitIndex = 0;
  std::string digits;
  while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
    if (firstNonZero < 0 && text[i] != L'0') firstNonZero = digitIndex;
    digits.push_back(static_cast<char>(text[i++]));
    ++intDigits;
    ++digitIndex;
  }
  std::string fraction;
  if (i < text.size() && text[i] == decimalSeparator) {
    ++i;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
      if (firstNonZero < 0 && text[i] != L'0') firstNonZero = digitIndex;
      fraction.push_back(static_cast<char>(text[i++]));
      ++fracDigits;
      ++digitIndex;
    }
  }
  if (intDigits + fracDigits == 0) return false;
  long long exponent = 0;
  if (i < text.size() && (text[i] == L'e' || text[i] == L'E')) {
    ++i;
    bool expNegative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) expNegative = text[i++] == L'-';
    if (i >= text.size() || text[i] < L'0' || text[i] > L'9') return false;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
      if (exponent < 100000) exponent = exponent * 10 + (text[i] - L'0');
      ++i;
    }
    if (expNegative) exponent = -exponent;
  }
  if (i != text.size()) return false;
  if (firstNonZero < 0) {
    value = negative ? -0.0 : 0.0;
    return true;
  }
  std::string ascii = digits.empty() ? std::string("0") : digits;
  if (!fraction.empty()) {
    ascii += '.';
    ascii += fraction;
  }
  ascii += 'e';
  ascii += std::to_string(exponent);
  double v = 0;
  auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), v);
  if (ec == std::errc::result_out_of_range) {
    // Tiny values read as zero; huge ones do not fit.
    const long long magnitude = intDigits - firstNonZero - 1 + exponent;
    if (magnitude >= 0) return false;
    v = 0;
  } else if (ec != std::errc() || end != ascii.data() + ascii.size()) {
    return false;
  }
  value = negative ? -v : v;
  return true;
}

}  // namespace

std::wstring FloatToStr(double value, wchar_t decimalSeparator) {
  if (std::isnan(value)) return L"NAN";
  if (std::isinf(value)) return value < 0 ? L"-INF" : L"INF";
  if (value == 0) return L"0";
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  std::string text(buf, end);  // [-]d.dddddddddddddde[+-]xx
  std::wstring out;
  size_t i = 0;
  if (text[i] == '-') {
    out.push_back(L'-');
    ++i;
  }
  std::string digits;
  size_t ePos = text.find('e');
  for (size_t k = i; k < ePos; ++k)
    if (text[k] != '.') digits.push_back(text[k]);
  int exponent = std::stoi(text.substr(ePos + 1));
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  auto put = [&out](const std::string& s) {
    for (char c : s) out.push_back(static_cast<wchar_t>(c));
  };
  if (exponent >= 15 || exponent < -4) {
    out.push_back(static_cast<wchar_t>(digits[0]));
    if (digits.size() > 1) {
      out.push_back(decimalSeparator);
      put(digits.substr(1));
    }
    out.push_back(L'E');
    out += IntToStr(exponent);
  } else if (exponent >= 0) {
    const size_t intLen = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= intLen) {
      put(digits);
      out.append(intLen - digits.size(), L'0');
    } else {
      put(digits.substr(0, intLen));
      out.push_back(decimalSeparator);
      put(digits.substr(intLen));
    }
  } else {
    out.push_back(L'0');
    out.push_back(decimalSeparator);
    out.append(static_cast<size_t>(-exponent - 1), L'0');
    put(digits);
  }
  return out;
}

std::wstring FloatToStr(double value) { return FloatToStr(value, FormatSettings().DecimalSeparator); }

bool TryStrToFloat(std::wstring_view text, wchar_t decimalSeparator, double& value) {
  return ParseFloat(text, decimalSeparator, value);
}

double StrToFloat(std::wstring_view text, wchar_t decimalSeparator) {
  double value;
  if (!ParseFloat(text, decimalSeparator, value))
    throw EConvertError(Format(L"\"%ls\" не является правильным числом с плавающей точкой", std::wstring(text).c_str()));
  return value;
}

double StrToFloat(std::wstring_view text) {
  return StrToFloat(text, FormatSettings().DecimalSeparator);
}

std::wstring FixedText(double value, int decimals) {
  char buf[400];  // the largest double has 309 digits before the point
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  return ec == std::errc() ? std::wstring(buf, end) : std::wstring(L"0");
}
