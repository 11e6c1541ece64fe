#include "untEcrStations.h"

#include <algorithm>
#include <cmath>

#include "untEcrCatalog.h"
#include "untEcrClock.h"
#include "untEcrJournal.h"
#include "untEcrResults.h"
#include "untText.h"

namespace ecr {

void StationSleep(int64_t ms, std::mutex& mutex, std::condition_variable& cv, const bool& stop) {
  if (ms <= 0) return;
  auto clock = EcrClock();
  if (clock != SystemClock()) {
    clock->Sleep(ms);
    return;
  }
  std::unique_lock lock(mutex);
  cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stop; });
}

// ---------------------------------------------------------------- TEcrStation

TEcrStation::TEcrStation(std::shared_ptr<TBus> bus, TPolicyFn policy)
    : FBus(std::move(bus)), FPolicy(std::move(policy)), FStationId(FBus->Attach(nullptr)) {}

TEcrStation::~TEcrStation() {
  {
    std::lock_guard lock(FMutex);
    FStop = true;
  }
  FCv.notify_all();
  if (FThread.joinable()) FThread.join();
  FBus->Detach(FStationId);
}

void TEcrStation::Submit(const TFrame& request) {
  {
    std::lock_guard lock(FMutex);
    FQueue.push_back(request);
    // The thread starts with the first request; none once stopping.
    if (!FStop && !FThread.joinable()) FThread = std::thread([this] { Run(); });
  }
  FCv.notify_all();
}

void TEcrStation::Run() {
  for (;;) {
    TFrame request;
    {
      std::unique_lock lock(FMutex);
      FCv.wait(lock, [this] { return FStop || !FQueue.empty(); });
      if (FStop) return;
      request = std::move(FQueue.front());
      FQueue.pop_front();
    }
    Answer(request);
  }
}

void TEcrStation::Answer(const TFrame& request) {
  const TCommandLayout* layout = CommandLayout(request.Code);
  TEcrOp op = layout ? layout->Op : TEcrOp::None;
  TPolicy policy = FPolicy(op);
  // A device that does not answer simply stays silent; the requester times out.
  if (policy.NotAnswering) return;
  StationSleep(policy.LatencyMs, FMutex, FCv, FStop);

  TPropBag bag;
  for (const auto& p : request.Params) bag.Set(p.DispId, p.Value);
  int32_t rc;
  if (policy.FaultCode != 0) {
    rc = policy.FaultCode;
  } else {
    // "*" commands go from a cash register to a computer; sent to the cash
    // register they are as unknown as a code outside the catalogue.
    rc = TVirtualEcr::Shared().Execute(op, bag);
    if (op == TEcrOp::InitTable) StationSleep(kInitTableMs, FMutex, FCv, FStop);
  }
  {
    std::lock_guard lock(FMutex);
    if (FStop) return;
  }
  bag.SetInt(dispid::CommandResultCode, rc);
  TFrame answer;
  answer.Dst = request.Src;
  answer.Src = kVirtualEcrAddress;
  answer.Type = 1;
  answer.Code = request.Code;
  answer.Seq = request.Seq;
  answer.Params = ParamsFromBag(bag, FrameParamIds(request.Code, true));
  std::string bytes;
  if (EncodeFrame(answer, bytes) == kOk) FBus->Send(FStationId, std::move(bytes));
}

namespace {

bool CarriesDocument(uint8_t code) { return code == 0x50 || code == 0x51 || code == 0x52 || code == 0x90 || code == 0x91; }

}  // namespace

// ---------------------------------------------------------------- TVirtualDesk

TVirtualDesk::TVirtualDesk(std::shared_ptr<TBus> bus, TTargetFn target, uint8_t address,
                           std::shared_ptr<const TDeskPlan> plan, TLinkFn link)
    : FBus(std::move(bus)), FTarget(std::move(target)), FLink(std::move(link)), FAddress(address),
      FPlan(std::move(plan)), FRandom(0x9E3779B9u ^ (uint32_t{address} * 2654435761u)) {
  FRepeatTag = FBus->NewTag();
  FTickTag = FBus->NewTag();
  FStationId = FBus->Attach(this);
}

