#include "untDriverObject.h"

#include <ocidl.h>
#include <olectl.h>
#include <oleauto.h>

#include <atomic>
#include <memory>
#include <new>

#include "PloverDrv_TLB.h"
#include "PloverDrv_h.h"
#include "fmuDrvProps.h"
#include "untComBoundary.h"
#include "untDllModule.h"
#include "untDrvSettings.h"
#include "untEcrControl.h"
#include "untError.h"
#include "untEventPoint.h"
#include "untNotifyWindow.h"
#include "untOleVariant.h"
#include "untText.h"
#include "win/ScopedCom.h"

namespace {

constexpr wchar_t kSource[] = L"PloverDrv.PloverDriver";

class TDriverObject final
    : public TComObject<TDriverObject, IPloverDriver4, ISupportErrorInfo, IConnectionPointContainer>,
      private INotifyTarget {
 public:
  TDriverObject() : FCore(TEcrControl::Create(LoadSettings())), FPoint(*this), FWindow(this) {
    // Aggregated: the marshaler holds this object as its outer unknown.
    HRESULT hr = CoCreateFreeThreadedMarshaler(static_cast<IPloverDriver4*>(this), FMarshaler.Put());
    if (FAILED(hr)) RaiseOleError(hr);
    FCore->SetArrivedNotify(FWindow.Poster());
    FPoint.SetHomeRunner([this](std::function<void()> task) { return FWindow.PostTask(std::move(task)); });
  }

  // IUnknown
  void* Interface(REFIID iid) {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IPloverDriver4)
      return static_cast<IPloverDriver4*>(this);
    if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    if (iid == IID_IConnectionPointContainer) return static_cast<IConnectionPointContainer*>(this);
    return nullptr;
  }
  HRESULT QueryOther(REFIID iid, void** out) {
    if (iid == IID_IMarshal && FMarshaler) return FMarshaler->QueryInterface(iid, out);
    return E_NOINTERFACE;
  }

  // IDispatch
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = DriverTypeInfo() ? 1 : 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    ITypeInfo* info = DriverTypeInfo();
    if (!info) return TYPE_E_CANTLOADLIBRARY;
    info->AddRef();
    *out = info;
    return S_OK;
  }
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* excep, UINT* argErr) override;

  // IPloverDriver4: every property and method, straight onto the core.
#define SHELL_TYPE_I4 LONG
#define SHELL_TYPE_STR BSTR
#define SHELL_TYPE_CY CY
#define SHELL_TYPE_R8 double
#define SHELL_TYPE_DT DATE
#define SHELL_TYPE_BOOL VARIANT_BOOL
#define SHELL_PUT_RW(name, kind, did) \
  STDMETHODIMP put_##name(SHELL_TYPE_##kind value) override { return Put##kind(did, value); }
#define SHELL_PUT_RO(name, kind, did)
#define DRV_PROP(name, kind, did, access)                                                       \
  STDMETHODIMP get_##name(SHELL_TYPE_##kind* value) override { return Get##kind(did, value); } \
  SHELL_PUT_##access(name, kind, did)
#define DRV_METHOD(name, did) \
  STDMETHODIMP name(LONG* result) override { return CallMethod(did, result); }
