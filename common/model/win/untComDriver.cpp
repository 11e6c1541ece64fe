#include "untComDriver.h"

#include <windows.h>
#include <ocidl.h>
#include <oleauto.h>

#include <atomic>
#include <functional>
#include <mutex>

#include "PloverDrv_h.h"
#include "untError.h"
#include "untOleVariant.h"
#include "win/ScopedCom.h"

namespace {

constexpr wchar_t kProgId[] = L"PloverDrv.PloverDriver";

std::function<void(const std::exception&)>& EventErrorHandler() {
  static std::function<void(const std::exception&)> handler;
  return handler;
}

void ReportEventError(const std::exception& e) {
  if (auto& handler = EventErrorHandler()) {
    try {
      handler(e);
    } catch (...) {
    }
  }
}

class TComDriver;

// Receives the control's events. It outlives its driver when the control
// still holds a reference, so the driver detaches itself before it goes.
class TEventSink final : public TComObject<TEventSink, IDispatch> {
 public:
  explicit TEventSink(TComDriver* owner) : FOwner(owner) {}
  // Waits for an event that another thread is raising into the driver; the
  // driver's own thread may detach from inside its handler.
  void Detach() {
    std::lock_guard lock(FLock);
    FOwner = nullptr;
  }

  void* Interface(REFIID iid) {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_IPloverDriverEvents)
      return static_cast<IDispatch*>(this);
    return nullptr;
  }
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                      UINT*) override;

 private:
  std::recursive_mutex FLock;
  TComDriver* FOwner;
};

class TComDriver final : public TDriver {
 public:
  explicit TComDriver(TComPtr<IDispatch> control) : FControl(std::move(control)) {
    Connect();
  }
  ~TComDriver() override {
    if (FPoint) FPoint->Unadvise(FCookie);
    if (FSink) FSink->Detach();
  }

  int32_t LookupName(const std::wstring& name) override {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name.c_str())};
    HRESULT hr = FControl->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    if (FAILED(hr)) RaiseOleError(hr);
    return id;
  }

  void PutById(int32_t dispId, const TVariant& value) override {
    TVariantOwner arg;
    TVariantToVariant(value, arg.Get());
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&arg.Get(), &named, 1, 1};
    Invoke(dispId, DISPATCH_PROPERTYPUT, params, nullptr);
  }

  TVariant GetById(int32_t dispId) override {
    TVariantOwner result;
    DISPPARAMS params{nullptr, nullptr, 0, 0};
    Invoke(dispId, DISPATCH_PROPERTYGET, params, result.Put());
    return VariantToTVariant(result.Get());
  }

  int32_t CallById(int32_t dispId) override {
    TVariantOwner result;
    DISPPARAMS params{nullptr, nullptr, 0, 0};
    Invoke(dispId, DISPATCH_METHOD, params, result.Put());
    if (V_VT(&result.Get()) == VT_I4) return result.Get().lVal;
    TVariant v = VariantToTVariant(result.Get());
    return v.IsEmpty() ? 0 : VarAsType(v, TVarType::Int).Int();
  }

  void RaiseCommand(int32_t commandId) {
    // A copy, so a handler that rebinds the event while it runs stays alive.
    TPloverDriverCommand handler = OnCommand;
    if (handler) handler(*this, commandId);
  }

 private:
  void Invoke(int32_t dispId, WORD flags, DISPPARAMS& params, VARIANT* result) {
    EXCEPINFO excep{};
    UINT argErr = 0;
    HRESULT hr = FControl->Invoke(dispId, IID_NULL, 0, flags, &params, result, &excep, &argErr);
    if (SUCCEEDED(hr)) return;
    if (hr != DISP_E_EXCEPTION) RaiseOleError(hr);
    if (excep.pfnDeferredFillIn) excep.pfnDeferredFillIn(&excep);
    TBstr source, description, help;
    *source.Put() = excep.bstrSource;
    *description.Put() = excep.bstrDescription;
    *help.Put() = excep.bstrHelpFile;
    HRESULT code = excep.scode ? excep.scode : hr;
    RaiseOleError(code, description.Str().c_str());
  }

  // Events are optional: a control without the connection point still works
  // for everything else, it only never raises OnCommand.
  void Connect() {
    TComPtr<IConnectionPointContainer> container;
    if (FAILED(FControl.QueryTo(IID_IConnectionPointContainer, container.PutVoid()))) return;
    if (FAILED(container->FindConnectionPoint(DIID_IPloverDriverEvents, FPoint.Put()))) return;
    FSink = TComPtr<TEventSink>(new TEventSink(this));
    if (FAILED(FPoint->Advise(FSink.Get(), &FCookie))) {
      FPoint.Reset();
      FSink->Detach();
      FSink.Reset();
    }
  }

  TComPtr<IDispatch> FControl;
  TComPtr<IConnectionPoint> FPoint;
  TComPtr<TEventSink> FSink;
  DWORD FCookie = 0;
};

HRESULT TEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                           UINT* argErr) {
  if (id != 1) return DISP_E_MEMBERNOTFOUND;
  if (!params || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
  std::lock_guard lock(FLock);
  if (!FOwner) return S_OK;
  try {
    TVariant arg = VariantToTVariant(params->rgvarg[0]);
    FOwner->RaiseCommand(VarAsType(arg, TVarType::Int).Int());
  } catch (const std::exception& e) {
    // An exception must not unwind into the control: it goes to the
    // program's error display instead.
    ReportEventError(e);
  } catch (...) {
    ReportEventError(Exception(L"Неизвестная ошибка"));
  }
  return S_OK;
}

}  // namespace

void SetComEventErrorHandler(std::function<void(const std::exception&)> handler) {
  EventErrorHandler() = std::move(handler);
}

std::unique_ptr<TDriver> CreateComDriver() {
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(kProgId, &clsid);
  if (FAILED(hr)) RaiseOleError(hr);
  TComPtr<IDispatch> control;
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, control.PutVoid());
  if (FAILED(hr)) RaiseOleError(hr);
  return std::make_unique<TComDriver>(std::move(control));
}
