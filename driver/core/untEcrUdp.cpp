#include "untEcrUdp.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "untEcrSockets.h"

namespace ecr {

namespace {

using net::TSocket;
using net::TSocketOwner;

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

class TUdpLinkImpl : public TUdpLink {
 public:
  TUdpLinkImpl(uint16_t port, TDeliver deliver) : FPort(port), FDeliver(std::move(deliver)) {}

  bool Start() {
    if (!net::StartSockets()) return false;
    TSocketOwner hub(net::BindLoopback(FPort));
    if (hub) {
      FSocket = std::move(hub);
      FIsHub = true;
    } else {
      FSocket = TSocketOwner(net::BindLoopback(0));
      if (!FSocket) return false;
      SendTo(kHello, {}, FPort);
    }
    FThread = std::thread([this] { Run(); });
    return true;
  }

  ~TUdpLinkImpl() override {
    FStop = true;
    if (FThread.joinable()) FThread.join();
    std::lock_guard lock(FMutex);
    if (!FIsHub && FSocket) SendTo(kBye, {}, FPort);
  }

  void Send(const std::string& bytes) override {
    std::lock_guard lock(FMutex);
    if (FIsHub) {
      for (auto& [port, seen] : FPeers) SendTo(kFrame, bytes, port);
    } else {
      SendTo(kFrame, bytes, FPort);
    }
  }

  bool IsHub() override {
    std::lock_guard lock(FMutex);
    return FIsHub;
  }

 private:
  // Caller holds FMutex (or is the only user of the socket yet).
  void SendTo(char kind, const std::string& bytes, uint16_t port) {
    std::string d(kMagic, sizeof kMagic);
    d.push_back(kind);
    d += bytes;
    net::SendTo(FSocket.Get(), d.data(), d.size(), port);
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
      uint16_t fromPort = 0;
      size_t got = net::ReceiveFrom(s, buf.data(), buf.size(), 100, fromPort);
      if (got >= 5 && std::memcmp(buf.data(), kMagic, sizeof kMagic) == 0)
        Handle(buf[4], std::string(buf.data() + 5, got - 5), fromPort);
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
            if (port != fromPort) SendTo(kFrame, bytes, port);
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
      TSocketOwner hub(net::BindLoopback(FPort));
      if (hub) {
        FSocket = std::move(hub);
        FIsHub = true;
        FPeers.clear();
        return;
      }
    }
    if (now - lastHello >= kHelloMs) {
      lastHello = now;
      SendTo(kHello, {}, FPort);
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
