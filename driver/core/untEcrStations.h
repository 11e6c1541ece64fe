#pragma once
// The stations a control brings onto the bus besides itself: the virtual cash
// register that answers the control's requests, and the virtual cash desk
// that sends the requests a cash register sends to its computer.
#include <chrono>
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
#include "untEcrScenario.h"

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

// Plays a scenario as one cash desk at its own station address, with its own
// sequence numbers and its own place in the scenario.
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
  // A line for the journal: an answer that is not what the scenario expects.
  using TReportFn = std::function<void(const std::wstring& text)>;
  // The round trip of each answered request in microseconds (benchmarks).
  using TRoundTripFn = std::function<void(int64_t us)>;
  // Repeats of a request that gets no answer in time.
  static constexpr int kMaxRepeats = 2;

  TVirtualDesk(std::shared_ptr<TBus> bus, TTargetFn target, uint8_t address = kVirtualDeskAddress,
               std::shared_ptr<const TDeskPlan> plan = BuiltInDeskPlan(), TLinkFn link = nullptr);
  ~TVirtualDesk() override;

  // Both before the desk first sends.
  void SetReport(TReportFn report) { FReport = std::move(report); }
  void SetRoundTrip(TRoundTripFn roundTrip) { FRoundTrip = std::move(roundTrip); }

  uint8_t Address() const { return FAddress; }
  const std::shared_ptr<const TDeskPlan>& Plan() const { return FPlan; }

  // Sends the scenario's next request now. Returns 0, or the code of a
  // request that could not be encoded (the scenario moves on past it).
  int32_t SendNext();
  // Runs the scenario from its first step. With kDeskPaceRecorded one request
  // every intervalMs (each interval within 10 % of it when jitter is on) plus
  // the file's pauses, or a journal's recorded spacing; with kDeskPaceAnswered
  // the next as soon as the one before is answered or given up. The first
  // request goes firstDelayMs after the start (-1: one interval).
  void Start(int64_t intervalMs, int32_t pace = kDeskPaceRecorded, int64_t firstDelayMs = -1, bool jitter = false);
  void Stop();

  // What the desk has seen (tests and the settings dialog).
  struct TStats {
    int Sent = 0;  // requests, repeats included
    int Repeated = 0;
    int Answered = 0;
    int Unanswered = 0;     // given up after the last repeat
    int Mismatched = 0;     // answered, but not with the values the scenario expects
    int AnsweredTwice = 0;  // a further answer to a request already answered
  };
  TStats Stats();

  void Receive(const std::string& bytes, const TFrame& frame, bool remote) override;
  // A frame as it reaches the desk at the end of its line.
  void Take(const std::string& bytes, const TFrame& frame);

 private:
  int32_t SendStepLocked();
  void OnNoAnswer(uint8_t seq);
  void Tick(uint64_t round);
  // Every timer of the desk is posted through these, never once it is going:
  // a timer's callback may post one of the other kind, so cancelling both
  // kinds in turn would otherwise leave one behind that outlives the desk.
  void PostTickLocked(int64_t delayMs);
  void PostRepeatLocked(int64_t delayMs, uint8_t seq);
  // When the next request is due after the one just sent (recorded pace).
  int64_t NextDelayLocked();
  // The answered pace: the next request once this one is settled.
  void SettledLocked();

  std::shared_ptr<TBus> FBus;
  TTargetFn FTarget;
  TLinkFn FLink;
  const uint8_t FAddress;
  const std::shared_ptr<const TDeskPlan> FPlan;
  TReportFn FReport;
  TRoundTripFn FRoundTrip;
  int32_t FStationId;
  int32_t FRepeatTag;
  int32_t FTickTag;
  std::mutex FMutex;
  size_t FStep = 0;
  uint8_t FSeq = FirstSequenceNumber();
  int32_t FDocument = 100;
  bool FRunning = false;
  bool FGoing = false;  // being destroyed: no more timers
  // Start and Stop begin a new round: a tick of an earlier one does nothing,
  // so the desk never runs two chains of ticks at once.
  uint64_t FRound = 0;
  int64_t FInterval = 0;
  int32_t FPace = kDeskPaceRecorded;
  bool FJitter = false;
  uint32_t FRandom;
  struct TPending {
    bool Active = false;
    uint8_t Seq = 0;
    uint8_t Code = 0;
    uint8_t Dst = 0;
    int Attempts = 0;
    bool LoseFirst = false;
    std::string Bytes;
    const TDeskStep* Step = nullptr;
    std::chrono::steady_clock::time_point SentAt;
  } FPending;
  struct {
    bool Valid = false;
    uint8_t Seq = 0, Code = 0;
  } FLastAnswered;
  TStats FStats;
};

}  // namespace ecr
