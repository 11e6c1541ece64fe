#include "untEventPoint.h"

#include <olectl.h>

#include <algorithm>

#include "PloverDrv_h.h"

TEventPoint::~TEventPoint() {
  if (!FTable) return;
  for (DWORD cookie : FCookies) FTable->RevokeInterfaceFromGlobal(cookie);
}

IGlobalInterfaceTable* TEventPoint::Table() {
  if (!FTable)
    CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_IGlobalInterfaceTable,
                     FTable.PutVoid());
  return FTable.Get();
}

void TEventPoint::RaiseCommand(int32_t commandId) {
  std::vector<DWORD> cookies;
  IGlobalInterfaceTable* table;
  {
    std::lock_guard lock(FLock);
    cookies = FCookies;
    table = FTable.Get();
  }
  // The table lives as long as this point; sinks advised or unadvised while
  // the event runs take effect from the next one.
  for (DWORD cookie : cookies) {
    TComPtr<IDispatch> sink;
    if (!table || FAILED(table->GetInterfaceFromGlobal(cookie, IID_IDispatch, sink.PutVoid()))) continue;
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_I4;
    arg.lVal = commandId;
    DISPPARAMS params{&arg, nullptr, 1, 0};
    sink->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
  }
}

STDMETHODIMP TEventPoint::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP TEventPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = DIID_IPloverDriverEvents;
  return S_OK;
}

STDMETHODIMP TEventPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
  if (!out) return E_POINTER;
  *out = &FContainer;
  FContainer.AddRef();
  return S_OK;
}

STDMETHODIMP TEventPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (!sink) return E_POINTER;
  // Script hosts hand in sinks that know only IDispatch.
  TComPtr<IDispatch> events;
  if (FAILED(sink->QueryInterface(DIID_IPloverDriverEvents, events.PutVoid())) &&
      FAILED(sink->QueryInterface(IID_IDispatch, events.PutVoid())))
    return CONNECT_E_CANNOTCONNECT;
  std::lock_guard lock(FLock);
  IGlobalInterfaceTable* table = Table();
  if (!table) return E_UNEXPECTED;
  DWORD gitCookie = 0;
  HRESULT hr = table->RegisterInterfaceInGlobal(events.Get(), IID_IDispatch, &gitCookie);
  if (FAILED(hr)) return hr;
  FCookies.push_back(gitCookie);
  *cookie = gitCookie;
  return S_OK;
}

STDMETHODIMP TEventPoint::Unadvise(DWORD cookie) {
  std::lock_guard lock(FLock);
  auto it = std::find(FCookies.begin(), FCookies.end(), cookie);
  if (it == FCookies.end() || cookie == 0) return CONNECT_E_NOCONNECTION;
  FCookies.erase(it);
  FTable->RevokeInterfaceFromGlobal(cookie);
  return S_OK;
}

STDMETHODIMP TEventPoint::EnumConnections(IEnumConnections** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}
