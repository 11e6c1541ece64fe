#pragma once
// The connection test of the "Проверка связи" page: CheckConnection over and
// over, with the six live figures, until a stop is requested, the first
// failure when the user asked to stop on errors, or an error raised by the
// driver call itself.
#include <cstdint>
#include <functional>
#include <string>

#include "Driver.h"
#include "untConnStats.h"
#include "untLoopHooks.h"

// Counts of one run at one moment. Elapsed is never 0 in figures that are
// shown: until the tick count has moved nothing can be divided by it.
struct TConnectionFigures {
  // 64 bits: at tens of thousands of commands a second, Count × 1000 leaves
  // 32 bits within a minute.
  int64_t Count = 0;
  int64_t Errors = 0;
  uint32_t Elapsed = 0;  // milliseconds since the start

  int64_t Speed() const { return Count * 1000 / Elapsed; }  // commands a second
  double ErrorRate() const { return static_cast<double>(Errors) * 100.0 / static_cast<double>(Count); }
  uint32_t Seconds() const { return Elapsed / 1000; }
  int64_t CommandTime() const { return Elapsed / Count; }  // milliseconds a command
};

// The texts of the six value labels, in the order the page sets them.
struct TConnectionTexts {
  std::wstring RepCount;     // lblRepCount
  std::wstring ErrCount;     // lblErrCount
  std::wstring TxSpeed;      // lblTxSpeed
  std::wstring ErrRate;      // lblErrRate, two decimals with "."
  std::wstring TimeLeft;     // lblTimeLeft, whole seconds
  std::wstring CommandTime;  // lblCommandTime, whole milliseconds
};

TConnectionTexts ConnectionTexts(const TConnectionFigures& figures);
// "%.2f" with "." whatever the locale: 0.00, 12.50, 33.33.
std::wstring PercentText(double value);

struct TConnectionHooks : TLoopHooks {
  // Puts the figures on the page.
  std::function<void(const TConnectionTexts& texts)> Show;
  // The state of "Остановка при ошибке", asked only after a failed command
  // once the tick count has moved (the user may change it while the test runs).
  std::function<bool()> StopOnError;
  // The high-resolution counter (QueryPerformanceCounter on Windows) that
  // times each command for the statistics.
  std::function<uint64_t()> Counter;
};

// Runs the test; returns the figures of the last command. Resets
// stopRequested first; ProcessEvents may set it, and the run then ends after
// the command under way.
//
// A command whose Elapsed is 0 updates nothing and is not tested for stopping
// on error. Otherwise its figures are what the page shows: at once when the
// tick count has moved since the last update (events run then too), and in
// any case before the run ends, so the labels always end on the last command
// that had figures. A stop on error happens at the first failed command with
// a non-zero Elapsed.
//
// With `stats` (and hooks.Counter), every command's time and result go there
// too, from a reset at the start.
TConnectionFigures RunConnectionTest(TDriver& driver, const TConnectionHooks& hooks, bool& stopRequested,
                                     TConnectionStats* stats = nullptr);
