#include "untEcrStations.h"

#include <cmath>

#include "untEcrCatalog.h"
#include "untEcrClock.h"
#include "untEcrResults.h"

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

// ---------------------------------------------------------------- scenario

namespace {

TFrameParam P(int32_t id, int32_t v) { return {id, TVariant::FromInt(v)}; }
TFrameParam Cy(int32_t id, int64_t tenThousandths) { return {id, TVariant::FromCurrency(tenThousandths)}; }
TFrameParam D(int32_t id, double v) { return {id, TVariant::FromDouble(v)}; }
TFrameParam S(int32_t id, const wchar_t* v) { return {id, TVariant::FromStr(v)}; }

std::vector<TDeskStep> MakeScenario() {
  using namespace dispid;
  return {
      {0x80, {P(RegType, 0), P(RegSign, 0), D(Quantity, 2), Cy(Price, 105000), P(Section, 1), P(OperatorNumber, 1)}, false},
      {0x80, {P(RegType, 0), P(RegSign, 0), D(Quantity, 1), Cy(Price, 32500), P(Section, 2), P(OperatorNumber, 1)}, true},
      {0x81, {P(RegType, 0), P(RegSign, 0), D(Quantity, 1), S(Code, L"1001"), P(OperatorNumber, 1)}, false},
      {0x83, {P(RegType, 0), P(RegSign, 0), P(DscSign, 0), Cy(Summ, 10000), P(OperatorNumber, 1)}, false},
      {0x87, {P(PayType, 0), P(RegType, 0), P(RegSign, 0), Cy(Summ, 250000), P(OperatorNumber, 1)}, false},
      {0x90, {P(OperatorNumber, 1), P(RegType, 0)}, false},
      {0x92, {}, false},
      {0x82, {P(RegType, 0), P(RegSign, 0), D(Quantity, 1), S(Barcode, L"4600123400012"), P(OperatorNumber, 1)}, false},
      {0x80, {P(RegType, 0), P(RegSign, 0), D(Quantity, 0.333), Cy(Price, 10000), P(Section, 1), P(OperatorNumber, 1)}, false},
      {0x84, {P(RegType, 0), P(RegSign, 0), P(DscSign, 0), S(Code, L"7"), Cy(RecSumm, 3330), P(OperatorNumber, 1)}, false},
      {0x85, {P(RegType, 0), P(RegSign, 0), P(DscSign, 1), S(Barcode, L"2000000000077"), Cy(RecSumm, 3330), P(OperatorNumber, 1)}, false},
      {0x86, {P(RegType, 0), P(RegSign, 0), P(DscSign, 0), Cy(RecSumm, 3330), P(OperatorNumber, 1)}, false},
      {0x88, {P(RegType, 0), P(RegSign, 0), Cy(RecSumm, 3330), P(OperatorNumber, 1)}, false},
      {0x90, {P(OperatorNumber, 1), P(RegType, 0)}, false},
      {0x80, {P(RegType, 0), P(RegSign, 0), D(Quantity, 1), Cy(Price, 500000), P(Section, 3), P(OperatorNumber, 2)}, false},
      {0x91, {P(OperatorNumber, 2), P(RegType, 0)}, false},
      {0x50, {Cy(Summ, 10000000), P(OperatorNumber, 30), P(OperationNumber, 1)}, false},
      {0x51, {Cy(Summ, 5000000), P(OperatorNumber, 30), P(OperationNumber, 1)}, false},
      {0x52, {Cy(Summ, 0), P(OperatorNumber, 30), P(OperationNumber, 58)}, false},
  };
}

bool CarriesDocument(uint8_t code) { return code == 0x50 || code == 0x51 || code == 0x52 || code == 0x90 || code == 0x91; }

}  // namespace

const std::vector<TDeskStep>& DeskScenario() {
  static const std::vector<TDeskStep> steps = MakeScenario();
  return steps;
}

// ---------------------------------------------------------------- TVirtualDesk

