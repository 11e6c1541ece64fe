#include "untEcrUdp.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>
#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace ecr {

namespace {

#ifdef _WIN32
using TSocket = SOCKET;
const TSocket kNoSocket = INVALID_SOCKET;
void CloseSocket(TSocket s) { closesocket(s); }
bool StartSockets() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}
#else
using TSocket = int;
const TSocket kNoSocket = -1;
void CloseSocket(TSocket s) { close(s); }
bool StartSockets() { return true; }
#endif

// Owns one socket.
class TSocketOwner {
 public:
  TSocketOwner() = default;
  explicit TSocketOwner(TSocket s) : FSocket(s) {}
  TSocketOwner(TSocketOwner&& o) noexcept : FSocket(o.FSocket) { o.FSocket = kNoSocket; }
  TSocketOwner& operator=(TSocketOwner&& o) noexcept {
    if (this != &o) {
      Reset();
      FSocket = o.FSocket;
      o.FSocket = kNoSocket;
    }
    return *this;
  }
  TSocketOwner(const TSocketOwner&) = delete;
  TSocketOwner& operator=(const TSocketOwner&) = delete;
  ~TSocketOwner() { Reset(); }
  void Reset() {
    if (FSocket != kNoSocket) CloseSocket(FSocket);
    FSocket = kNoSocket;
  }
  TSocket Get() const { return FSocket; }
  bool Valid() const { return FSocket != kNoSocket; }

 private:
  TSocket FSocket = kNoSocket;
};

const char kMagic[4] = {'P', 'L', 'V', 'B'};
constexpr char kHello = 'H';
constexpr char kFrame = 'F';
constexpr char kBye = 'B';
constexpr int64_t kHelloMs = 500;
constexpr int64_t kPeerLifeMs = 3000;
constexpr int64_t kTakeOverMs = 1000;
constexpr size_t kMaxDatagram = 8192;

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

// A UDP socket bound to 127.0.0.1:port (0: any free port); invalid when the
// port is taken.
TSocketOwner BindLoopback(uint16_t port) {
  TSocketOwner s(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
  if (!s.Valid()) return s;
#ifdef _WIN32
  // Windows would otherwise hand a later recvfrom the "port unreachable" of an
  // earlier send to a member that has gone, as an error.
  BOOL off = FALSE;
  DWORD bytes = 0;
  WSAIoctl(s.Get(), SIO_UDP_CONNRESET, &off, sizeof off, nullptr, 0, &bytes, nullptr, nullptr);
  BOOL exclusive = TRUE;
  setsockopt(s.Get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
#endif
  sockaddr_in a = Loopback(port);
  if (bind(s.Get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) s.Reset();
  return s;
}

class TUdpLinkImpl : public TUdpLink {
 public:
  TUdpLinkImpl(uint16_t port, TDeliver deliver) : FPort(port), FDeliver(std::move(deliver)) {}

  bool Start() {
    if (!StartSockets()) return false;
    TSocketOwner hub = BindLoopback(FPort);
    if (hub.Valid()) {
      FSocket = std::move(hub);
      FIsHub = true;
    } else {
      FSocket = BindLoopback(0);
      if (!FSocket.Valid()) return false;
      SendTo(kHello, {}, Loopback(FPort));
    }
    FThread = std::thread([this] { Run(); });
    return true;
  }

  ~TUdpLinkImpl() override {
    FStop = true;
    if (FThread.joinable()) FThread.join();
    std::lock_guard lock(FMutex);
    if (!FIsHub && FSocket.Valid()) SendTo(kBye, {}, Loopback(FPort));
  }

  void Send(const std::string& bytes) override {
    std::lock_guard lock(FMutex);
    if (FIsHub) {
      for (auto& [port, seen] : FPeers) SendTo(kFrame, bytes, Loopback(port));
    } else {
      SendTo(kFrame, bytes, Loopback(FPort));
    }
  }

  bool IsHub() override {
    std::lock_guard lock(FMutex);
    return FIsHub;
  }

 private:
  // Caller holds FMutex (or is the only user of the socket yet).
  void SendTo(char kind, const std::string& bytes, const sockaddr_in& to) {
    std::string d(kMagic, sizeof kMagic);
    d.push_back(kind);
    d += bytes;
    sendto(FSocket.Get(), d.data(), static_cast<int>(d.size()), 0, reinterpret_cast<const sockaddr*>(&to),
           sizeof to);
  }

  void Run() {
    int64_t lastHello = NowMs(), lastTry = NowMs();
    std::string buf(kMaxDatagram, '\0');
    while (!FStop) {
      TSocket s;
      {
        std::lock_guard lock(FMutex);
        s = FSocket.Get();
      }
      fd_set set;
      FD_ZERO(&set);
      FD_SET(s, &set);
      timeval tv{0, 100000};
      int n = select(static_cast<int>(s + 1), &set, nullptr, nullptr, &tv);
      if (n > 0) {
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        int got = recvfrom(s, buf.data(), static_cast<int>(buf.size()), 0, reinterpret_cast<sockaddr*>(&from),
                           &fromLen);
        if (got >= 5 && std::memcmp(buf.data(), kMagic, sizeof kMagic) == 0 &&
            from.sin_addr.s_addr == htonl(INADDR_LOOPBACK))
          Handle(buf[4], std::string(buf.data() + 5, static_cast<size_t>(got - 5)), ntohs(from.sin_port));
      }
      Housekeeping(lastHello, lastTry);
    }
  }

  void Handle(char kind, std::string bytes, uint16_t fromPort) {
    bool deliver = false;
    {
      std::lock_guard lock(FMutex);
      if (FIsHub) {
        if (kind == kBye) {
          FPeers.erase(fromPort);
          return;
        }
        FPeers[fromPort] = NowMs();
        if (kind == kFrame) {
          for (auto& [port, seen] : FPeers)
            if (port != fromPort) SendTo(kFrame, bytes, Loopback(port));
          deliver = true;
        }
      } else if (kind == kFrame && fromPort == FPort) {
        deliver = true;
      }
    }
    if (deliver) FDeliver(std::move(bytes));
  }

  void Housekeeping(int64_t& lastHello, int64_t& lastTry) {
    int64_t now = NowMs();
    std::lock_guard lock(FMutex);
    if (FIsHub) {
      for (auto it = FPeers.begin(); it != FPeers.end();)
        it = now - it->second > kPeerLifeMs ? FPeers.erase(it) : std::next(it);
      return;
    }
    if (now - lastTry >= kTakeOverMs) {
      lastTry = now;
      TSocketOwner hub = BindLoopback(FPort);
      if (hub.Valid()) {
        FSocket = std::move(hub);
        FIsHub = true;
        FPeers.clear();
        return;
      }
    }
    if (now - lastHello >= kHelloMs) {
      lastHello = now;
      SendTo(kHello, {}, Loopback(FPort));
    }
  }

  const uint16_t FPort;
  const TDeliver FDeliver;
  std::mutex FMutex;
  TSocketOwner FSocket;
  bool FIsHub = false;
  std::map<uint16_t, int64_t> FPeers;  // member port -> last heard
  std::atomic<bool> FStop{false};
  std::thread FThread;
};

}  // namespace

std::unique_ptr<TUdpLink> TUdpLink::Open(int32_t port, TDeliver deliver) {
  if (port < 1 || port > 65535) return nullptr;
  auto link = std::make_unique<TUdpLinkImpl>(static_cast<uint16_t>(port), std::move(deliver));
  if (!link->Start()) return nullptr;
  return link;
}

}  // namespace ecr
