#include "untEventPoint.h"

#include <olectl.h>

#include <algorithm>

#include "PloverDrv_h.h"
#include "untComBoundary.h"

TEventPoint::~TEventPoint() { DisconnectAll(); }

void TEventPoint::SetHomeRunner(THomeRunner run) {
  std::lock_guard lock(FLock);
  FHomeRunner = std::move(run);
}

void TEventPoint::ReleaseAtHome(std::vector<IDispatch*> sinks) {
  if (sinks.empty()) return;
  if (GetCurrentThreadId() == FHomeThread) {
    for (IDispatch* sink : sinks) sink->Release();
    return;
  }
  THomeRunner run;
  {
    std::lock_guard lock(FLock);
    run = FHomeRunner;
  }
  if (run && run([sinks] {
        for (IDispatch* sink : sinks) sink->Release();
      }))
    return;
  // No way home: the references are kept, which costs less than releasing an
  // object outside its apartment.
}

void TEventPoint::DisconnectAll() {
  std::vector<IDispatch*> direct;
  std::vector<DWORD> tableCookies;
  IGlobalInterfaceTable* table;
  {
    std::lock_guard lock(FLock);
    for (TSink& sink : FSinks) {
      if (sink.Direct)
        direct.push_back(sink.Direct.Detach());
      else
        tableCookies.push_back(sink.TableCookie);
    }
    FSinks.clear();
    table = FTable.Get();
  }
  // Revoking may call into another apartment: never under the lock.
  if (table)
    for (DWORD cookie : tableCookies) table->RevokeInterfaceFromGlobal(cookie);
  ReleaseAtHome(std::move(direct));
}

IGlobalInterfaceTable* TEventPoint::Table() {
  if (!FTable)
    CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_IGlobalInterfaceTable,
                     FTable.PutVoid());
  return FTable.Get();
}

void TEventPoint::RaiseCommand(int32_t commandId) {
  std::vector<TSink> sinks;
  IGlobalInterfaceTable* table;
  {
    std::lock_guard lock(FLock);
    sinks = FSinks;
    table = FTable.Get();
  }
  // The table lives as long as this point; sinks advised or unadvised while
  // the event runs take effect from the next one.
  for (const TSink& entry : sinks) {
    TComPtr<IDispatch> sink = entry.Direct;
    if (!sink && (!table || FAILED(table->GetInterfaceFromGlobal(entry.TableCookie, IID_IDispatch, sink.PutVoid()))))
      continue;
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
  return ComBoundary([&] { return DoAdvise(sink, cookie); });
}

STDMETHODIMP TEventPoint::Unadvise(DWORD cookie) {
  return ComBoundary([&] { return DoUnadvise(cookie); });
}

HRESULT TEventPoint::DoAdvise(IUnknown* sink, DWORD* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (!sink) return E_POINTER;
  // Script hosts hand in sinks that know only IDispatch.
  TComPtr<IDispatch> events;
  if (FAILED(sink->QueryInterface(DIID_IPloverDriverEvents, events.PutVoid())) &&
      FAILED(sink->QueryInterface(IID_IDispatch, events.PutVoid())))
    return CONNECT_E_CANNOTCONNECT;
  std::lock_guard lock(FLock);
  TSink entry{FNextCookie, {}, 0};
  if (GetCurrentThreadId() == FHomeThread) {
    // Same thread, same apartment: no marshalling, and none of its start-up.
    entry.Direct = std::move(events);
  } else {
    IGlobalInterfaceTable* table = Table();
    if (!table) return E_UNEXPECTED;
    HRESULT hr = table->RegisterInterfaceInGlobal(events.Get(), IID_IDispatch, &entry.TableCookie);
    if (FAILED(hr)) return hr;
  }
  if (++FNextCookie == 0) FNextCookie = 1;
  FSinks.push_back(std::move(entry));
  *cookie = FSinks.back().Cookie;
  return S_OK;
}

HRESULT TEventPoint::DoUnadvise(DWORD cookie) {
  // Let go outside the lock: the sink may call back, and revoking may call
  // into another apartment.
  IDispatch* direct = nullptr;
  DWORD tableCookie = 0;
  IGlobalInterfaceTable* table;
  {
    std::lock_guard lock(FLock);
    auto it = std::find_if(FSinks.begin(), FSinks.end(), [&](const TSink& s) { return s.Cookie == cookie; });
    if (it == FSinks.end() || cookie == 0) return CONNECT_E_NOCONNECTION;
    if (it->Direct)
      direct = it->Direct.Detach();
    else
      tableCookie = it->TableCookie;
    FSinks.erase(it);
    table = FTable.Get();
  }
  if (direct)
    ReleaseAtHome({direct});
  else if (table)
    table->RevokeInterfaceFromGlobal(tableCookie);
  return S_OK;
}

STDMETHODIMP TEventPoint::EnumConnections(IEnumConnections** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}
