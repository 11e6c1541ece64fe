#pragma once
// The control object of PloverDrv.dll: IPloverDriver4 (dual) over one
// TEcrControl, its events, error information and the free-threaded marshaler.
#include <windows.h>

// Creates a control on the calling thread (its events are raised on this
// thread) and queries it for iid.
HRESULT CreateDriverObject(REFIID iid, void** out);