TVirtualDesk::~TVirtualDesk() {
  FBus->Detach(FStationId);
  {
    std::lock_guard lock(FMutex);
    FGoing = true;
    FRunning = false;
  }
  FBus->CancelTimers(FTickTag);
  FBus->CancelTimers(FRepeatTag);
}

TVirtualDesk::TStats TVirtualDesk::Stats() {
  std::lock_guard lock(FMutex);
  return FStats;
}

int32_t TVirtualDesk::SendNext() {
  FBus->CancelTimers(FRepeatTag);
  std::lock_guard lock(FMutex);
  return SendStepLocked();
}

void TVirtualDesk::Start(int64_t intervalMs, int32_t pace, int64_t firstDelayMs, bool jitter) {
  FBus->CancelTimers(FTickTag);
  std::lock_guard lock(FMutex);
  FRunning = true;
  FInterval = intervalMs < 10 ? 10 : intervalMs;
  FPace = pace;
  FJitter = jitter;
  FStep = 0;
  ++FRound;
  PostTickLocked((firstDelayMs < 0 ? FInterval : firstDelayMs) + FPlan->Order.front().PauseMs);
}

void TVirtualDesk::Stop() {
  {
    std::lock_guard lock(FMutex);
    FRunning = false;
    ++FRound;
  }
  FBus->CancelTimers(FTickTag);
}

void TVirtualDesk::PostTickLocked(int64_t delayMs) {
  if (FGoing) return;
  const uint64_t round = FRound;
  FBus->PostAfter(delayMs, FTickTag, [this, round] { Tick(round); });
}

void TVirtualDesk::PostRepeatLocked(int64_t delayMs, uint8_t seq) {
  if (FGoing) return;
  FBus->PostAfter(delayMs, FRepeatTag, [this, seq] { OnNoAnswer(seq); });
}

void TVirtualDesk::Tick(uint64_t round) {
  // On the bus thread: the repeat timer of an earlier request is dropped here
  // without waiting, which is safe since this thread runs all timers.
  FBus->CancelTimers(FRepeatTag);
  std::lock_guard lock(FMutex);
  if (!FRunning || round != FRound) return;
  const bool sent = SendStepLocked() == kOk;
  if (FPace == kDeskPaceAnswered && sent) return;  // the answer (or giving up) sends the next
  PostTickLocked(NextDelayLocked());
}

int64_t TVirtualDesk::NextDelayLocked() {
  const TDeskPlan::TTurn& next = FPlan->Order[FStep];
  if (FPace == kDeskPaceAnswered) return std::max<int64_t>(next.PauseMs, 10);  // a request that could not be sent
  if (next.RecordedGapMs >= 0) return next.RecordedGapMs;
  int64_t interval = FInterval;
  if (FJitter) {
    // xorshift: each desk its own repeatable sequence, within 10 % of the interval.
    FRandom ^= FRandom << 13;
    FRandom ^= FRandom >> 17;
    FRandom ^= FRandom << 5;
    interval += (static_cast<int64_t>(FRandom % 2001) - 1000) * FInterval / 10000;
  }
  return interval + next.PauseMs;
}

void TVirtualDesk::SettledLocked() {
  if (FRunning && FPace == kDeskPaceAnswered) PostTickLocked(FPlan->Order[FStep].PauseMs);
}

