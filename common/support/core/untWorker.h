#pragma once
// Background workers of the window programs, without the windows: a thread
// with a stop request, and what it needs of the program's window thread (its
// own apartment, calls run on the window thread while it waits, and a wait
// on the window thread that keeps serving those calls).
//
// The window layer provides the host for a page window (WinWorker.h); tests
// provide one of their own, so the readers' loops run natively.
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class TWorkerHost {
 public:
  virtual ~TWorkerHost() = default;

  // What a worker's thread needs set up for its life (its COM apartment);
  // undone when the returned object goes. Raises Exception when it fails.
  class TThreadScope {
   public:
    virtual ~TThreadScope() = default;
  };
  virtual std::unique_ptr<TThreadScope> EnterThread() = 0;

  // Worker thread: runs fn on the window thread and waits for it. False when
  // the window thread takes no more calls (its window is closing): fn has
  // not run. An exception fn raises is caught on the window thread and
  // reported as false.
  virtual bool Synchronize(const std::function<void()>& fn) = 0;

  // Window thread: returns when finished() holds, running the workers'
  // synchronized calls meanwhile and nothing else. Wake() (any thread) makes
  // it look at finished() again.
  virtual void WaitServing(const std::function<bool()>& finished) = 0;
  virtual void Wake() = 0;
};

// A worker thread that runs Execute once. The owner asks it to stop
// (Terminate) and waits for it (WaitFor) on the window thread before it is
// destroyed; the destructor does both if the owner did not.
class TWorkerThread {
 public:
  virtual ~TWorkerThread();
  TWorkerThread(const TWorkerThread&) = delete;
  TWorkerThread& operator=(const TWorkerThread&) = delete;

  void Terminate() { FTerminated = true; }
  bool Terminated() const { return FTerminated; }
  // Execute has returned.
  bool Finished() const { return FFinished; }
  // Window thread: waits until Execute has returned, serving the worker's
  // synchronized calls, then lets the thread go.
  void WaitFor();

 protected:
  explicit TWorkerThread(TWorkerHost& host) : FHost(host) {}
  // Starts the thread; the derived class calls it last in its constructor,
  // when everything Execute reads is in place.
  void Start();
  virtual void Execute() = 0;
  TWorkerHost& Host() { return FHost; }
  // Runs fn on the window thread; false when it could not run there.
  bool Synchronize(const std::function<void()>& fn) { return FHost.Synchronize(fn); }

 private:
  TWorkerHost& FHost;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
  std::thread FThread;
};
