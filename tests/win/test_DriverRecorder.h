#pragma once
// A driver that hands every call on to another one (the registered control)
// and keeps a record of what went through it: the methods called and what
// they returned, the result texts read, the calls under way. The programs
// get it from their driver factory, so the record is what their own code
// called, on whichever thread.
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Driver.h"

class TRecordingDriver : public TDriver {
 public:
  struct TCall {
    std::wstring Method;
    int32_t Result;
  };

  explicit TRecordingDriver(std::unique_ptr<TDriver> inner) : FInner(std::move(inner)) {
    // The control raises its event on its own object; the programs bound
    // their handlers to this one.
    FInner->OnCommand = [this](TPloverDriver&, int32_t commandId) {
      if (OnCommand) OnCommand(*this, commandId);
    };
  }
  ~TRecordingDriver() override {
    if (OnRelease) OnRelease(*this);
    FInner->OnCommand = nullptr;
  }

  int32_t LookupName(const std::wstring& name) override {
    TUnderWay busy(FInFlight);
    return FInner->LookupName(name);
  }
  void PutById(int32_t id, const TVariant& value) override {
    TUnderWay busy(FInFlight);
    if (id == dispid::Timeout) {
      const int32_t cap = FTimeoutCap.load();
      std::lock_guard lock(FLock);
      FTimeoutPut = value;
      if (cap > 0 && VarAsType(value, TVarType::Int).Int() > cap) {
        FTimeoutCapped = true;
        FInner->PutById(id, TVariant::FromInt(cap));
        return;
      }
      FTimeoutCapped = false;
    }
    FInner->PutById(id, value);
  }
  TVariant GetById(int32_t id) override {
    TUnderWay busy(FInFlight);
    if (id == dispid::Timeout) {
      std::lock_guard lock(FLock);
      if (FTimeoutCapped) return FTimeoutPut;
    }
    TVariant v = FInner->GetById(id);
    if (id == dispid::ResultCodeDescription) {
      std::lock_guard lock(FLock);
      FLastDescription = v.Str();
    }
    return v;
  }
  int32_t CallById(int32_t id) override {
    TUnderWay busy(FInFlight);
    const int32_t rc = FInner->CallById(id);
    const TMemberInfo* info = FindMemberById(id);
    std::lock_guard lock(FLock);
    FCalls.push_back({info ? info->Name : std::to_wstring(id), rc});
    ++FTotalCalls;
    return rc;
  }

  std::vector<TCall> Calls() const {
    std::lock_guard lock(FLock);
    return FCalls;
  }
  std::vector<std::wstring> Methods() const {
    std::vector<std::wstring> names;
    for (const TCall& c : Calls()) names.push_back(c.Method);
    return names;
  }
  void ClearCalls() {
    std::lock_guard lock(FLock);
    FCalls.clear();
    FLastDescription.clear();
  }
  int64_t TotalCalls() const {
    std::lock_guard lock(FLock);
    return FTotalCalls;
  }
  // The result text the caller read last.
  std::wstring LastDescription() const {
    std::lock_guard lock(FLock);
    return FLastDescription;
  }
  // Calls that have entered and not yet returned, on any thread.
  int InFlight() const { return FInFlight.load(); }

  // A time-out put above this many milliseconds reaches the control as this
  // value, while reading it back gives what was put (0: passed on as it is).
  // A device that never answers then costs the short wait, not the long one.
  void SetTimeoutCap(int32_t ms) { FTimeoutCap = ms; }

  TDriver& Inner() { return *FInner; }

  // Runs first thing in the destructor.
  std::function<void(TRecordingDriver&)> OnRelease;

 private:
  struct TUnderWay {
    explicit TUnderWay(std::atomic<int>& n) : N(n) { ++N; }
    ~TUnderWay() { --N; }
    std::atomic<int>& N;
  };

  std::unique_ptr<TDriver> FInner;
  mutable std::mutex FLock;
  std::vector<TCall> FCalls;
  int64_t FTotalCalls = 0;
  std::wstring FLastDescription;
  std::atomic<int> FInFlight{0};
  std::atomic<int32_t> FTimeoutCap{0};
  TVariant FTimeoutPut;
  bool FTimeoutCapped = false;
};
