#pragma once
// The connection point of the control's events (IPloverDriverEvents). Events
// are raised on the control's home thread (the one that created it). A sink
// advised on that thread is called directly; one advised from another thread
// may live in another apartment and is kept in the process's global interface
// table, so that the home thread reaches it through its proxy.
#include <windows.h>
#include <ocidl.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "win/ScopedCom.h"

class TEventPoint final : public IConnectionPoint {
 public:
  // Lives inside its container and shares its reference count; made on the
  // control's home thread.
  explicit TEventPoint(IConnectionPointContainer& container)
      : FContainer(container), FHomeThread(GetCurrentThreadId()) {}
  TEventPoint(const TEventPoint&) = delete;
  TEventPoint& operator=(const TEventPoint&) = delete;
  ~TEventPoint();

  // OnCommand(CommandID) to every sink in turn, on the home thread; a failing
  // sink does not stop the others.
  void RaiseCommand(int32_t commandId);

  // Runs a task on the home thread; false when it cannot. A sink of the home
  // thread let go on another thread (the last reference to the control may be
  // dropped anywhere) is released through it, in its own apartment.
  using THomeRunner = std::function<bool(std::function<void()>)>;
  void SetHomeRunner(THomeRunner run);
  // Lets go of every sink. Sinks that cannot be sent home are kept rather
  // than released in a foreign apartment.
  void DisconnectAll();

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return FContainer.AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return FContainer.Release(); }

  STDMETHODIMP GetConnectionInterface(IID* iid) override;
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumConnections(IEnumConnections** out) override;

 private:
  struct TSink {
    DWORD Cookie;
    TComPtr<IDispatch> Direct;  // advised on the home thread
    DWORD TableCookie;          // otherwise: its global interface table entry
  };
  HRESULT DoAdvise(IUnknown* sink, DWORD* cookie);
  HRESULT DoUnadvise(DWORD cookie);
  IGlobalInterfaceTable* Table();
  void ReleaseAtHome(std::vector<IDispatch*> sinks);

  IConnectionPointContainer& FContainer;
  const DWORD FHomeThread;
  std::mutex FLock;
  TComPtr<IGlobalInterfaceTable> FTable;
  std::vector<TSink> FSinks;  // advise order
  DWORD FNextCookie = 1;
  THomeRunner FHomeRunner;
};
