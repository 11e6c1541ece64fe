#pragma once
// The worker host of a window: workers started by the window's code get
// their own COM apartment, and the calls they ask for are served by the
// window's message loop, woken by a message posted to the window (the window
// need not know about them beyond owning this object). The queue itself is
// the portable one of untWorker.h.
#include "WinControl.h"
#include "WinPoster.h"
#include "untWorker.h"

class TWindowWorkerHost : public TWorkerHost {
 public:
  // Posts through its own link to the window, or through the window's own
  // poster (a copy shares its link, so the window detaches both at once).
  explicit TWindowWorkerHost(TWinControl& window);
  TWindowWorkerHost(TWinControl& window, const TWindowPoster& poster);
  ~TWindowWorkerHost() override;

  // Window thread, when the window starts to close: nothing is posted to it
  // any more, and calls are refused from now on.
  void Close() override;

  std::unique_ptr<TThreadScope> EnterThread() override;

 protected:
  void Queued() override;

 private:
  TWinControl& FWindow;
  TWindowPoster FPoster;
};
