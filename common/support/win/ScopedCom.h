#pragma once
// Small owners for COM resources: an interface pointer, a BSTR, a VARIANT and
// a thread's COM initialisation. Program code never calls Release,
// SysFreeString or VariantClear itself.
#include <windows.h>
#include <oleauto.h>
#include <objbase.h>

#include <atomic>
#include <string>
#include <string_view>
#include <utility>

template <class T>
class TComPtr {
 public:
  TComPtr() = default;
  // Takes over a reference the caller already holds.
  explicit TComPtr(T* p) noexcept : FPtr(p) {}
  TComPtr(const TComPtr& o) noexcept : FPtr(o.FPtr) {
    if (FPtr) FPtr->AddRef();
  }
  TComPtr(TComPtr&& o) noexcept : FPtr(std::exchange(o.FPtr, nullptr)) {}
  TComPtr& operator=(TComPtr o) noexcept {
    std::swap(FPtr, o.FPtr);
    return *this;
  }
  ~TComPtr() { Reset(); }

  // Adds a reference of its own.
  static TComPtr Copy(T* p) noexcept {
    if (p) p->AddRef();
    return TComPtr(p);
  }

  T* Get() const noexcept { return FPtr; }
  T* operator->() const noexcept { return FPtr; }
  explicit operator bool() const noexcept { return FPtr != nullptr; }

  // Releases what is held before handing out the slot, so a pointer reused
  // for a second out-parameter call does not leak the first one.
  T** Put() noexcept {
    Reset();
    return &FPtr;
  }
  void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }
  void Reset() noexcept {
    if (T* p = std::exchange(FPtr, nullptr)) p->Release();
  }
  T* Detach() noexcept { return std::exchange(FPtr, nullptr); }

  template <class U>
  HRESULT QueryTo(TComPtr<U>& out) const noexcept {
    return FPtr->QueryInterface(__uuidof(U), out.PutVoid());
  }
  HRESULT QueryTo(REFIID iid, void** out) const noexcept { return FPtr->QueryInterface(iid, out); }

 private:
  T* FPtr = nullptr;
};

class TBstr {
 public:
  TBstr() = default;
  explicit TBstr(std::wstring_view s)
      : FStr(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}
  TBstr(const TBstr&) = delete;
  TBstr& operator=(const TBstr&) = delete;
  TBstr(TBstr&& o) noexcept : FStr(std::exchange(o.FStr, nullptr)) {}
  TBstr& operator=(TBstr&& o) noexcept {
    if (this != &o) {
      Reset();
      FStr = std::exchange(o.FStr, nullptr);
    }
    return *this;
  }
  ~TBstr() { Reset(); }

  BSTR Get() const noexcept { return FStr; }
  BSTR* Put() noexcept {
    Reset();
    return &FStr;
  }
  BSTR Detach() noexcept { return std::exchange(FStr, nullptr); }
  void Reset() noexcept {
    if (BSTR s = std::exchange(FStr, nullptr)) SysFreeString(s);
  }
  // A null BSTR is the empty string by automation rules.
  std::wstring Str() const { return FStr ? std::wstring(FStr, SysStringLen(FStr)) : std::wstring(); }

 private:
  BSTR FStr = nullptr;
};

class TVariantOwner {
 public:
  TVariantOwner() noexcept { VariantInit(&FVar); }
  TVariantOwner(const TVariantOwner&) = delete;
  TVariantOwner& operator=(const TVariantOwner&) = delete;
  ~TVariantOwner() { VariantClear(&FVar); }

  VARIANT& Get() noexcept { return FVar; }
  const VARIANT& Get() const noexcept { return FVar; }
  VARIANT* operator&() noexcept { return &FVar; }
  // Cleared before it is handed out as an out-parameter.
  VARIANT* Put() noexcept {
    VariantClear(&FVar);
    return &FVar;
  }

 private:
  VARIANT FVar;
};

// The IUnknown of a COM object on the heap, written once for every such
// object: the reference count, and QueryInterface through the object's own
// Interface(iid), which gives the interface pointer for an identifier or
// nullptr. An object that answers some identifier through another object (an
// aggregated marshaler) does so in QueryOther.
template <class Derived, class... Interfaces>
class TComObject : public Interfaces... {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (void* p = static_cast<Derived*>(this)->Interface(iid)) {
      *out = p;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return static_cast<Derived*>(this)->QueryOther(iid, out);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++FRefs; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG n = --FRefs;
    if (n == 0) delete this;
    return n;
  }

 protected:
  TComObject() = default;
  virtual ~TComObject() = default;
  HRESULT QueryOther(REFIID, void**) { return E_NOINTERFACE; }
  // A new reference, unless the last one is already gone.
  bool TryAddRef() noexcept {
    ULONG n = FRefs.load();
    while (n != 0)
      if (FRefs.compare_exchange_weak(n, n + 1)) return true;
    return false;
  }

 private:
  std::atomic<ULONG> FRefs{1};
};

// COM initialisation of the current thread, undone when the owner goes; a
// failed initialisation (another apartment model already chosen) is not
// undone, as CoUninitialize must match only successful calls.
class TComInit {
 public:
  explicit TComInit(DWORD model = COINIT_APARTMENTTHREADED) noexcept
      : FResult(CoInitializeEx(nullptr, model)) {}
  TComInit(const TComInit&) = delete;
  TComInit& operator=(const TComInit&) = delete;
  ~TComInit() {
    if (SUCCEEDED(FResult)) CoUninitialize();
  }
  HRESULT Result() const noexcept { return FResult; }

 private:
  HRESULT FResult;
};
