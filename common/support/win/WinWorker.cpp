#include "WinWorker.h"

#include <objbase.h>

#include "untError.h"
#include "untFile.h"

namespace {

// Wakes the window's message loop when a worker asks for a call; the pages'
// own worker messages are WM_USER + n, well below it.
constexpr UINT WM_WORKER_CALL = WM_APP + 0x3F0;

class TComApartment : public TWorkerHost::TThreadScope {
 public:
  TComApartment() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(hr))
      throw EOleError(static_cast<int32_t>(hr), L"Не удалось подготовить COM для потока: " +
                                                    FileErrorText(static_cast<int>(hr)));
  }
  ~TComApartment() override { CoUninitialize(); }
};

}  // namespace

TWindowWorkerHost::TWindowWorkerHost(TWinControl& window)
    : FWindow(window), FWake(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
  FPoster.Attach(window.Handle());
  FWindow.SetMessageHandler(WM_WORKER_CALL, [this](WPARAM, LPARAM) -> LRESULT {
    Serve();
    return 0;
  });
}

TWindowWorkerHost::~TWindowWorkerHost() {
  Close();
  FWindow.SetMessageHandler(WM_WORKER_CALL, nullptr);
}

void TWindowWorkerHost::Close() {
  FPoster.Detach();
  std::lock_guard lock(FLock);
  FClosed = true;
  for (TRequest* r : FQueue) r->Done = true;
  FQueue.clear();
  FDone.notify_all();
}

bool TWindowWorkerHost::Closed() const {
  std::lock_guard lock(FLock);
  return FClosed;
}

std::unique_ptr<TWorkerHost::TThreadScope> TWindowWorkerHost::EnterThread() {
  return std::make_unique<TComApartment>();
}

bool TWindowWorkerHost::Synchronize(const std::function<void()>& fn) {
  TRequest request{&fn};
  std::unique_lock lock(FLock);
  if (FClosed) return false;
  FQueue.push_back(&request);
  lock.unlock();
  // Either the message loop or a WaitServing on the window thread takes it.
  FPoster.Post(WM_WORKER_CALL);
  SetEvent(FWake.Get());
  lock.lock();
  FDone.wait(lock, [&] { return request.Done; });
  return request.Ran;
}

void TWindowWorkerHost::Serve() {
  for (;;) {
    TRequest* r;
    {
      std::lock_guard lock(FLock);
      if (FQueue.empty()) return;
      r = FQueue.front();
      FQueue.pop_front();
    }
    bool ran = true;
    try {
      (*r->Fn)();
    } catch (...) {
      ran = false;
    }
    std::lock_guard lock(FLock);
    r->Ran = ran;
    r->Done = true;
    FDone.notify_all();
  }
}

void TWindowWorkerHost::WaitServing(const std::function<bool()>& finished) {
  while (!finished()) {
    Serve();
    if (finished()) break;
    WaitForSingleObject(FWake.Get(), 50);
  }
}

void TWindowWorkerHost::Wake() { SetEvent(FWake.Get()); }
