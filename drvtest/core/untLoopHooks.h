#pragma once
// What a loop on the window thread needs from the window: a millisecond tick
// count and a way to let pending window events run between driver calls.
//
// Under Wine an event pass, and every label or progress bar update, is a
// round trip to the window server that costs far more than a fast driver
// call. Nothing the user can see changes within one tick, so the loops show
// their progress and let events run once the tick count has moved on, not
// after every call. A click on "Прервать" is therefore seen at most a tick
// later, and the loop then ends after the call under way, as it would have.
#include <cstdint>
#include <functional>

// GetTickCount on Windows: milliseconds, wrapping at 2^32.
using TTickSource = std::function<uint32_t()>;

struct TLoopHooks {
  TTickSource Ticks;
  // Lets pending window events run; may set the loop's stop request.
  std::function<void()> ProcessEvents;
};

// Answers true once per tick: on the first call after the tick count moved.
class TTickPacer {
 public:
  explicit TTickPacer(const TTickSource& ticks) : FTicks(ticks), FLast(ticks ? ticks() : 0) {}
  bool Due() {
    if (!FTicks) return true;
    const uint32_t now = FTicks();
    if (now == FLast) return false;
    FLast = now;
    return true;
  }

 private:
  const TTickSource& FTicks;
  uint32_t FLast;
};
