#pragma once
// The connection point of the control's events (IPloverDriverEvents). Sinks
// are kept in the process's global interface table: the control is
// free-threaded and must not hold a sink's raw pointer across apartments.
#include <windows.h>
#include <ocidl.h>

#include <cstdint>
#include <mutex>
#include <vector>

#include "win/ScopedCom.h"

class TEventPoint final : public IConnectionPoint {
 public:
  // Lives inside its container and shares its reference count.
  explicit TEventPoint(IConnectionPointContainer& container) : FContainer(container) {}
  TEventPoint(const TEventPoint&) = delete;
  TEventPoint& operator=(const TEventPoint&) = delete;
  ~TEventPoint();

  // OnCommand(CommandID) to every sink in turn; a failing sink does not stop
  // the others.
  void RaiseCommand(int32_t commandId);

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return FContainer.AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return FContainer.Release(); }

  STDMETHODIMP GetConnectionInterface(IID* iid) override;
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumConnections(IEnumConnections** out) override;

 private:
  IGlobalInterfaceTable* Table();

  IConnectionPointContainer& FContainer;
  std::mutex FLock;
  TComPtr<IGlobalInterfaceTable> FTable;
  std::vector<DWORD> FCookies;  // global interface table cookies, advise order
};
