#pragma once
// What the page readers share (the dump reader and the register reader): the
// driver and the lock of its sequences, the worker host, the one worker of a
// reading, the three events a worker raises, and how a reading is stopped.
#include <functional>
#include <memory>
#include <mutex>

#include "Driver.h"
#include "untWorker.h"

class TReader {
 public:
  // The driver and the lock of its sequences belong to the caller.
  TReader(TDriver& driver, std::recursive_mutex& driverLock, TWorkerHost& host)
      : FDriver(driver), FDriverLock(driverLock), FHost(host) {}
  // A derived reader stops its worker in its own destructor, while what the
  // worker fills still exists.
  virtual ~TReader() = default;
  TReader(const TReader&) = delete;
  TReader& operator=(const TReader&) = delete;

  // Asks the worker to stop after the step under way and waits for it, still
  // running its calls on the window thread. Called while one of the worker's
  // own calls is on screen (from a window event that call let run), it only
  // asks: the reader stays Active until OnComplete's message stops it again.
  void Stop();
  // From Start until Stop, also after the worker's body has ended.
  bool Active() const { return FThread != nullptr; }

  // Raised on the worker: connected and reading; after each step with the
  // count or position; as its very last action.
  std::function<void()> OnStart;
  std::function<void(int count)> OnProgress;
  std::function<void()> OnComplete;

 protected:
  // The worker of a new reading, once the last one has stopped.
  void SetWorker(std::unique_ptr<TWorkerThread> worker) { FThread = std::move(worker); }
  TDriver& FDriver;
  std::recursive_mutex& FDriverLock;
  TWorkerHost& FHost;

 private:
  std::unique_ptr<TWorkerThread> FThread;
};

inline void TReader::Stop() {
  if (!FThread) return;
  FThread->Terminate();
  if (!FThread->TryWaitFor()) return;
  FThread.reset();
}
