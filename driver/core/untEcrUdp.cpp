#include "untEcrUdp.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "untEcrSockets.h"
#include "untText.h"

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
// Refusals are told in one line per source address and second.
constexpr int64_t kRefusalReportMs = 1000;
constexpr size_t kMaxDatagram = 8192;

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

struct TPeer {
  uint32_t Address;
  uint16_t Port;
  bool operator<(const TPeer& o) const { return Address != o.Address ? Address < o.Address : Port < o.Port; }
  bool operator==(const TPeer& o) const { return Address == o.Address && Port == o.Port; }
};

class TUdpLinkImpl : public TUdpLink {
 public:
  TUdpLinkImpl(const TUdpConfig& config, TDeliver deliver, TNotice notice)
      : FConfig(config),
        FHub{config.Addresses.Hub, config.Port},
        FAccess(config.Addresses.Bind, config.Allow),
        FDeliver(std::move(deliver)),
        FNotice(std::move(notice)) {}

  bool Start() {
    if (!net::StartSockets()) return false;
    if (TryBecomeHub()) {
      FThread = std::thread([this] { Run(); });
      return true;
    }
    FSocket = TSocketOwner(net::Bind(FConfig.Addresses.Bind, 0));
    if (!FSocket) return false;
    SendTo(kHello, {}, FHub);
    FThread = std::thread([this] { Run(); });
    return true;
  }

  ~TUdpLinkImpl() override {
    FStop = true;
    if (FThread.joinable()) FThread.join();
    std::lock_guard lock(FMutex);
    if (!FIsHub && FSocket) SendTo(kBye, {}, FHub);
  }

  void Send(const std::string& bytes) override {
    std::lock_guard lock(FMutex);
    if (FIsHub) {
      for (auto& [peer, seen] : FPeers) SendTo(kFrame, bytes, peer);
    } else {
      SendTo(kFrame, bytes, FHub);
    }
  }

  bool IsHub() override {
    std::lock_guard lock(FMutex);
    return FIsHub;
  }

 private:
  // Only a process whose hub is on this computer binds the hub's port.
  bool TryBecomeHub() {
    if (!FConfig.Addresses.MayBeHub) return false;
    TSocketOwner hub(net::Bind(FConfig.Addresses.Bind, FConfig.Port));
    if (!hub) return false;
    FSocket = std::move(hub);
    FIsHub = true;
    FPeers.clear();
    return true;
  }

  // A member takes frames from the hub only. A hub on a loopback address is
  // heard from any of them: only this computer sends from there, and Wine
  // sends (and reports) every loopback datagram as from 127.0.0.1 whatever
  // address the hub's socket is bound to.
  bool FromHub(const TPeer& from) const {
    if (from.Port != FHub.Port) return false;
    return from.Address == FHub.Address || (IsLoopbackNet(FHub.Address) && IsLoopbackNet(from.Address));
  }

  // Caller holds FMutex (or is the only user of the socket yet).
  void SendTo(char kind, const std::string& bytes, const TPeer& to) {
    std::string d(kMagic, sizeof kMagic);
    d.push_back(kind);
    d += bytes;
    net::SendTo(FSocket.Get(), d.data(), d.size(), to.Address, to.Port);
  }

  void Run() {
    int64_t lastHello = NowMs(), lastTry = NowMs(), lastReport = NowMs();
    std::string buf(kMaxDatagram, '\0');
    while (!FStop) {
      TSocket s;
      {
        std::lock_guard lock(FMutex);
        s = FSocket.Get();
      }
      TPeer from{0, 0};
      size_t got = net::ReceiveFrom(s, buf.data(), buf.size(), 100, from.Address, from.Port);
      if (got > 0) Handle(buf.data(), got, from);
      Housekeeping(lastHello, lastTry);
      if (NowMs() - lastReport >= kRefusalReportMs) {
        lastReport = NowMs();
        ReportRefusals();
      }
    }
    ReportRefusals();
  }

  void Handle(const char* data, size_t size, const TPeer& from) {
    bool deliver = false;
    std::string bytes;
    {
      std::lock_guard lock(FMutex);
      if (FIsHub && !FAccess.Admits(from.Address)) {
        ++FRefused[from.Address];
        return;
      }
      // Anything that is not one of ours is dropped, from anyone.
      if (size < 5 || std::memcmp(data, kMagic, sizeof kMagic) != 0) return;
      const char kind = data[4];
      bytes.assign(data + 5, size - 5);
      if (FIsHub) {
        if (kind == kBye) {
          FPeers.erase(from);
          return;
        }
        FPeers[from] = NowMs();
        if (kind == kFrame) {
          for (auto& [peer, seen] : FPeers)
            if (!(peer == from)) SendTo(kFrame, bytes, peer);
          deliver = true;
        }
      } else if (kind == kFrame && FromHub(from)) {
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
      if (TryBecomeHub()) return;
    }
    if (now - lastHello >= kHelloMs) {
      lastHello = now;
      SendTo(kHello, {}, FHub);
    }
  }

  void ReportRefusals() {
    std::map<uint32_t, uint64_t> refused;
    {
      std::lock_guard lock(FMutex);
      refused.swap(FRefused);
    }
    if (!FNotice) return;
    for (const auto& [address, count] : refused)
      FNotice(Format(L"шина UDP %ls:%u: отвергнуто датаграмм от %ls: %llu (адреса нет в BusAllow)",
                     Ip4Text(FConfig.Addresses.Bind).c_str(), unsigned{FConfig.Port}, Ip4Text(address).c_str(),
                     static_cast<unsigned long long>(count)));
  }

  const TUdpConfig FConfig;
  const TPeer FHub;
  const TBusAccess FAccess;
  const TDeliver FDeliver;
  const TNotice FNotice;
  std::mutex FMutex;
  TSocketOwner FSocket;
  bool FIsHub = false;
  std::map<TPeer, int64_t> FPeers;        // member -> last heard
  std::map<uint32_t, uint64_t> FRefused;  // source address -> datagrams since the last report
  std::atomic<bool> FStop{false};
  std::thread FThread;
};

}  // namespace

std::unique_ptr<TUdpLink> TUdpLink::Open(const TUdpConfig& config, TDeliver deliver, TNotice notice) {
  if (config.Port == 0) return nullptr;
  auto link = std::make_unique<TUdpLinkImpl>(config, std::move(deliver), std::move(notice));
  if (!link->Start()) return nullptr;
  return link;
}

}  // namespace ecr
