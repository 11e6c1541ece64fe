#pragma once
// Background workers of the window programs, without the windows: a thread
// with a stop request, and what it needs of the program's window thread (its
// own apartment, calls run on the window thread while it waits, and a wait
// on the window thread that keeps serving those calls).
//
// TWorkerHost is the one queue of such calls. The window layer derives the
// host of a page window from it (WinWorker.h: a COM apartment per worker, and
// a posted message that wakes the window's loop when a call is queued); tests
// derive theirs, so the readers' loops and this queue run natively and under
// ThreadSanitizer exactly as the programs run them.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class TWorkerHost {
 public:
  TWorkerHost() = default;
  virtual ~TWorkerHost() = default;
  TWorkerHost(const TWorkerHost&) = delete;
  TWorkerHost& operator=(const TWorkerHost&) = delete;

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
  bool Synchronize(const std::function<void()>& fn);

  // Window thread: runs the calls queued now, in the order they came.
  void Serve();
  // Window thread: returns when finished() holds, running the workers'
  // calls meanwhile and nothing else. Wake() (any thread) makes it look at
  // finished() again.
  void WaitServing(const std::function<bool()>& finished);
  void Wake();

  // Window thread, when the window starts to close: calls are refused from
  // now on, and the queued ones a worker is waiting for return false.
  virtual void Close();
  bool Closed() const;

  // Window thread: one of this host's calls is under way further down the
  // window thread's stack. Such a call may let window events run (a message
  // box does), and an event handler that then waited for the call's worker
  // would wait for itself: it may only ask the worker to stop.
  bool InCall() const { return FInCall > 0; }
  // A call is waiting to be served.
  bool HasQueued() const;
  // The window thread is in WaitServing.
  bool Waiting() const { return FWaiting; }

 protected:
  // A call was queued: a window wakes its loop so that the call is served
  // while the window thread is not in WaitServing. Any thread.
  virtual void Queued() {}

 private:
  struct TRequest {
    const std::function<void()>* Fn;
    bool Done = false;
    bool Ran = false;
  };
  mutable std::mutex FLock;
  std::condition_variable FChanged;
  std::deque<TRequest*> FQueue;
  bool FClosed = false;
  bool FWoken = false;
  // Window thread only.
  int FInCall = 0;
  std::atomic<bool> FWaiting{false};
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
  // Window thread: WaitFor where waiting cannot wait for itself, that is
  // unless a call of the worker's host is under way below the caller (see
  // TWorkerHost::InCall). False when it did not wait: the worker is only
  // asked to stop, and its owner stops it again once it reports its end.
  bool TryWaitFor();

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
