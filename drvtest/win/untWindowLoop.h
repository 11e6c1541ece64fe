#pragma once
// What the pages whose loops run on the window thread share: the driver lock
// held for the loop's driver calls and let go while window events run, so
// that a page's worker or another page's button may use the driver between
// two calls; and a clean-up that runs on every path out of a handler.
#include <cstdint>
#include <mutex>
#include <utility>

#include "untLoopHooks.h"
#include "untPages.h"
#include "untScope.h"

class TWindowLoop {
 public:
  TWindowLoop(TPage& page, bool& stopRequested) : FLock(page.DriverLock()), FStop(stopRequested) {}
  TWindowLoop(const TWindowLoop&) = delete;
  TWindowLoop& operator=(const TWindowLoop&) = delete;

  static uint32_t Ticks() { return static_cast<uint32_t>(GetTickCount()); }

  // Lets the waiting window events run without the driver lock; a stop
  // button among them, or the closing program, sets the stop request.
  void ProcessEvents() {
    FLock.unlock();
    struct TRelock {
      std::unique_lock<TDriverLock>& Lock;
      ~TRelock() { Lock.lock(); }
    } relock{FLock};
    TPage::LetEventsRun(FStop);
  }

  // The hooks of a core loop bound to this one.
  template <class Hooks>
  void Bind(Hooks& hooks) {
    hooks.Ticks = &TWindowLoop::Ticks;
    hooks.ProcessEvents = [this] { ProcessEvents(); };
  }

 private:
  std::unique_lock<TDriverLock> FLock;
  bool& FStop;
};

