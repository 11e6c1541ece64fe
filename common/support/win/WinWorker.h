#pragma once
// The worker host of a window: workers started by the window's code get
// their own COM apartment and run their calls on the window's thread through
// the window's message queue (the window need not know about them beyond
// owning this object).
#include <condition_variable>
#include <deque>
#include <mutex>

#include "WinControl.h"
#include "WinHandles.h"
#include "WinPoster.h"
#include "untWorker.h"

class TWindowWorkerHost : public TWorkerHost {
 public:
  explicit TWindowWorkerHost(TWinControl& window);
  ~TWindowWorkerHost() override;
  TWindowWorkerHost(const TWindowWorkerHost&) = delete;
  TWindowWorkerHost& operator=(const TWindowWorkerHost&) = delete;

  // Window thread, when the window starts to close: synchronized calls are
  // refused from now on, and one a worker is waiting for returns false.
  void Close();
  bool Closed() const;

  std::unique_ptr<TThreadScope> EnterThread() override;
  bool Synchronize(const std::function<void()>& fn) override;
  void WaitServing(const std::function<bool()>& finished) override;
  void Wake() override;

 private:
  struct TRequest {
    const std::function<void()>* Fn;
    bool Done = false;
    bool Ran = false;
  };
  void Serve();

  TWinControl& FWindow;
  TWindowPoster FPoster;
  mutable std::mutex FLock;
  std::condition_variable FDone;
  std::deque<TRequest*> FQueue;
  bool FClosed = false;
  TKernelHandle FWake;
};