#include "PloverDrvProps.inc"
#undef DRV_PROP
#undef DRV_METHOD
#undef SHELL_PUT_RW
#undef SHELL_PUT_RO

  // ISupportErrorInfo
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override {
    return iid == IID_IPloverDriver4 || iid == IID_IDispatch ? S_OK : S_FALSE;
  }

  // IConnectionPointContainer
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != DIID_IPloverDriverEvents) return CONNECT_E_NOCONNECTION;
    *out = &FPoint;
    FPoint.AddRef();
    return S_OK;
  }

 private:
  ~TDriverObject() override {
    // Returns once no notice of the core's threads is running, so none
    // reaches the window while the members go.
    FCore->SetArrivedNotify(nullptr);
    // While the window is still there to take home sinks let go on another
    // thread.
    FPoint.DisconnectAll();
    FPoint.SetHomeRunner(nullptr);
  }

  // INotifyTarget, on the creating thread.
  bool BeginNotify() override { return TryAddRef(); }
  void Notified() override {
    for (int32_t id : FCore->TakeArrived()) FPoint.RaiseCommand(id);
  }
  void EndNotify() override { Release(); }

  TVariant GetValue(int32_t did) {
    if (did == dispid::DriverVersion) return TVariant::FromStr(ModuleVersionText());
    return FCore->Get(did);
  }
  int32_t Call(int32_t did) {
    // The dialog is the shell's; the core then records the call's result.
    if (did == dispid::ShowProperties) ShowDriverProperties(GetActiveWindow(), *FCore);
    return FCore->Call(did);
  }

  template <class F>
  HRESULT Guard(F&& body) noexcept {
    return ComBoundary(std::forward<F>(body));
  }

  template <class T, class F>
  HRESULT GetAs(int32_t did, T* out, TVarType type, F&& convert) noexcept {
    if (!out) return E_POINTER;
    return Guard([&] {
      TVariant v = GetValue(did);
      if (v.Type() != type) v = VarAsType(v, type);
      *out = convert(v);
    });
  }
  HRESULT GetI4(int32_t did, LONG* out) {
    return GetAs(did, out, TVarType::Int, [](const TVariant& v) { return static_cast<LONG>(v.Int()); });
  }
  HRESULT GetSTR(int32_t did, BSTR* out) {
    if (out) *out = nullptr;
    return GetAs(did, out, TVarType::Str, [](const TVariant& v) {
      BSTR b = SysAllocStringLen(v.Str().data(), static_cast<UINT>(v.Str().size()));
      if (!b) throw std::bad_alloc();
      return b;
    });
  }
  HRESULT GetCY(int32_t did, CY* out) {
    return GetAs(did, out, TVarType::Currency, [](const TVariant& v) {
      CY cy;
      cy.int64 = v.Currency();
      return cy;
    });
  }
  HRESULT GetR8(int32_t did, double* out) {
    return GetAs(did, out, TVarType::Double, [](const TVariant& v) { return v.Double(); });
  }
  HRESULT GetDT(int32_t did, DATE* out) {
    return GetAs(did, out, TVarType::Date, [](const TVariant& v) { return v.Double(); });
  }
  HRESULT GetBOOL(int32_t did, VARIANT_BOOL* out) {
    return GetAs(did, out, TVarType::Bool,
                 [](const TVariant& v) { return v.Bool() ? VARIANT_TRUE : VARIANT_FALSE; });
  }

  HRESULT PutI4(int32_t did, LONG v) { return Guard([&] { FCore->Put(did, TVariant::FromInt(v)); }); }
  HRESULT PutSTR(int32_t did, BSTR v) {
    return Guard([&] {
      FCore->Put(did, TVariant::FromStr(v ? std::wstring(v, SysStringLen(v)) : std::wstring()));
    });
  }
  HRESULT PutCY(int32_t did, CY v) { return Guard([&] { FCore->Put(did, TVariant::FromCurrency(v.int64)); }); }
  HRESULT PutR8(int32_t did, double v) { return Guard([&] { FCore->Put(did, TVariant::FromDouble(v)); }); }
  HRESULT PutDT(int32_t did, DATE v) { return Guard([&] { FCore->Put(did, TVariant::FromDate(v)); }); }
  HRESULT PutBOOL(int32_t did, VARIANT_BOOL v) {
    return Guard([&] { FCore->Put(did, TVariant::FromBool(v != VARIANT_FALSE)); });
  }

  HRESULT CallMethod(int32_t did, LONG* result) {
    if (!result) return E_POINTER;
    return Guard([&] { *result = Call(did); });
  }

  HRESULT InvokeMember(const TMemberInfo& m, WORD flags, DISPPARAMS& params, VARIANT* result, UINT* argErr);

  TModuleRef FModuleRef;
  TComPtr<IUnknown> FMarshaler;
  std::unique_ptr<TEcrControl> FCore;
  TEventPoint FPoint;
  // Last: it goes first, so no event is raised into a half-destroyed object.
  TNotifyWindow FWindow;
};

STDMETHODIMP TDriverObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (!names || !ids) return E_POINTER;
  if (count == 0) return S_OK;
  HRESULT hr = S_OK;
  const TMemberInfo* m = names[0] ? FindMemberByName(names[0]) : nullptr;
  ids[0] = m ? m->DispId : DISPID_UNKNOWN;
  if (!m) hr = DISP_E_UNKNOWNNAME;
  // No member takes named arguments.
  for (UINT i = 1; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

STDMETHODIMP TDriverObject::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* excep, UINT* argErr) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  const TMemberInfo* m = FindMemberById(id);
  if (!m) return DISP_E_MEMBERNOTFOUND;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  try {
    return InvokeMember(*m, flags, params ? *params : none, result, argErr);
  } catch (...) {
    TComFailure f = CurrentComFailure();
    if (!excep) {
      SetComErrorText(f.Text);
      return f.Code;
    }
    *excep = EXCEPINFO{};
    excep->bstrSource = SysAllocString(kSource);
    excep->bstrDescription = SysAllocStringLen(f.Text.data(), static_cast<UINT>(f.Text.size()));
    excep->scode = f.Code;
    return DISP_E_EXCEPTION;
  }
}

HRESULT TDriverObject::InvokeMember(const TMemberInfo& m, WORD flags, DISPPARAMS& params, VARIANT* result,
                                    UINT* argErr) {
  const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  if (m.IsMethod || !put) {
    if (put || !(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
    if (params.cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    if (params.cArgs != 0) return DISP_E_BADPARAMCOUNT;
    TVariant value = m.IsMethod ? TVariant::FromInt(Call(m.DispId)) : GetValue(m.DispId);
    if (result) {
      VariantInit(result);
      TVariantToVariant(value, *result);
    }
    return S_OK;
  }
  if (m.ReadOnly) return DISP_E_MEMBERNOTFOUND;
  if (params.cArgs != 1) return DISP_E_BADPARAMCOUNT;
  if (params.cNamedArgs > 1 || (params.cNamedArgs == 1 && params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
    return DISP_E_PARAMNOTFOUND;
  // Ordinary automation coercion: text for an integer, a double for an
  // integer or a currency, and so on; the core gets its own type only.
  VARIANT& given = params.rgvarg[0];
  const VARTYPE declared = VarTypeOf(VarTypeOfKind(m.Kind));
  if (V_VT(&given) == declared) {
    FCore->Put(m.DispId, VariantToTVariant(given));
    return S_OK;
  }
  TVariantOwner arg;
  HRESULT hr = VariantChangeType(&arg, &given, 0, declared);
  if (FAILED(hr)) {
    if (argErr) *argErr = 0;
    return hr;
  }
  FCore->Put(m.DispId, VariantToTVariant(arg.Get()));
  return S_OK;
}

}  // namespace

HRESULT CreateDriverObject(REFIID iid, void** out) {
  TDriverObject* object = nullptr;
  try {
    object = new TDriverObject();
  } catch (...) {
    return FailWithErrorInfo();
  }
  HRESULT hr = object->QueryInterface(iid, out);
  object->Release();
  return hr;
}
