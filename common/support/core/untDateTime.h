#pragma once
// Dates and times as automation keeps them, the calendar behind them and the
// clock every "now" reads. Nothing here depends on a text format.
#include <functional>

// Days since 30.12.1899, the time of day as the fraction (also for negative
// days, where it counts forward from midnight as automation dates do).
using TDateTime = double;

// The clock behind Now(): local date and time. Tests replace it; passing an
// empty function restores the system clock. Returns the previous clock.
using TClock = std::function<TDateTime()>;
TClock SetClock(TClock clock);
TDateTime Now();
TDateTime Date();  // Now() without the time of day
TDateTime Time();  // Now() without the date

bool TryEncodeDate(int year, int month, int day, TDateTime& result);
TDateTime EncodeDate(int year, int month, int day);  // EConvertError when invalid
void DecodeDate(TDateTime value, int& year, int& month, int& day);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result);
TDateTime EncodeTime(int hour, int min, int sec, int msec);
void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec);
// Both parts; the time is added the way automation dates keep it.
TDateTime ComposeDateTime(TDateTime date, TDateTime time);

// The day number and the milliseconds of the day; a time that rounds up to
// midnight belongs to the next day. EConvertError for a value outside
// 01.01.0001 .. 31.12.9999 (or not a number).
void SplitDateTime(TDateTime value, int& day, int& msec);
