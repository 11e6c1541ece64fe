#pragma once
// The programs' worker host for native tests: the test's own thread plays the
// window thread, serving the calls through the very queue the windows use.
// EnterThread counts the apartments entered and left, or fails on request.
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "untError.h"
#include "untWorker.h"

class TTestWorkerHost : public TWorkerHost {
 public:
  std::atomic<int> Entered{0}, Left{0};
  std::atomic<bool> FailEnter{false};

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

  // Serves until done() holds, as the window's loop would; false when that
  // takes longer than any run should (the test then fails instead of hanging).
  bool ServeUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      Serve();
      std::this_thread::yield();
    }
    return true;
  }
};

// Waits (yielding) until cond() holds; false after a time no run should take.
inline bool WaitUntil(const std::function<bool()>& cond, int timeoutMs = 20000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::yield();
  }
  return true;
}
