#pragma once
// Dates and times as text: written with the Windows date and time pictures
// of the settings, read back in the field order those pictures give.
#include <string>
#include <string_view>

#include "untDateTime.h"
#include "untFormatSettings.h"

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
