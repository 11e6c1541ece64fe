#pragma once
// Floating-point numbers as text, with the decimal separator as the only
// trace of the user's locale. Nothing here goes through the C library's
// locale.
#include <string>
#include <string_view>

// General number form: up to 15 significant digits, no trailing zeros, no
// separator for whole numbers, an exponent (1E20, 1E-5) only where fixed
// notation would need more than 15 digits before the separator or the
// value is below 0.0001.
std::wstring FloatToStr(double value, wchar_t decimalSeparator);
std::wstring FloatToStr(double value);  // the process-wide separator
// Fixed notation with exactly `decimals` digits after a "." whatever the
// locale (figures the programs show: 12.50, 0.012).
std::wstring FixedText(double value, int decimals);
// Blanks around the number, an optional sign, digits with at most one
// separator, an optional exponent. EConvertError otherwise.
double StrToFloat(std::wstring_view text, wchar_t decimalSeparator);
double StrToFloat(std::wstring_view text);
bool TryStrToFloat(std::wstring_view text, wchar_t decimalSeparator, double& value);
