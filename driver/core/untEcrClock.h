#pragma once
// Time as the virtual cash register sees it. Every wait the device simulates
// (link latency, a device that does not answer, table initialisation) goes
// through the process-wide clock, so tests swap in a clock whose sleeps only
// move its hands.
#include <atomic>
#include <cstdint>
#include <memory>

#include "untVariant.h"

namespace ecr {

class TEcrClock {
 public:
  virtual ~TEcrClock() = default;
  // Milliseconds on a steady scale (only differences matter).
  virtual int64_t NowMs() = 0;
  virtual void Sleep(int64_t ms) = 0;
};

// The real clock: steady_clock and real sleeps.
std::shared_ptr<TEcrClock> SystemClock();
std::shared_ptr<TEcrClock> EcrClock();
// Installs a clock; nullptr restores the real one. Returns the previous clock.
std::shared_ptr<TEcrClock> SetEcrClock(std::shared_ptr<TEcrClock> clock);

// A clock for tests: time stands still until Sleep or Advance moves it.
class TManualClock : public TEcrClock {
 public:
  int64_t NowMs() override;
  void Sleep(int64_t ms) override;
  void Advance(int64_t ms);
  // Sum of all sleeps so far.
  int64_t Slept();

 private:
  std::atomic<int64_t> FNow{0};
  std::atomic<int64_t> FSlept{0};
};

// Date arithmetic of automation dates (day 0 is 30.12.1899).
bool EncodeEcrDate(int year, int month, int day, TDateTime& result);
void DecodeEcrDate(TDateTime value, int& year, int& month, int& day);
bool EncodeEcrTime(int hour, int min, int sec, TDateTime& result);
void DecodeEcrTime(TDateTime value, int& hour, int& min, int& sec);
// The computer's local date and time.
TDateTime LocalNow();

}  // namespace ecr
