#include "untEcrBus.h"

#include "untEcrResults.h"
#include "untEcrUdp.h"
#include "untText.h"

namespace ecr {

namespace {

std::mutex& RegistryMutex() {
  static std::mutex m;
  return m;
}

// Weak, so that the bus and its threads end with the last control using it.
std::map<std::wstring, std::weak_ptr<TBus>>& Registry() {
  static auto* registry = new std::map<std::wstring, std::weak_ptr<TBus>>();
  return *registry;
}

}  // namespace

std::shared_ptr<TBus> TBus::Open(const TBusChoice& choice, int32_t& rc) {
  rc = kOk;
  const bool udp = choice.Kind == kBusUdp;
  TUdpConfig config;
  std::wstring bad;
  if (udp && (choice.Port < 1 || choice.Port > 65535 || !BusAddressesOf(choice.Host, choice.Listen, config.Addresses) ||
              !ParseAllowList(choice.Allow, config.Allow, bad))) {
    rc = kNetworkDown;
    return nullptr;
  }
  config.Port = static_cast<uint16_t>(choice.Port);
  const std::wstring key = udp ? Format(L"udp|%d|%ls|%ls|%ls", choice.Port, choice.Host.c_str(), choice.Listen.c_str(),
                                        choice.Allow.c_str())
                               : std::wstring(L"process");
  std::lock_guard lock(RegistryMutex());
  if (auto bus = Registry()[key].lock()) return bus;
  const std::wstring name =
      udp ? Format(L"UDP %ls:%d", Ip4Text(config.Addresses.Hub).c_str(), choice.Port) : std::wstring(L"в процессе");
  std::shared_ptr<TBus> bus(new TBus(udp ? kBusUdp : kBusInProcess, name));
  if (udp) {
    TBus* raw = bus.get();
    bus->FLink = TUdpLink::Open(
        config, [raw](std::string bytes) { raw->ReceiveRemote(std::move(bytes)); },
        [raw](std::wstring text) { raw->ReceiveNotice(std::move(text)); });
    if (!bus->FLink) {
      rc = kNetworkDown;
      return nullptr;
    }
  }
  Registry()[key] = bus;
  return bus;
}

TBus::TBus(int32_t kind, std::wstring name) : FKind(kind), FName(std::move(name)) {}

TBus::~TBus() {
  // The link first: its thread hands frames to this bus. It is taken away
  // under the dispatch lock, since the bus thread may be passing it the last
  // frame; it is closed outside, as its thread may be queueing one more.
  std::unique_ptr<TUdpLink> link;
  {
    std::lock_guard dispatch(FDispatchMutex);
    link = std::move(FLink);
  }
  link.reset();
  {
    std::lock_guard lock(FQueueMutex);
    FStop = true;
  }
  FQueueCv.notify_all();
  if (FThread.joinable()) FThread.join();
}

bool TBus::OnBusThread() const { return std::this_thread::get_id() == FThreadId.load(); }

void TBus::StartLocked() {
  if (FStop || FThread.joinable()) return;
  FThread = std::thread([this] { Run(); });
}

int32_t TBus::Attach(TBusStation* station) {
  std::lock_guard lock(FStationsMutex);
  int32_t id = FNextStation++;
  FStations[id] = station;
  return id;
}

void TBus::Detach(int32_t id) {
  {
    std::lock_guard lock(FStationsMutex);
    FStations.erase(id);
  }
  if (!OnBusThread()) std::lock_guard wait(FDispatchMutex);
}

void TBus::Enqueue(int32_t from, std::string bytes, bool remote, std::wstring notice) {
  {
    std::lock_guard lock(FQueueMutex);
    FQueue.push_back({from, std::move(bytes), remote, std::move(notice)});
    StartLocked();
  }
  FQueueCv.notify_all();
}

void TBus::Send(int32_t fromId, std::string bytes) { Enqueue(fromId, std::move(bytes), false, {}); }

void TBus::ReceiveRemote(std::string bytes) { Enqueue(0, std::move(bytes), true, {}); }

void TBus::ReceiveNotice(std::wstring text) { Enqueue(0, {}, true, std::move(text)); }

void TBus::PostAfter(int64_t delayMs, int32_t tag, std::function<void()> fn) {
  {
    std::lock_guard lock(FQueueMutex);
    FTimers.emplace(TSteady::now() + std::chrono::milliseconds(delayMs < 0 ? 0 : delayMs),
                    TTimer{tag, std::move(fn)});
    StartLocked();
  }
  FQueueCv.notify_all();
}

void TBus::CancelTimers(int32_t tag) {
  {
    std::lock_guard lock(FQueueMutex);
    for (auto it = FTimers.begin(); it != FTimers.end();)
      it = it->second.Tag == tag ? FTimers.erase(it) : std::next(it);
  }
  if (!OnBusThread()) std::lock_guard wait(FDispatchMutex);
}

int32_t TBus::NewTag() {
  std::lock_guard lock(FQueueMutex);
  return FNextTag++;
}

void TBus::Flush() {
  std::unique_lock lock(FQueueMutex);
  FIdleCv.wait(lock, [this] { return FStop || (FQueue.empty() && !FBusy); });
}

void TBus::Run() {
  FThreadId = std::this_thread::get_id();
  std::unique_lock lock(FQueueMutex);
  for (;;) {
    if (FStop) break;
    auto now = TSteady::now();
    if (!FQueue.empty()) {
      TQueued item = std::move(FQueue.front());
      FQueue.pop_front();
      FBusy = true;
      lock.unlock();
      {
        std::lock_guard dispatch(FDispatchMutex);
        std::vector<std::pair<int32_t, TBusStation*>> stations;
        {
          std::lock_guard sl(FStationsMutex);
          stations.assign(FStations.begin(), FStations.end());
        }
        TFrame frame;
        if (!item.Notice.empty()) {
          for (auto& [id, station] : stations)
            if (station) station->Notice(item.Notice);
        } else if (DecodeFrame(item.Bytes, frame) == kOk) {
          // Stations only ever see frames that decode; the bus drops the rest
          // the way a receiver drops a frame with a bad checksum.
          for (auto& [id, station] : stations)
            if (id != item.From && station) station->Receive(item.Bytes, frame, item.Remote);
          if (!item.Remote && FLink) FLink->Send(item.Bytes);
        }
      }
      lock.lock();
      FBusy = false;
      if (FQueue.empty()) FIdleCv.notify_all();
      continue;
    }
    if (!FTimers.empty() && FTimers.begin()->first <= now) {
      FBusy = true;
      lock.unlock();
      {
        // The timer leaves the list only under the dispatch lock: a cancel
        // that no longer finds it then waits for its callback to end, so no
        // callback runs after its station is gone.
        std::lock_guard dispatch(FDispatchMutex);
        TTimer timer{0, nullptr};
        lock.lock();
        if (!FTimers.empty() && FTimers.begin()->first <= TSteady::now()) {
          timer = std::move(FTimers.begin()->second);
          FTimers.erase(FTimers.begin());
        }
        lock.unlock();
        try {
          if (timer.Fn) timer.Fn();
        } catch (...) {
          // A station's timer has nothing to report to; the bus must go on.
        }
      }
      lock.lock();
      FBusy = false;
      if (FQueue.empty()) FIdleCv.notify_all();
      continue;
    }
    if (FTimers.empty()) {
      FQueueCv.wait(lock);
    } else {
      // A copy: the timer may be cancelled, and its node freed, while we wait.
      const TSteady::time_point due = FTimers.begin()->first;
      FQueueCv.wait_until(lock, due);
    }
  }
  FIdleCv.notify_all();
}

}  // namespace ecr
