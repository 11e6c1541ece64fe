#pragma once
// The few datagram-socket calls the loopback bus makes, on one code path for
// every build.
//
// On Windows the sockets library is loaded by this code, from the system
// folder, the first time a socket is asked for: a program on the in-process
// bus (the default) never loads it, and nothing in the driver's import table
// depends on a linker's delay-load support. On other systems the calls go to
// the C library.
#include <cstddef>
#include <cstdint>

#include "untUniqueHandle.h"

namespace ecr::net {

#ifdef _WIN32
using TSocket = uintptr_t;
#else
using TSocket = int;
#endif
extern const TSocket kNoSocket;

// Loads and starts the sockets library once per process. False when it
// cannot be loaded, lacks a function or does not start; the bus then reports
// the network as down.
bool StartSockets();

// A UDP socket bound to address:port (host order; port 0: any free port);
// kNoSocket when the port is taken, the address is not this computer's or no
// socket can be made. On Windows the port is held exclusively and a send to
// a departed peer does not fail later receives.
TSocket Bind(uint32_t address, uint16_t port);
void CloseSocket(TSocket s);

struct TSocketTraits {
  static TSocket Invalid() noexcept { return kNoSocket; }
  static void Close(TSocket s) noexcept { CloseSocket(s); }
};
using TSocketOwner = TUniqueHandle<TSocket, TSocketTraits>;

// One datagram to address:port; failures are not reported (datagrams may be
// lost anyway).
void SendTo(TSocket s, const char* data, size_t size, uint32_t address, uint16_t port);
// Waits up to timeoutMs for a datagram; its size (0 when none arrived) and
// the sender's address and port.
size_t ReceiveFrom(TSocket s, char* buffer, size_t size, int timeoutMs, uint32_t& fromAddress, uint16_t& fromPort);

}  // namespace ecr::net
