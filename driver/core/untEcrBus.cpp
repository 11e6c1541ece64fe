#include "untEcrBus.h"

#include "untEcrResults.h"
#include "untEcrUdp.h"

namespace ecr {

namespace {

std::mutex& RegistryMutex() {
  static std::mutex m;
  return m;
}

// Weak, so that the bus and its threads end with the last control using it.
std::map<std::pair<int32_t, int32_t>, std::weak_ptr<TBus>>& Registry() {
  static auto* registry = new std::map<std::pair<int32_t, int32_t>, std::weak_ptr<TBus>>();
  return *registry;
}

}  // namespace

std::shared_ptr<TBus> TBus::Open(int32_t kind, int32_t port, int32_t& rc) {
  rc = kOk;
  if (kind != kBusUdp) {
    kind = kBusInProcess;
    port = 0;
  }
  std::lock_guard lock(RegistryMutex());
  auto key = std::make_pair(kind, port);
  if (auto bus = Registry()[key].lock()) return bus;
  std::shared_ptr<TBus> bus(new TBus(kind, port));
  if (kind == kBusUdp) {
    bus->FLink = TUdpLink::Open(port, [raw = bus.get()](std::string bytes) { raw->ReceiveRemote(std::move(bytes)); });
    if (!bus->FLink) {
      rc = kNetworkDown;
      return nullptr;
    }
  }
  Registry()[key] = bus;
  return bus;
}

TBus::TBus(int32_t kind, int32_t port) : FKind(kind), FPort(port) {}

TBus::~TBus() {
  // The link first: its thread hands frames to this bus.
  FLink.reset();
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

void TBus::Send(int32_t fromId, std::string bytes) {
  {
    std::lock_guard lock(FQueueMutex);
    FQueue.push_back({fromId, std::move(bytes), false});
    StartLocked();
  }
  FQueueCv.notify_all();
}

void TBus::ReceiveRemote(std::string bytes) {
  {
    std::lock_guard lock(FQueueMutex);
    FQueue.push_back({0, std::move(bytes), true});
    StartLocked();
  }
  FQueueCv.notify_all();
}

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
        TFrame frame;
        // Stations only ever see frames that decode; the bus drops the rest
        // the way a receiver drops a frame with a bad checksum.
        if (DecodeFrame(item.Bytes, frame) == kOk) {
          std::vector<std::pair<int32_t, TBusStation*>> stations;
          {
            std::lock_guard sl(FStationsMutex);
            stations.assign(FStations.begin(), FStations.end());
          }
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
      TTimer timer = std::move(FTimers.begin()->second);
      FTimers.erase(FTimers.begin());
      FBusy = true;
      lock.unlock();
      {
        std::lock_guard dispatch(FDispatchMutex);
        try {
          timer.Fn();
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
