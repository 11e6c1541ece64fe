#pragma once
// The clock that times each command of the connection test. The processor's
// time-stamp counter is read in a few nanoseconds, where
// QueryPerformanceCounter takes over a hundred under Wine: at millions of
// commands a second, two of those a command would halve the test's speed.
// Its rate is measured against QueryPerformanceCounter over the run itself.
#include <windows.h>
#if defined(_M_IX86) || defined(_M_X64) || defined(__i386__) || defined(__x86_64__)
#include <intrin.h>
#define PLOVER_HAS_TSC 1
#endif

#include <cstdint>

class TCommandClock {
 public:
  // The run starts: both counters are noted.
  TCommandClock() : FStartTicks(Now()), FStartCounter(Counter()) {}

  static uint64_t Now() {
#ifdef PLOVER_HAS_TSC
    return __rdtsc();
#else
    return Counter();
#endif
  }

  // Ticks of Now() a second, measured since the start.
  uint64_t Frequency() const {
#ifdef PLOVER_HAS_TSC
    int64_t counter = Counter();
    // At least one step of the reference, however short the run was.
    while (counter == FStartCounter) counter = Counter();
    const double seconds = static_cast<double>(counter - FStartCounter) / static_cast<double>(CounterFrequency());
    return static_cast<uint64_t>(static_cast<double>(Now() - FStartTicks) / seconds);
#else
    return static_cast<uint64_t>(CounterFrequency());
#endif
  }

 private:
  static int64_t Counter() {
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return c.QuadPart;
  }
  static int64_t CounterFrequency() {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart > 0 ? f.QuadPart : 1;
  }
  uint64_t FStartTicks;
  int64_t FStartCounter;
};
