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

void TDirectDriver::PutById(int32_t dispId, const TVariant& value) {
  const TMemberInfo* info = FindMemberById(dispId);
  if (!info || info->IsMethod)
    throw EOleError(kDispEMemberNotFound, Format(L"Неизвестное свойство (DISPID %d)", dispId));
  if (info->ReadOnly) throw EOleError(kDispEMemberNotFound, Format(L"Свойство %ls только для чтения", info->Name));
  TVarType type = VarTypeOfKind(info->Kind);
  FControl->Put(dispId, value.Type() == type ? value : VarAsType(value, type));
}

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
  int raised = ProcessCommands();
  if (raised) return raised;
  std::unique_lock lock(FSignal->Mutex);
  FSignal->Cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return FSignal->Raised; });
  lock.unlock();
  return ProcessCommands();
}
