#pragma once
// The network the stations share. Every frame a station sends reaches every
// other station of the bus (the way a shared line does: a station decides
// itself what is meant for it). Delivery and timers run on the bus's own
// thread, so a station's Receive never runs inside another station's Send.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "untEcrFrame.h"

namespace ecr {

constexpr int32_t kBusInProcess = 0;
constexpr int32_t kBusUdp = 1;
constexpr int32_t kDefaultBusPort = 47300;

class TBusStation {
 public:
  virtual ~TBusStation() = default;
  // Runs on the bus thread; must return quickly and must not attach or detach.
  // remote: the frame came from another process.
  virtual void Receive(const std::string& bytes, const TFrame& frame, bool remote) = 0;
  // Something of the bus itself worth a line in the journal (refused
  // datagrams); on the bus thread too.
  virtual void Notice(const std::wstring& text) {}
};

// Which bus: the kind and, for the UDP bus, its port and addresses as the
// settings give them (BusHost, BusListen, BusAllow).
struct TBusChoice {
  int32_t Kind = kBusInProcess;
  int32_t Port = kDefaultBusPort;
  std::wstring Host;
  std::wstring Listen;
  std::wstring Allow;
};

class TUdpLink;

class TBus {
 public:
  // The in-process bus (kind 0) or the UDP bus (kind 1), shared with every
  // other user in this process that makes the same choice. nullptr with a result code
  // when the bus cannot be opened (a port or address that is none, a port
  // taken by someone else).
  static std::shared_ptr<TBus> Open(const TBusChoice& choice, int32_t& rc);
  ~TBus();
  TBus(const TBus&) = delete;
  TBus& operator=(const TBus&) = delete;

  int32_t Kind() const { return FKind; }
  // How the journal names the bus: "в процессе", "UDP 127.0.0.1:47300".
  const std::wstring& Name() const { return FName; }

  // A station (nullptr: one that only sends). Returns its identifier.
  int32_t Attach(TBusStation* station);
  // After it returns the station receives nothing more, and no delivery to it
  // is running (unless called from the bus thread itself).
  void Detach(int32_t id);
  // Queues a frame; delivered to every station but the sender, and to the other
  // processes on a UDP bus.
  void Send(int32_t fromId, std::string bytes);

  // A function to run on the bus thread after delayMs real milliseconds.
  void PostAfter(int64_t delayMs, int32_t tag, std::function<void()> fn);
  // Drops the tag's pending timers; after it returns none of them runs (unless
  // called from the bus thread, which is then running one).
  void CancelTimers(int32_t tag);
  int32_t NewTag();

  // Frames from another process, and the link's notices (the UDP link's thread).
  void ReceiveRemote(std::string bytes);
  void ReceiveNotice(std::wstring text);

  // Waits until every queued frame has been delivered (tests).
  void Flush();

 private:
  TBus(int32_t kind, std::wstring name);
  void Enqueue(int32_t from, std::string bytes, bool remote, std::wstring notice);
  void Run();
  // The bus thread starts with the first frame or timer: a program that never
  // talks to a device does not pay for it. Called with FQueueMutex held.
  void StartLocked();
  bool OnBusThread() const;

  struct TQueued {
    int32_t From;
    std::string Bytes;
    bool Remote;
    std::wstring Notice;  // a notice instead of a frame
  };
  struct TTimer {
    int32_t Tag;
    std::function<void()> Fn;
  };
  using TSteady = std::chrono::steady_clock;

  const int32_t FKind;
  const std::wstring FName;
  std::mutex FQueueMutex;
  std::condition_variable FQueueCv;
  std::condition_variable FIdleCv;
  std::deque<TQueued> FQueue;
  std::multimap<TSteady::time_point, TTimer> FTimers;
  bool FBusy = false;
  bool FStop = false;
  int32_t FNextTag = 1;

  std::mutex FStationsMutex;
  std::map<int32_t, TBusStation*> FStations;
  int32_t FNextStation = 1;

  // Held by the bus thread while it delivers or runs a timer.
  std::mutex FDispatchMutex;
  std::unique_ptr<TUdpLink> FLink;
  std::thread FThread;  // started under FQueueMutex
  std::atomic<std::thread::id> FThreadId{};
};

}  // namespace ecr
