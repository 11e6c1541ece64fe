#include "untDateTime.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <mutex>

#include "untError.h"

namespace {

constexpr int kMSecsPerDay = 86400000;
// Days between 30.12.1899 and 01.01.1970.
constexpr int kUnixDateDelta = 25569;
// 01.01.0001 and 31.12.9999.
constexpr int kMinDay = -693593;
constexpr int kMaxDay = 2958465;

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Proleptic Gregorian calendar to and from days since 01.01.1970.
long long DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(long long z, int& y, int& m, int& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

std::mutex& ClockMutex() {
  static std::mutex m;
  return m;
}

TClock& ClockSlot() {
  static TClock clock;
  return clock;
}

TDateTime SystemNow() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t t = system_clock::to_time_t(now);
  std::tm lt{};
#ifdef _WIN32
  localtime_s(&lt, &t);
#else
  localtime_r(&t, &lt);
#endif
  const int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  return ComposeDateTime(EncodeDate(lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday),
                         EncodeTime(lt.tm_hour, lt.tm_min, std::min(lt.tm_sec, 59), ms));
}

}  // namespace

void SplitDateTime(TDateTime value, int& day, int& msec) {
  if (!std::isfinite(value) || value <= kMinDay - 1.0 || value >= kMaxDay + 1.0)
    throw EConvertError(L"Недопустимое значение даты и времени");
  const double whole = std::trunc(value);
  long long ms = std::llround(std::fabs(value - whole) * kMSecsPerDay);
  day = static_cast<int>(whole);
  if (ms >= kMSecsPerDay) {
    ms -= kMSecsPerDay;
    ++day;
  }
  if (day < kMinDay || day > kMaxDay) throw EConvertError(L"Недопустимое значение даты и времени");
  msec = static_cast<int>(ms);
}

TClock SetClock(TClock clock) {
  std::lock_guard<std::mutex> lock(ClockMutex());
  TClock old = std::move(ClockSlot());
  ClockSlot() = std::move(clock);
  return old;
}

TDateTime Now() {
  TClock clock;
  {
    std::lock_guard<std::mutex> lock(ClockMutex());
    clock = ClockSlot();
  }
  return clock ? clock() : SystemNow();
}

TDateTime Date() {
  int day, msec;
  SplitDateTime(Now(), day, msec);
  return day;
}

TDateTime Time() {
  int day, msec;
  SplitDateTime(Now(), day, msec);
  return static_cast<double>(msec) / kMSecsPerDay;
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    return false;
  result = static_cast<double>(DaysFromCivil(year, month, day) + kUnixDateDelta);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime result;
  if (!TryEncodeDate(year, month, day, result))
    throw EConvertError(L"Недопустимый аргумент для кодирования даты");
  return result;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
  int days, msec;
  SplitDateTime(value, days, msec);
  CivilFromDays(static_cast<long long>(days) - kUnixDateDelta, year, month, day);
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result) {
  if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 ||
      msec > 999)
    return false;
  result = static_cast<double>(((hour * 60 + min) * 60 + sec) * 1000 + msec) / kMSecsPerDay;
  return true;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
  TDateTime result;
  if (!TryEncodeTime(hour, min, sec, msec, result))
    throw EConvertError(L"Недопустимый аргумент для кодирования времени");
  return result;
}

void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec) {
  int days, ms;
  SplitDateTime(value, days, ms);
  hour = ms / 3600000;
  min = ms / 60000 % 60;
  sec = ms / 1000 % 60;
  msec = ms % 1000;
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) {
  const double t = std::fabs(time - std::trunc(time));
  return date < 0 ? date - t : date + t;
}
