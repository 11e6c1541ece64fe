#pragma once
// A worker host for native tests: the test's own thread plays the window
// thread. Synchronize queues the call and waits; WaitServing and Serve run
// the queued calls on the test thread; Close refuses them as a closing
// window does. EnterThread counts the apartments entered and left.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "untError.h"
#include "untWorker.h"

class TTestWorkerHost : public TWorkerHost {
 public:
  std::atomic<int> Entered{0}, Left{0};
  std::atomic<bool> FailEnter{false};
  std::thread::id WindowThread = std::this_thread::get_id();
  std::atomic<int> CallsOffWindowThread{0};

  std::unique_ptr<TThreadScope> EnterThread() override {
    if (FailEnter) throw Exception(L"Не удалось подготовить поток");
    ++Entered;
    struct TScope : TThreadScope {
      TTestWorkerHost& Host;
      explicit TScope(TTestWorkerHost& h) : Host(h) {}
      ~TScope() override { ++Host.Left; }
    };
    return std::make_unique<TScope>(*this);
  }

  bool Synchronize(const std::function<void()>& fn) override {
    TRequest r{&fn};
    std::unique_lock lock(FLock);
    if (FClosed) return false;
    FQueue.push_back(&r);
    FChanged.notify_all();
    FChanged.wait(lock, [&] { return r.Done; });
    return r.Ran;
  }

  void WaitServing(const std::function<bool()>& finished) override {
    for (;;) {
      Serve();
      if (finished()) return;
      std::unique_lock lock(FLock);
      FChanged.wait_for(lock, std::chrono::milliseconds(20), [&] { return !FQueue.empty() || FWoken; });
      FWoken = false;
    }
  }

  void Wake() override {
    std::lock_guard lock(FLock);
    FWoken = true;
    FChanged.notify_all();
  }

  // Runs what is queued now, on the calling (window) thread.
  void Serve() {
    for (;;) {
      TRequest* r;
      {
        std::lock_guard lock(FLock);
        if (FQueue.empty()) return;
        r = FQueue.front();
        FQueue.pop_front();
      }
      if (std::this_thread::get_id() != WindowThread) ++CallsOffWindowThread;
      bool ran = true;
      try {
        (*r->Fn)();
      } catch (...) {
        ran = false;
      }
      std::lock_guard lock(FLock);
      r->Ran = ran;
      r->Done = true;
      FChanged.notify_all();
    }
  }

  // Serves until done() holds (or the time is up); false on time-out.
  bool ServeUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      Serve();
      std::unique_lock lock(FLock);
      FChanged.wait_for(lock, std::chrono::milliseconds(5), [&] { return !FQueue.empty(); });
    }
    return true;
  }

  bool HasQueued() {
    std::lock_guard lock(FLock);
    return !FQueue.empty();
  }

  void Close() {
    std::lock_guard lock(FLock);
    FClosed = true;
    for (TRequest* r : FQueue) r->Done = true;
    FQueue.clear();
    FChanged.notify_all();
  }

 private:
  struct TRequest {
    const std::function<void()>* Fn;
    bool Done = false;
    bool Ran = false;
  };
  std::mutex FLock;
  std::condition_variable FChanged;
  std::deque<TRequest*> FQueue;
  bool FClosed = false;
  bool FWoken = false;
};
