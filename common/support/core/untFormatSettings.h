#pragma once
// The user's number, date and time formats (short date, long time, decimal
// separator). The Windows programs read them from the locale at start-up
// (SystemFormatSettings, in the window layer), tests set them to what they
// need; the defaults are those of a Russian system.
#include <string>

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
inline TFormatSettings& FormatSettings() {
  static TFormatSettings settings;
  return settings;
}
