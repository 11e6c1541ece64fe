#pragma once
// The control's settings dialog (ShowProperties): addresses, time-out, bus,
// journal, virtual stations and faults.
#include <windows.h>

#include "untEcrControl.h"

// Control identifiers, also used by the tests that drive the dialog.
enum TDrvPropsId : WORD {
  idSrcAddress = 101,
  idDstAddress,
  idTimeout,
  idBusKind,
  idBusPort,
  idVirtualEcr,
  idVirtualDesk,
  idDeskInterval,
  idDeskRequest,
  idFaultMethod,
  idFaultCode,
  idFaultEvery,
  idLinkLatency,
  idDeviceNotAnswering,
  idDeskAddress,
  idBusHost,
  idBusListen,
  idBusAllow,
  idJournalFile,
  idJournalOpen,
  idJournalMaxKB,
  idBusFault,
  idBusFaultEvery,
  idBusFaultDelay,
  idDeskScenario,
  idDeskCount,
  idDeskFirstAddress,
  idDeskReplayPace,
};

// The first item of the desk address box: the requests go to the control's
// own SrcAddress.
constexpr wchar_t kDeskToOwnAddressText[] = L"адрес станции";

constexpr wchar_t kDrvPropsTitle[] = L"Свойства драйвера";

// Modal on the calling thread. On OK the settings go to the control and to
// the registry and true is returned; on Cancel nothing changes.
bool ShowDriverProperties(HWND owner, TEcrControl& core);
