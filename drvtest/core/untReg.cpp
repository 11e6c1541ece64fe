#include "untReg.h"

#include <algorithm>

#include "untDriverResult.h"
#include "untError.h"
#include "untFloat.h"
#include "untText.h"

// ---------------------------------------------------------------- entries

TECRRegister::TECRRegister(TECRRegisters* owner, int32_t number) : Number(number) { SetOwner(owner); }

TECRRegister::~TECRRegister() { SetOwner(nullptr); }

void TECRRegister::SetOwner(TECRRegisters* owner) {
  if (owner == FOwner) return;
  if (FOwner) FOwner->Remove(this);
  FOwner = owner;
  if (FOwner) FOwner->Insert(this);
}

TCashRegister::TCashRegister(TECRRegisters* owner, int32_t number, int64_t value)
    : TECRRegister(nullptr, number), Value(value) {
  // Joins the set only once the value is in place: the window may read it at once.
  SetOwner(owner);
}

std::wstring TCashRegister::GetValueText() const { return FloatToStr(static_cast<double>(Value) / 10000.0, L'.'); }

TOptnRegister::TOptnRegister(TECRRegisters* owner, int32_t number, uint16_t value)
    : TECRRegister(nullptr, number), Value(value) {
  SetOwner(owner);
}

std::wstring TOptnRegister::GetValueText() const { return IntToStr(Value); }

TRestRegister::TRestRegister(TECRRegisters* owner, int32_t number, double value)
    : TECRRegister(nullptr, number), Value(value) {
  SetOwner(owner);
}

std::wstring TRestRegister::GetValueText() const { return FloatToStr(Value, L'.'); }

// ---------------------------------------------------------------- sets

TECRRegisters::~TECRRegisters() { Clear(); }

int TECRRegisters::Count() const {
  std::lock_guard lock(FLock);
  return FList ? static_cast<int>(FList->size()) : 0;
}

TECRRegister* TECRRegisters::Items(int index) const {
  std::lock_guard lock(FLock);
  if (!FList || index < 0 || index >= static_cast<int>(FList->size()))
    throw Exception(Format(L"Нет регистра с индексом %d", index));
  return (*FList)[static_cast<size_t>(index)];
}

void TECRRegisters::Clear() {
  std::unique_ptr<std::vector<TECRRegister*>> list;
  {
    std::lock_guard lock(FLock);
    list = std::move(FList);
  }
  if (!list) return;
  // First to last; each is already out of the list, so none searches it.
  for (TECRRegister* entry : *list) {
    entry->FOwner = nullptr;
    delete entry;
  }
}

std::wstring TECRRegisters::LineAt(int index) const {
  // The entry cannot go while it is formatted: only the window thread
  // destroys entries, and it is the one asking.
  const TECRRegister* entry = Items(index);
  return Format(L"%.2d: %ls", entry->Number, entry->GetValueText().c_str());
}

void TECRRegisters::Insert(TECRRegister* entry) {
  std::lock_guard lock(FLock);
  if (!FList) FList = std::make_unique<std::vector<TECRRegister*>>();
  FList->push_back(entry);
}

void TECRRegisters::Remove(TECRRegister* entry) {
  std::lock_guard lock(FLock);
  if (!FList) return;
  auto it = std::find(FList->rbegin(), FList->rend(), entry);
  if (it != FList->rend()) FList->erase(std::next(it).base());
  if (FList->empty()) FList.reset();
}

int32_t TCashRegisters::ReadRegister(TDriver& driver, int32_t number) {
  driver.set_RegisterNumber(number);
  const int32_t rc = driver.GetCashRegister();
  if (rc == 0) new TCashRegister(this, number, driver.get_CashRegister());
  return rc;
}

int32_t TOptnRegisters::ReadRegister(TDriver& driver, int32_t number) {
  driver.set_RegisterNumber(number);
  const int32_t rc = driver.GetOperationRegister();
  if (rc == 0) new TOptnRegister(this, number, static_cast<uint16_t>(driver.get_OperationRegister() & 0xFFFF));
  return rc;
}

int32_t TRestRegisters::ReadRegister(TDriver& driver, int32_t number) {
  driver.set_RegisterNumber(number);
  const int32_t rc = driver.GetRestRegister();
  if (rc == 0) new TRestRegister(this, number, static_cast<double>(driver.get_RestRegister()));
  return rc;
}

std::unique_ptr<TECRRegisters> CreateRegisters(int kind) {
  switch (kind) {
    case 0: return std::make_unique<TCashRegisters>();
    case 1: return std::make_unique<TOptnRegisters>();
    case 2: return std::make_unique<TRestRegisters>();
    default: return nullptr;
  }
}

// ---------------------------------------------------------------- worker

TWorkThread::TWorkThread(TWorkerHost& host, TRegReader& reader) : TWorkerThread(host), FReader(reader) { Start(); }

TWorkThread::~TWorkThread() {
  Terminate();
  WaitFor();
}

void TWorkThread::Execute() {
  FReader.Run([this] { return Terminated(); });
}

// ---------------------------------------------------------------- reader

namespace {
constexpr int32_t kUnspecifiedFailure = static_cast<int32_t>(0x80004005u);  // E_FAIL
}

TRegReader::~TRegReader() { Stop(); }

void TRegReader::Start(TECRRegisters& registers) {
  Stop();
  FRegisters = &registers;
  registers.Clear();
  FErrorCode = 0;
  FErrorText.clear();
  SetWorker(std::make_unique<TWorkThread>(FHost, *this));
}

void TRegReader::Run(const std::function<bool()>& stopRequested) {
  FErrorCode = 0;
  try {
    auto apartment = FHost.EnterThread();
    for (int32_t n = 0; FErrorCode == 0;) {
      if (stopRequested()) {
        apartment.reset();
        if (OnComplete) OnComplete();
        return;
      }
      {
        std::lock_guard lock(FDriverLock);
        FErrorCode = FRegisters->ReadRegister(FDriver, n);
      }
      if (FErrorCode == 0) {
        ++n;
        const int position = FRegisters->Count() - 1;
        if (position == 0 && OnStart) OnStart();
        if (OnProgress) OnProgress(position);
      }
    }
    if (FErrorCode == kNoMoreRegisters) {
      FErrorCode = 0;
    } else {
      std::lock_guard lock(FDriverLock);
      CheckDriverResult(FDriver, FErrorCode);
    }
  } catch (const std::exception& e) {
    FErrorCode = kUnspecifiedFailure;
    FErrorText = ExceptionText(e);
  } catch (...) {
    FErrorCode = kUnspecifiedFailure;
    FErrorText = L"Неизвестная ошибка";
  }
  if (OnComplete) OnComplete();
}
