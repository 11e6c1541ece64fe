#include "untDirectDriver.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "untError.h"
#include "untText.h"

struct TDirectDriver::TSignal {
  std::mutex Mutex;
  std::condition_variable Cv;
  bool Raised = false;
};

TDirectDriver::TDirectDriver(const TEcrSettings& settings)
    : FControl(TEcrControl::Create(settings)), FSignal(std::make_shared<TSignal>()) {
  FControl->SetArrivedNotify([signal = FSignal] {
    {
      std::lock_guard lock(signal->Mutex);
      signal->Raised = true;
    }
    signal->Cv.notify_all();
  });
}

TDirectDriver::~TDirectDriver() {
  FControl->SetArrivedNotify(nullptr);
  FControl.reset();
}

std::unique_ptr<TDirectDriver> TDirectDriver::Create(const TEcrSettings& settings) {
  return std::unique_ptr<TDirectDriver>(new TDirectDriver(settings));
}

std::unique_ptr<TDriver> CreateDirectDriver(const TEcrSettings& settings) { return TDirectDriver::Create(settings); }

int32_t TDirectDriver::LookupName(const std::wstring& name) {
  const TMemberInfo* info = FindMemberByName(name);
  if (!info) throw EOleError(kDispEUnknownName, Format(L"Неизвестное имя: %ls", name.c_str()));
  return info->DispId;
}

void TDirectDriver::PutById(int32_t dispId, const TVariant& value) { FControl->Put(dispId, value); }

TVariant TDirectDriver::GetById(int32_t dispId) { return FControl->Get(dispId); }

int32_t TDirectDriver::CallById(int32_t dispId) { return FControl->Call(dispId); }

int TDirectDriver::ProcessCommands() {
  {
    std::lock_guard lock(FSignal->Mutex);
    FSignal->Raised = false;
  }
  int raised = 0;
  for (int32_t id : FControl->TakeArrived()) {
    ++raised;
    if (OnCommand) OnCommand(*this, id);
  }
  return raised;
}

int TDirectDriver::WaitCommands(int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    // A notice that comes after ProcessCommands looked is kept in Raised, so
    // the wait below cannot miss it.
    if (int raised = ProcessCommands()) return raised;
    std::unique_lock lock(FSignal->Mutex);
    if (!FSignal->Cv.wait_until(lock, deadline, [this] { return FSignal->Raised; })) return 0;
  }
}