int32_t TVirtualDesk::SendStepLocked() {
  const auto& order = FPlan->Order;
  const TDeskStep& step = FPlan->Steps[order[FStep % order.size()].Step];
  FStep = (FStep + 1) % order.size();
  if (FPending.Active) ++FStats.Unanswered;

  TPropBag bag;
  TDateTime now = TVirtualEcr::Shared().Now();
  bag.SetDate(dispid::ECRDate, std::floor(now));
  bag.SetDate(dispid::ECRTime, now - std::floor(now));
  if (CarriesDocument(step.Code)) {
    ++FDocument;
    bag.SetInt(dispid::DocumentNumber, FDocument);
    bag.SetInt(dispid::ReceiptNumber, FDocument);
  }
  bag.SetInt(dispid::Section, 1);
  for (const auto& p : step.Params) bag.Set(p.DispId, p.Value);

  TTarget target = FTarget();
  TFrame frame;
  frame.Dst = target.Address;
  frame.Src = FAddress;
  frame.Type = 0;
  frame.Code = step.Code;
  frame.Seq = FSeq;
  FSeq = NextSequenceNumber(FSeq);
  frame.Params = ParamsFromBag(bag, FrameParamIds(step.Code, false));
  std::string bytes;
  if (int32_t rc = EncodeFrame(frame, bytes)) {
    FPending = {};
    return rc;
  }
  FPending = {true, frame.Seq, frame.Code, frame.Dst, 1, step.LoseFirstAnswer, bytes, &step,
              std::chrono::steady_clock::now()};
  ++FStats.Sent;
  FBus->Send(FStationId, std::move(bytes));
  PostRepeatLocked(target.TimeoutMs, frame.Seq);
  return kOk;
}

void TVirtualDesk::OnNoAnswer(uint8_t seq) {
  std::lock_guard lock(FMutex);
  if (!FPending.Active || FPending.Seq != seq) return;
  if (FPending.Attempts > kMaxRepeats) {
    FPending.Active = false;
    ++FStats.Unanswered;
    SettledLocked();
    return;
  }
  ++FPending.Attempts;
  ++FStats.Sent;
  ++FStats.Repeated;
  FBus->Send(FStationId, FPending.Bytes);
  PostRepeatLocked(FTarget().TimeoutMs, seq);
}

void TVirtualDesk::Receive(const std::string& bytes, const TFrame& frame, bool) {
  // Only the answers meant for the desk come through its line; it pays no
  // heed to the rest of the bus.
  if (frame.Type == 0 || frame.Dst != FAddress) return;
  if (FLink) return FLink(bytes, frame);
  Take(bytes, frame);
}

void TVirtualDesk::Take(const std::string&, const TFrame& frame) {
  if (frame.Type == 0 || frame.Dst != FAddress) return;
  std::wstring report;
  int64_t roundTripUs = -1;
  {
    std::lock_guard lock(FMutex);
    if (!FPending.Active || frame.Code != FPending.Code ||
        // An answer that carries the request's number is the answer, whoever
        // sends it: a program that answers for other stations does so in its
        // own name. One without a number must at least come from the station asked.
        (frame.Seq != 0 ? frame.Seq != FPending.Seq : frame.Src != FPending.Dst)) {
      if (FLastAnswered.Valid && frame.Seq != 0 && frame.Seq == FLastAnswered.Seq && frame.Code == FLastAnswered.Code)
        ++FStats.AnsweredTwice;
      return;
    }
    if (FPending.LoseFirst && FPending.Attempts == 1) {
      // The scenario's noisy line: this answer never reached the desk.
      FPending.LoseFirst = false;
      return;
    }
    FPending.Active = false;
    FLastAnswered = {true, FPending.Seq, FPending.Code};
    ++FStats.Answered;
    if (FRoundTrip)
      roundTripUs = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                          FPending.SentAt).count();
    // The values the line expects, each compared in its property's type.
    for (const auto& want : FPending.Step->Expect) {
      auto got = std::find_if(frame.Params.begin(), frame.Params.end(),
                              [&](const TFrameParam& p) { return p.DispId == want.DispId; });
      if (got != frame.Params.end() && got->Value == want.Value) continue;
      if (report.empty()) {
        ++FStats.Mismatched;
        report = Format(L"касса %d, строка %d сценария: ответ на %02Xh №%d не тот, что ожидался:", FAddress,
                        FPending.Step->Line, FPending.Code, FPending.Seq);
      }
      report += Format(L" %ls=%ls (ожидалось %ls)", FindMemberById(want.DispId)->Name,
                       got == frame.Params.end() ? L"нет" : Utf8ToWide(JournalValueText(got->Value)).c_str(),
                       Utf8ToWide(JournalValueText(want.Value)).c_str());
    }
    SettledLocked();
    // The repeat timer finds nothing pending and does nothing.
  }
  if (roundTripUs >= 0) FRoundTrip(roundTripUs);
  if (!report.empty() && FReport) FReport(report);
}

}  // namespace ecr
