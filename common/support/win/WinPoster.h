#pragma once
// Posting to a window from any thread, safely around the window's end.
//
// The window thread attaches the window once it exists and detaches it when
// the window starts to go; a post from another thread either reaches the
// window while it is attached or is not made at all, never a post to a window
// being destroyed (or to a later window that got the same handle). Copies of
// the poster share one link, so a worker may keep one after its window's
// owner is gone. Header-only: the driver's notify window uses it too.
#include <windows.h>

#include <memory>
#include <mutex>

class TWindowPoster {
 public:
  TWindowPoster() : FLink(std::make_shared<TLink>()) {}

  // Window thread: posts go to this window from now on.
  void Attach(HWND window) {
    std::lock_guard lock(FLink->Lock);
    FLink->Window = window;
  }
  // Window thread: no post reaches the window after this returns (a post
  // under way on another thread is waited for).
  void Detach() {
    std::lock_guard lock(FLink->Lock);
    FLink->Window = nullptr;
  }
  bool Attached() const {
    std::lock_guard lock(FLink->Lock);
    return FLink->Window != nullptr;
  }
  // Any thread. False when no window is attached or the post failed.
  bool Post(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const {
    std::lock_guard lock(FLink->Lock);
    return FLink->Window && PostMessageW(FLink->Window, msg, wp, lp);
  }

 private:
  struct TLink {
    mutable std::mutex Lock;
    HWND Window = nullptr;
  };
  std::shared_ptr<TLink> FLink;
};
