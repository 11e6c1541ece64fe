#pragma once
// The stations a control brings onto the bus besides itself: the virtual cash
// register that answers the control's requests, and the virtual cash desk
// that sends the requests a cash register sends to its computer.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "untEcrBus.h"
#include "untEcrDevice.h"

namespace ecr {

constexpr uint8_t kVirtualEcrAddress = 2;
constexpr uint8_t kVirtualDeskAddress = 3;

// Waits ms of simulated time; with the real clock the wait ends early when
// stop becomes true (checked under mutex, signalled through cv).
void StationSleep(int64_t ms, std::mutex& mutex, std::condition_variable& cv, const bool& stop);

// Answers the requests its control hands it, one after the other, on a thread
// of its own (started with the first request): the device may take seconds
// (table initialisation).
class TEcrStation {
 public:
  // What the owning control's settings make of one operation.
  struct TPolicy {
    int64_t LatencyMs = 0;
    bool NotAnswering = false;
    int32_t FaultCode = 0;  // 0: no fault this time
  };
  using TPolicyFn = std::function<TPolicy(TEcrOp op)>;

  TEcrStation(std::shared_ptr<TBus> bus, TPolicyFn policy);
  ~TEcrStation();
  TEcrStation(const TEcrStation&) = delete;
  TEcrStation& operator=(const TEcrStation&) = delete;

  void Submit(const TFrame& request);

 private:
  void Run();
  void Answer(const TFrame& request);

  std::shared_ptr<TBus> FBus;
  TPolicyFn FPolicy;
  int32_t FStationId;
  std::mutex FMutex;
  std::condition_variable FCv;
  std::deque<TFrame> FQueue;
  bool FStop = false;
  std::thread FThread;  // started under FMutex
};

// One request of the desk's scenario.
struct TDeskStep {
  uint8_t Code;
  std::vector<TFrameParam> Params;  // the rest of the catalogue inputs keep their defaults
  bool LoseFirstAnswer;             // the line eats the first answer, so the desk repeats
};
// The fixed scenario: two receipts with sales, discounts, payments and
// closings, then a cancelled receipt, cash in, cash out and the end of shift.
const std::vector<TDeskStep>& DeskScenario();

class TVirtualDesk : public TBusStation {
 public:
  struct TTarget {
    uint8_t Address;    // the station the requests go to
    int64_t TimeoutMs;  // how long to wait for its answer before repeating
  };
  using TTargetFn = std::function<TTarget()>;
  // The line an answer meant for the desk comes through (the owning
  // control's faults); it hands what arrives to Take.
  using TLinkFn = std::function<void(const std::string& bytes, const TFrame& frame)>;
  // Repeats of a request that gets no answer in time.
  static constexpr int kMaxRepeats = 2;

  TVirtualDesk(std::shared_ptr<TBus> bus, TTargetFn target, TLinkFn link = nullptr);
  ~TVirtualDesk() override;

  // Sends the scenario's next request now. Returns 0, or the code of a
  // request that could not be encoded (the scenario moves on past it).
  int32_t SendNext();
  // Runs the scenario: one request every intervalMs, from its first step.
  void Start(int64_t intervalMs);
  void Stop();

  // What the desk has seen (tests and the settings dialog).
  struct TStats {
    int Sent = 0;       // requests, repeats included
    int Repeated = 0;
    int Answered = 0;
    int Unanswered = 0;  // given up after the last repeat
  };
  TStats Stats();

  void Receive(const std::string& bytes, const TFrame& frame, bool remote) override;
  // A frame as it reaches the desk at the end of its line.
  void Take(const std::string& bytes, const TFrame& frame);

 private:
  int32_t SendStepLocked();
  void OnNoAnswer(uint8_t seq);
  void Tick();

  std::shared_ptr<TBus> FBus;
  TTargetFn FTarget;
  TLinkFn FLink;
  int32_t FStationId;
  int32_t FRepeatTag;
  int32_t FTickTag;
  std::mutex FMutex;
  size_t FStep = 0;
  uint8_t FSeq = FirstSequenceNumber();
  int32_t FDocument = 100;
  bool FRunning = false;
  int64_t FInterval = 0;
  struct TPending {
    bool Active = false;
    uint8_t Seq = 0;
    uint8_t Code = 0;
    uint8_t Dst = 0;
    int Attempts = 0;
    bool LoseFirst = false;
    std::string Bytes;
  } FPending;
  TStats FStats;
};

}  // namespace ecr
