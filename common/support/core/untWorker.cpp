#include "untWorker.h"

// ---------------------------------------------------------------- TWorkerHost

bool TWorkerHost::Synchronize(const std::function<void()>& fn) {
  TRequest request{&fn};
  std::unique_lock lock(FLock);
  if (FClosed) return false;
  FQueue.push_back(&request);
  FChanged.notify_all();
  lock.unlock();
  // Either the window's loop or a WaitServing on the window thread takes it.
  Queued();
  lock.lock();
  FChanged.wait(lock, [&] { return request.Done; });
  return request.Ran;
}

void TWorkerHost::Serve() {
  for (;;) {
    TRequest* r;
    {
      std::lock_guard lock(FLock);
      if (FQueue.empty()) return;
      r = FQueue.front();
      FQueue.pop_front();
    }
    bool ran = true;
    ++FInCall;
    try {
      (*r->Fn)();
    } catch (...) {
      ran = false;
    }
    --FInCall;
    std::lock_guard lock(FLock);
    r->Ran = ran;
    r->Done = true;
    FChanged.notify_all();
  }
}

void TWorkerHost::WaitServing(const std::function<bool()>& finished) {
  FWaiting = true;
  for (;;) {
    {
      // A wake from now on is seen below, whenever it comes.
      std::lock_guard lock(FLock);
      FWoken = false;
    }
    if (finished()) break;
    Serve();
    if (finished()) break;
    std::unique_lock lock(FLock);
    FChanged.wait(lock, [&] { return !FQueue.empty() || FWoken; });
  }
  FWaiting = false;
}

void TWorkerHost::Wake() {
  std::lock_guard lock(FLock);
  FWoken = true;
  FChanged.notify_all();
}

void TWorkerHost::Close() {
  std::lock_guard lock(FLock);
  FClosed = true;
  for (TRequest* r : FQueue) r->Done = true;
  FQueue.clear();
  FChanged.notify_all();
}

bool TWorkerHost::Closed() const {
  std::lock_guard lock(FLock);
  return FClosed;
}

bool TWorkerHost::HasQueued() const {
  std::lock_guard lock(FLock);
  return !FQueue.empty();
}

// ---------------------------------------------------------------- TWorkerThread

TWorkerThread::~TWorkerThread() {
  // Only a fallback: a derived class stops its thread in its own destructor,
  // while the Execute that the thread runs still exists.
  if (FThread.joinable()) {
    Terminate();
    WaitFor();
  }
}

void TWorkerThread::Start() {
  FThread = std::thread([this] {
    try {
      Execute();
    } catch (...) {
      // Execute reports its own errors; nothing may leave the thread.
    }
    FFinished = true;
    FHost.Wake();
  });
}

void TWorkerThread::WaitFor() {
  if (!FThread.joinable()) return;
  FHost.WaitServing([this] { return FFinished.load(); });
  FThread.join();
}

bool TWorkerThread::TryWaitFor() {
  if (FHost.InCall() && !FFinished) return false;
  WaitFor();
  return true;
}
