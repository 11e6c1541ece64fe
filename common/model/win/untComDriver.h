#pragma once
// The driver as the programs use it on Windows: the control registered under
// the ProgID PloverDrv.PloverDriver, reached through its IDispatch, with its
// OnCommand event connected to TPloverDriver::OnCommand.
#include <exception>
#include <functional>
#include <memory>

#include "Driver.h"

// Creates the registered control on the calling thread (COM must be
// initialised there); OnCommand is raised on this thread while it pumps
// messages. Throws EOleError when the control is not registered or refuses.
std::unique_ptr<TDriver> CreateComDriver();

// Where an exception that escapes an OnCommand handler goes (the program's
// error display): it cannot travel back through the control's event call.
// Without a handler it is dropped. Set once at start-up.
void SetComEventErrorHandler(std::function<void(const std::exception&)> handler);
