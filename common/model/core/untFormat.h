#pragma once
// Number, date and time texts. The formats are those of the user's system
// (short date, long time, decimal separator); the Windows programs read them
// from the locale at start-up, tests set them to what they need. Nothing here
// goes through the C library's locale.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "untVariant.h"  // TDateTime

struct TFormatSettings {
  wchar_t DecimalSeparator = L',';
  wchar_t DateSeparator = L'.';
  wchar_t TimeSeparator = L':';
  // Windows date and time pictures: d dd M MM yy yyyy; H HH h hh m mm s ss t tt;
  // text in single quotes is copied as is.
  std::wstring ShortDateFormat = L"dd.MM.yyyy";
  std::wstring LongTimeFormat = L"HH:mm:ss";
  std::wstring TimeAMString;
  std::wstring TimePMString;
  // A two-digit year falls into the hundred years that end this many years
  // after the current one.
  int TwoDigitYearCenturyWindow = 50;
};

// The process-wide settings every conversion without explicit settings uses.
TFormatSettings& FormatSettings();
// The user's formats as the system reports them (Windows); the defaults above
// elsewhere.
TFormatSettings SystemFormatSettings();

// The clock behind Now(): local date and time. Tests replace it; passing an
// empty function restores the system clock. Returns the previous clock.
using TClock = std::function<TDateTime()>;
TClock SetClock(TClock clock);
TDateTime Now();
TDateTime Date();  // Now() without the time of day
TDateTime Time();  // Now() without the date

// Day 0 is 30.12.1899; the fraction is the time of day (also for negative
// days, where it counts forward from midnight as automation dates do).
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
TDateTime EncodeDate(int year, int month, int day);  // EConvertError when invalid
void DecodeDate(TDateTime value, int& year, int& month, int& day);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result);
TDateTime EncodeTime(int hour, int min, int sec, int msec);
void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec);
// Both parts; the time is added the way automation dates keep it.
TDateTime ComposeDateTime(TDateTime date, TDateTime time);

// General number form: up to 15 significant digits, no trailing zeros, no
// separator for whole numbers, an exponent (1E20, 1E-5) only where fixed
// notation would need more than 15 digits before the separator or the
// value is below 0.0001.
std::wstring FloatToStr(double value, wchar_t decimalSeparator);
std::wstring FloatToStr(double value);  // the process-wide separator
// Blanks around the number, an optional sign, digits with at most one
// separator, an optional exponent. EConvertError otherwise.
double StrToFloat(std::wstring_view text, wchar_t decimalSeparator);
double StrToFloat(std::wstring_view text);
bool TryStrToFloat(std::wstring_view text, wchar_t decimalSeparator, double& value);

std::wstring FormatDateTime(std::wstring_view picture, TDateTime value,
                            const TFormatSettings& settings);
std::wstring DateToStr(TDateTime value, const TFormatSettings& settings);
std::wstring DateToStr(TDateTime value);
std::wstring TimeToStr(TDateTime value, const TFormatSettings& settings);
std::wstring TimeToStr(TDateTime value);
// Date and time; the time is left out when it is midnight.
std::wstring DateTimeToStr(TDateTime value, const TFormatSettings& settings);
std::wstring DateTimeToStr(TDateTime value);

// Dates are read in the field order of the short date format, with the
// format's own text around the fields ("d. M. yyyy", "dd.MM.yyyy.",
// "d.M.yyyy 'г.'") or without it; the date separator always separates too.
// A month the format names may be given by name or number; a missing year is
// the current one. Times are hours, then optional minutes and seconds (with a
// fraction), separated by the time format's own text or the time separator,
// with an optional AM/PM mark before or after. Whatever DateToStr and
// TimeToStr write reads back.
bool TryStrToDate(std::wstring_view text, const TFormatSettings& settings, TDateTime& value);
TDateTime StrToDate(std::wstring_view text, const TFormatSettings& settings);
TDateTime StrToDate(std::wstring_view text);
bool TryStrToTime(std::wstring_view text, const TFormatSettings& settings, TDateTime& value);
TDateTime StrToTime(std::wstring_view text, const TFormatSettings& settings);
TDateTime StrToTime(std::wstring_view text);
// A date, optionally followed by a time.
bool TryStrToDateTime(std::wstring_view text, const TFormatSettings& settings, TDateTime& value);
TDateTime StrToDateTime(std::wstring_view text, const TFormatSettings& settings);
