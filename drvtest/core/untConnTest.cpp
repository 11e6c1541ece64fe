#include "untConnTest.h"

#include "untFloat.h"
#include "untScope.h"
#include "untText.h"

std::wstring PercentText(double value) { return FixedText(value, 2); }

TConnectionTexts ConnectionTexts(const TConnectionFigures& f) {
  return {IntToStr(f.Count),   IntToStr(f.Errors),  IntToStr(f.Speed()),
          PercentText(f.ErrorRate()), IntToStr(f.Seconds()), IntToStr(f.CommandTime())};
}

TConnectionFigures RunConnectionTest(TDriver& driver, const TConnectionHooks& hooks, bool& stopRequested,
                                     TConnectionStats* stats) {
  stopRequested = false;
  if (!hooks.Counter) stats = nullptr;
  if (stats) stats->Reset();
  TConnectionFigures now;   // the command just made
  TConnectionFigures last;  // the last command with figures
  bool pending = false;     // `last` is not on the page yet
  uint32_t shownElapsed = 0;
  auto show = [&] {
    if (hooks.Show) hooks.Show(ConnectionTexts(last));
    shownElapsed = last.Elapsed;
    pending = false;
  };
  const uint32_t t0 = hooks.Ticks();
  // The figures of the last command reach the page whichever way the loop ends.
  TOnExit flush([&] {
    if (pending) show();
  });
  do {
    ++now.Count;
    int32_t result;
    if (stats) {
      const uint64_t start = hooks.Counter();
      result = driver.CheckConnection();
      stats->Add(hooks.Counter() - start, result);
    } else {
      result = driver.CheckConnection();
    }
    if (result != 0) ++now.Errors;
    now.Elapsed = hooks.Ticks() - t0;
    if (now.Elapsed == 0) continue;
    last = now;
    pending = true;
    if (last.Elapsed != shownElapsed) {
      show();
      if (hooks.ProcessEvents) hooks.ProcessEvents();
    }
    if (result != 0 && hooks.StopOnError && hooks.StopOnError()) break;
  } while (!stopRequested);
  return now;
}