TVirtualDesk::TVirtualDesk(std::shared_ptr<TBus> bus, TTargetFn target, TLinkFn link)
    : FBus(std::move(bus)), FTarget(std::move(target)), FLink(std::move(link)) {
  FRepeatTag = FBus->NewTag();
  FTickTag = FBus->NewTag();
  FStationId = FBus->Attach(this);
}

TVirtualDesk::~TVirtualDesk() {
  FBus->Detach(FStationId);
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

void TVirtualDesk::Start(int64_t intervalMs) {
  FBus->CancelTimers(FTickTag);
  std::lock_guard lock(FMutex);
  FRunning = true;
  FInterval = intervalMs < 10 ? 10 : intervalMs;
  FStep = 0;
  FBus->PostAfter(FInterval, FTickTag, [this] { Tick(); });
}

void TVirtualDesk::Stop() {
  {
    std::lock_guard lock(FMutex);
    FRunning = false;
  }
  FBus->CancelTimers(FTickTag);
}

void TVirtualDesk::Tick() {
  // On the bus thread: the repeat timer of an earlier request is dropped here
  // without waiting, which is safe since this thread runs all timers.
  FBus->CancelTimers(FRepeatTag);
  std::lock_guard lock(FMutex);
  if (!FRunning) return;
  SendStepLocked();
  FBus->PostAfter(FInterval, FTickTag, [this] { Tick(); });
}

int32_t TVirtualDesk::SendStepLocked() {
  const auto& steps = DeskScenario();
  const TDeskStep& step = steps[FStep % steps.size()];
  FStep = (FStep + 1) % steps.size();
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
  frame.Src = kVirtualDeskAddress;
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
  FPending = {true, frame.Seq, frame.Code, frame.Dst, 1, step.LoseFirstAnswer, bytes};
  ++FStats.Sent;
  FBus->Send(FStationId, std::move(bytes));
  uint8_t seq = frame.Seq;
  FBus->PostAfter(target.TimeoutMs, FRepeatTag, [this, seq] { OnNoAnswer(seq); });
  return kOk;
}

void TVirtualDesk::OnNoAnswer(uint8_t seq) {
  std::lock_guard lock(FMutex);
  if (!FPending.Active || FPending.Seq != seq) return;
  if (FPending.Attempts > kMaxRepeats) {
    FPending.Active = false;
    ++FStats.Unanswered;
    return;
  }
  ++FPending.Attempts;
  ++FStats.Sent;
  ++FStats.Repeated;
  FBus->Send(FStationId, FPending.Bytes);
  FBus->PostAfter(FTarget().TimeoutMs, FRepeatTag, [this, seq] { OnNoAnswer(seq); });
}

void TVirtualDesk::Receive(const std::string& bytes, const TFrame& frame, bool) {
  // Only the answers meant for the desk come through its line; it pays no
  // heed to the rest of the bus.
  if (FLink && frame.Type != 0 && frame.Dst == kVirtualDeskAddress) return FLink(bytes, frame);
  Take(bytes, frame);
}

void TVirtualDesk::Take(const std::string&, const TFrame& frame) {
  std::lock_guard lock(FMutex);
  if (!FPending.Active || frame.Type == 0 || frame.Dst != kVirtualDeskAddress || frame.Code != FPending.Code)
    return;
  // An answer that carries the request's number is the answer, whoever sends
  // it: a program that answers for other stations does so in its own name.
  // One without a number must at least come from the station asked.
  if (frame.Seq != 0 ? frame.Seq != FPending.Seq : frame.Src != FPending.Dst) return;
  if (FPending.LoseFirst && FPending.Attempts == 1) {
    // The scenario's noisy line: this answer never reached the desk.
    FPending.LoseFirst = false;
    return;
  }
  FPending.Active = false;
  ++FStats.Answered;
  // The repeat timer finds nothing pending and does nothing.
}

}  // namespace ecr
