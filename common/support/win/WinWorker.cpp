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

TWindowWorkerHost::TWindowWorkerHost(TWinControl& window) : TWindowWorkerHost(window, TWindowPoster()) {
  FPoster.Attach(window.Handle());
}

TWindowWorkerHost::TWindowWorkerHost(TWinControl& window, const TWindowPoster& poster)
    : FWindow(window), FPoster(poster) {
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
  TWorkerHost::Close();
}

std::unique_ptr<TWorkerHost::TThreadScope> TWindowWorkerHost::EnterThread() {
  return std::make_unique<TComApartment>();
}

void TWindowWorkerHost::Queued() { FPoster.Post(WM_WORKER_CALL); }
