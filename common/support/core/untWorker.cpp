#include "untWorker.h"

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
