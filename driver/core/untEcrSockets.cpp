#include "untEcrSockets.h"

#include <cstring>
#include <mutex>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>
#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif
#else
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace ecr::net {

namespace {

// Network byte order without the library's helpers (fewer functions to load).
uint16_t Net16(uint16_t v) {
  const unsigned char b[2] = {static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)};
  uint16_t r;
  static_assert(sizeof r == sizeof b);
  std::memcpy(&r, b, sizeof r);
  return r;
}
uint16_t Host16(uint16_t v) {
  unsigned char b[2];
  std::memcpy(b, &v, sizeof b);
  return static_cast<uint16_t>((b[0] << 8) | b[1]);
}
uint32_t Net32(uint32_t v) {
  const unsigned char b[4] = {static_cast<unsigned char>(v >> 24), static_cast<unsigned char>(v >> 16),
                              static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)};
  uint32_t r;
  std::memcpy(&r, b, sizeof r);
  return r;
}
uint32_t Host32(uint32_t v) {
  unsigned char b[4];
  std::memcpy(b, &v, sizeof b);
  return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

sockaddr_in Endpoint(uint32_t address, uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = Net16(port);
  a.sin_addr.s_addr = Net32(address);
  return a;
}

#ifdef _WIN32

// The functions of the sockets library this file calls, with the library's
// own declarations (and so its calling convention on every architecture).
struct TWs2 {
  decltype(&::WSAStartup) WSAStartup = nullptr;
  decltype(&::WSAIoctl) WSAIoctl = nullptr;
  decltype(&::socket) socket = nullptr;
  decltype(&::setsockopt) setsockopt = nullptr;
  decltype(&::bind) bind = nullptr;
  decltype(&::closesocket) closesocket = nullptr;
  decltype(&::sendto) sendto = nullptr;
  decltype(&::recvfrom) recvfrom = nullptr;
  decltype(&::select) select = nullptr;
};

TWs2 GWs2;

template <class F>
bool Resolve(HMODULE lib, F& fn, const char* name) {
  fn = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
  return fn != nullptr;
}

bool LoadWs2() {
  // From the system folder only: a ws2_32.dll beside the program is not taken.
  wchar_t dir[MAX_PATH];
  UINT n = GetSystemDirectoryW(dir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  std::wstring path = std::wstring(dir, n) + L"\\ws2_32.dll";
  HMODULE lib = LoadLibraryW(path.c_str());  // kept for the life of the process
  if (!lib) return false;
  TWs2 w;
  bool ok = Resolve(lib, w.WSAStartup, "WSAStartup") && Resolve(lib, w.WSAIoctl, "WSAIoctl") &&
            Resolve(lib, w.socket, "socket") && Resolve(lib, w.setsockopt, "setsockopt") &&
            Resolve(lib, w.bind, "bind") && Resolve(lib, w.closesocket, "closesocket") &&
            Resolve(lib, w.sendto, "sendto") && Resolve(lib, w.recvfrom, "recvfrom") &&
            Resolve(lib, w.select, "select");
  if (!ok) return false;
  WSADATA data;
  if (w.WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  GWs2 = w;
  return true;
}

#endif

}  // namespace

#ifdef _WIN32
const TSocket kNoSocket = INVALID_SOCKET;
#else
const TSocket kNoSocket = -1;
#endif

bool StartSockets() {
#ifdef _WIN32
  static std::once_flag once;
  static bool started = false;
  std::call_once(once, [] { started = LoadWs2(); });
  return started;
#else
  return true;
#endif
}

TSocket Bind(uint32_t address, uint16_t port) {
  if (!StartSockets()) return kNoSocket;
  sockaddr_in a = Endpoint(address, port);
#ifdef _WIN32
  TSocketOwner s(GWs2.socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
  if (!s) return kNoSocket;
  // Windows would otherwise hand a later recvfrom the "port unreachable" of an
  // earlier send to a member that has gone, as an error.
  BOOL off = FALSE;
  DWORD bytes = 0;
  GWs2.WSAIoctl(s.Get(), SIO_UDP_CONNRESET, &off, sizeof off, nullptr, 0, &bytes, nullptr, nullptr);
  BOOL exclusive = TRUE;
  GWs2.setsockopt(s.Get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
                  sizeof exclusive);
  if (GWs2.bind(s.Get(), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) return kNoSocket;
#else
  TSocketOwner s(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
  if (!s) return kNoSocket;
  if (::bind(s.Get(), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) return kNoSocket;
#endif
  return s.Release();
}

void CloseSocket(TSocket s) {
  if (s == kNoSocket) return;
#ifdef _WIN32
  GWs2.closesocket(s);
#else
  ::close(s);
#endif
}

void SendTo(TSocket s, const char* data, size_t size, uint32_t address, uint16_t port) {
  sockaddr_in to = Endpoint(address, port);
#ifdef _WIN32
  GWs2.sendto(s, data, static_cast<int>(size), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
#else
  ::sendto(s, data, size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
#endif
}

size_t ReceiveFrom(TSocket s, char* buffer, size_t size, int timeoutMs, uint32_t& fromAddress, uint16_t& fromPort) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  sockaddr_in from{};
#ifdef _WIN32
  if (GWs2.select(0, &set, nullptr, nullptr, &tv) <= 0) return 0;
  int fromLen = sizeof from;
  int got = GWs2.recvfrom(s, buffer, static_cast<int>(size), 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
#else
  if (::select(s + 1, &set, nullptr, nullptr, &tv) <= 0) return 0;
  socklen_t fromLen = sizeof from;
  ssize_t got = ::recvfrom(s, buffer, size, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
#endif
  if (got <= 0) return 0;
  fromAddress = Host32(from.sin_addr.s_addr);
  fromPort = Host16(from.sin_port);
  return static_cast<size_t>(got);
}

}  // namespace ecr::net
