#include "untEcrClock.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <mutex>
#include <thread>

namespace ecr {

namespace {

class TSystemClock : public TEcrClock {
 public:
  int64_t NowMs() override {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  }
  void Sleep(int64_t ms) override {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
};

// Never destroyed: a control released late in process exit still finds a clock.
std::mutex& ClockMutex() {
  static auto* m = new std::mutex();
  return *m;
}

std::shared_ptr<TEcrClock>& CurrentClock() {
  static auto* clock = new std::shared_ptr<TEcrClock>(SystemClock());
  return *clock;
}

// Days from 1.1.1970 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

// 30.12.1899 counted from 1.1.1970.
constexpr int64_t kAutomationEpoch = -25569;

}  // namespace

std::shared_ptr<TEcrClock> SystemClock() {
  static auto* clock = new std::shared_ptr<TEcrClock>(std::make_shared<TSystemClock>());
  return *clock;
}

std::shared_ptr<TEcrClock> EcrClock() {
  std::lock_guard lock(ClockMutex());
  return CurrentClock();
}

std::shared_ptr<TEcrClock> SetEcrClock(std::shared_ptr<TEcrClock> clock) {
  std::lock_guard lock(ClockMutex());
  auto previous = CurrentClock();
  CurrentClock() = clock ? std::move(clock) : SystemClock();
  return previous;
}

int64_t TManualClock::NowMs() { return FNow.load(); }

void TManualClock::Sleep(int64_t ms) {
  if (ms <= 0) return;
  FNow += ms;
  FSlept += ms;
}

void TManualClock::Advance(int64_t ms) { FNow += ms; }

int64_t TManualClock::Slept() { return FSlept.load(); }

bool EncodeEcrDate(int year, int month, int day, TDateTime& result) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  int last = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
  if (day > last) return false;
  result = static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
                               kAutomationEpoch);
  return true;
}

void DecodeEcrDate(TDateTime value, int& year, int& month, int& day) {
  auto days = static_cast<int64_t>(std::trunc(value));
  CivilFromDays(days + kAutomationEpoch, year, month, day);
}

bool EncodeEcrTime(int hour, int min, int sec, TDateTime& result) {
  if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59) return false;
  result = (hour * 3600.0 + min * 60.0 + sec) / 86400.0;
  return true;
}

void DecodeEcrTime(TDateTime value, int& hour, int& min, int& sec) {
  double frac = std::fabs(value - std::trunc(value));
  // Round to the millisecond first so that 10:00:00 stored as 0.41666.. stays 10:00:00.
  auto ms = static_cast<int64_t>(std::llround(frac * 86400000.0));
  auto s = static_cast<int>((ms / 1000) % 86400);
  hour = s / 3600;
  min = s / 60 % 60;
  sec = s % 60;
}

TDateTime LocalNow() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &t);
#else
  localtime_r(&t, &tm);
#endif
  TDateTime d = 0, tt = 0;
  EncodeEcrDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, d);
  EncodeEcrTime(tm.tm_hour, tm.tm_min, tm.tm_sec > 59 ? 59 : tm.tm_sec, tt);
  return d + tt;
}

}  // namespace ecr
