#include "untEcrControl.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>

#include "untEcrAddress.h"
#include "untEcrBus.h"
#include "untEcrCatalog.h"
#include "untEcrClock.h"
#include "untEcrDevice.h"
#include "untEcrFrame.h"
#include "untEcrJournal.h"
#include "untEcrLinkFaults.h"
#include "untEcrProps.h"
#include "untEcrResults.h"
#include "untEcrScenario.h"
#include "untEcrStations.h"
#include "untError.h"
#include "untText.h"

#ifndef PLOVER_FILE_VERSION_TEXT
#define PLOVER_FILE_VERSION_TEXT "1.6.0.62"
#endif

namespace ecr {

namespace {

#define PLOVER_WIDEN2(x) L##x
#define PLOVER_WIDEN(x) PLOVER_WIDEN2(x)
const wchar_t* const kDriverVersion = PLOVER_WIDEN(PLOVER_FILE_VERSION_TEXT);

// Received commands kept for GetCommand; older ones are forgotten.
constexpr size_t kMaxKeptCommands = 1000;

struct TReceived {
  std::string Bytes;
  TFrame Frame;
  bool Repeated = false;
};

// JournalMaxKB up to 2 GB.
constexpr int32_t kMaxJournalKB = 2 * 1024 * 1024;
// BusFaultEvery as FaultEvery; a frame held back up to a minute.
constexpr int32_t kMaxBusFaultEvery = 1000000;
constexpr int32_t kMaxBusFaultDelay = 60000;

// How the journal names a frame the line misbehaves with.
std::wstring FrameBrief(const TFrame& f) {
  return Format(L"%d -> %d  №%d  %02Xh", int{f.Src}, int{f.Dst}, int{f.Seq}, unsigned{f.Code});
}

// A BusFault as it is kept: none for a text that is no fault, which only a
// hand-edited registry holds.
TBusFault BusFaultOf(const std::wstring& text) {
  TBusFault fault = TBusFault::None;
  return ParseBusFault(text, fault) ? fault : TBusFault::None;
}

bool IsNetworkSetting(int32_t id) {
  return id == dispid::BusKind || id == dispid::BusPort || id == dispid::VirtualEcr || id == dispid::VirtualDesk ||
         id == dispid::DeskInterval || id == dispid::BusHost || id == dispid::BusListen || id == dispid::BusAllow ||
         id == dispid::DeskScenario || id == dispid::DeskCount || id == dispid::DeskFirstAddress ||
         id == dispid::DeskReplayPace;
}

bool IsJournalSetting(int32_t id) { return id == dispid::JournalFile || id == dispid::JournalMaxKB; }


// The property with this identifier: an unknown identifier, or a method's,
// names no property.
const TMemberInfo& PropertyOf(int32_t dispId) {
  const TMemberInfo* info = FindMemberById(dispId);
  if (!info || info->IsMethod)
    throw EOleError(kDispEMemberNotFound, Format(L"Неизвестное свойство (DISPID %d)", dispId));
  return *info;
}

class TEcrControlImpl : public TEcrControl, public TBusStation {
 public:
  explicit TEcrControlImpl(const TEcrSettings& settings) : FSettings(settings) {
    FBag.SetInt(dispid::Section, 1);
    FBag.SetStr(dispid::FlagName, L"Бит 0");
    SetBusFaultLocked(FSettings.BusFault);
    FSelfInlet->Open([this](const std::string& bytes, const TFrame& frame) { Take(bytes, frame); });
    std::lock_guard call(FCallMutex);
    Reconfigure(nullptr);
    UpdateJournal();
  }

  ~TEcrControlImpl() override {
    FSelfInlet->Close();
    std::lock_guard call(FCallMutex);
    TearDown();
    FDelay.Clear();
  }

  // ------------------------------------------------------------ properties

  void Put(int32_t dispId, const TVariant& value) override {
    const TMemberInfo& info = PropertyOf(dispId);
    if (info.ReadOnly) throw EOleError(kDispEMemberNotFound, Format(L"Свойство %ls только для чтения", info.Name));
    TVarType type = VarTypeOfKind(info.Kind);
    TVariant v = value.Type() == type ? value : VarAsType(value, type);

    if (dispId == dispid::DeviceEnabled) return PutDeviceEnabled(v.Bool());
    CheckSettingValue(dispId, v);
    if (IsJournalSetting(dispId)) {
      {
        std::lock_guard lock(FMutex);
        PutSettingLocked(dispId, v);
      }
      UpdateJournal();
      return;
    }
    if (IsNetworkSetting(dispId)) {
      std::lock_guard call(FCallMutex);
      TEcrSettings old;
      {
        std::lock_guard lock(FMutex);
        old = FSettings;
        PutSettingLocked(dispId, v);
        const std::wstring range = DeskRangeError(FSettings.DeskFirstAddress, FSettings.DeskCount);
        if (!range.empty()) {
          FSettings = old;
          throw EOleError(kDispEOverflow, range);
        }
        // The file is read again when the desks next play, even if its name is the same.
        if (dispId == dispid::DeskScenario) FDeskPlan.reset();
      }
      Reconfigure(&old);
      return;
    }
    std::lock_guard lock(FMutex);
    if (!PutSettingLocked(dispId, v)) FBag.Set(dispId, std::move(v));
  }

  TVariant Get(int32_t dispId) override {
    PropertyOf(dispId);
    std::lock_guard lock(FMutex);
    return GetLocked(dispId);
  }

  TVariant GetLocked(int32_t dispId) {
    switch (dispId) {
      case dispid::DeviceEnabled: return TVariant::FromBool(FDeviceEnabled);
      case dispid::ResultCode: return TVariant::FromInt(FResultCode);
      case dispid::ResultCodeDescription:
        return TVariant::FromStr(FResultText.empty() ? ResultText(FResultCode) : FResultText);
      case dispid::DriverVersion: return TVariant::FromStr(kDriverVersion);
      case dispid::ECRModeDescription: return TVariant::FromStr(ModeDescription(FBag.Int(dispid::ECRMode)));
      case dispid::ECRAdvancedModeDescription:
        return TVariant::FromStr(AdvancedModeDescription(FBag.Int(dispid::ECRAdvancedMode)));
      case dispid::CommandResultDescription:
        return TVariant::FromStr(ResultText(FBag.Int(dispid::CommandResultCode)));
      case dispid::SrcAddress: return TVariant::FromInt(FSettings.SrcAddress);
      case dispid::DstAddress: return TVariant::FromInt(FSettings.DstAddress);
      case dispid::Timeout: return TVariant::FromInt(FSettings.Timeout);
      case dispid::BusKind: return TVariant::FromInt(FSettings.BusKind);
      case dispid::BusPort: return TVariant::FromInt(FSettings.BusPort);
      case dispid::VirtualEcr: return TVariant::FromBool(FSettings.VirtualEcr);
      case dispid::VirtualDesk: return TVariant::FromBool(FSettings.VirtualDesk);
      case dispid::DeskInterval: return TVariant::FromInt(FSettings.DeskInterval);
      case dispid::DeskAddress: return TVariant::FromInt(FSettings.DeskAddress);
      case dispid::FaultMethod: return TVariant::FromStr(FSettings.FaultMethod);
      case dispid::FaultCode: return TVariant::FromInt(FSettings.FaultCode);
      case dispid::FaultEvery: return TVariant::FromInt(FSettings.FaultEvery);
      case dispid::LinkLatency: return TVariant::FromInt(FSettings.LinkLatency);
      case dispid::DeviceNotAnswering: return TVariant::FromBool(FSettings.DeviceNotAnswering);
      case dispid::JournalFile: return TVariant::FromStr(FSettings.JournalFile);
      case dispid::JournalMaxKB: return TVariant::FromInt(FSettings.JournalMaxKB);
      case dispid::BusHost: return TVariant::FromStr(FSettings.BusHost);
      case dispid::BusListen: return TVariant::FromStr(FSettings.BusListen);
      case dispid::BusAllow: return TVariant::FromStr(FSettings.BusAllow);
      case dispid::BusFault: return TVariant::FromStr(FSettings.BusFault);
      case dispid::BusFaultEvery: return TVariant::FromInt(FSettings.BusFaultEvery);
      case dispid::BusFaultDelay: return TVariant::FromInt(FSettings.BusFaultDelay);
      case dispid::DeskScenario: return TVariant::FromStr(FSettings.DeskScenario);
      case dispid::DeskCount: return TVariant::FromInt(FSettings.DeskCount);
      case dispid::DeskFirstAddress: return TVariant::FromInt(FSettings.DeskFirstAddress);
      case dispid::DeskReplayPace: return TVariant::FromInt(FSettings.DeskReplayPace);
      default: return FBag.Get(dispId);
    }
  }

  // ------------------------------------------------------------ methods

  int32_t Call(int32_t dispId) override {
    const TMemberInfo* info = FindMemberById(dispId);
    if (!info || !info->IsMethod)
      throw EOleError(kDispEMemberNotFound, Format(L"Неизвестный метод (DISPID %d)", dispId));
    // The inputs as the call finds them: a call may overwrite them.
    // Made only with the journal on: a call without it pays nothing for them.
    std::shared_ptr<TJournal> journal;
    std::optional<std::array<TJournalValue, kMaxJournalInputs>> inputs;
    size_t inputCount = 0;
    int64_t started = 0;
    if (FJournalOn.load(std::memory_order_relaxed)) {
      std::lock_guard lock(FMutex);
      journal = FJournal;
      if (journal) {
        inputs.emplace();
        for (int32_t id : MethodInputIds(dispId))
          if (inputCount < inputs->size()) (*inputs)[inputCount++] = {id, GetLocked(id)};
      }
      started = TJournal::ClockNs();
    }
    int32_t rc;
    std::wstring deskMessage;
    TEcrOp op = OpOfMethod(dispId);
    if (op != TEcrOp::None) {
      rc = CallDevice(op);
    } else {
      switch (dispId) {
        case dispid::GetCommand: rc = Guarded(L"GetCommand", [this] { return GetCommandLocked(); }); break;
        case dispid::ParseCommand: rc = Guarded(L"ParseCommand", [this] { return ParseCommandLocked(); }); break;
        case dispid::SendCommand: rc = SendCommand(); break;
        case dispid::SendDeskRequest: rc = DeskRequest(deskMessage); break;
        default: rc = Guarded(info->Name, [] { return kOk; }); break;  // ShowProperties: the shell's dialog
      }
    }
    SetResult(rc, std::move(deskMessage));
    if (journal) {
      const int64_t ended = TJournal::ClockNs();
      journal->Call(dispId, inputs->data(), inputCount, rc, ended - started, ended);
    }
    return rc;
  }

  // ------------------------------------------------------------ arrivals

  void SetArrivedNotify(std::function<void()> notify) override {
    std::lock_guard lock(FNotifyMutex);
    FNotify = std::move(notify);
  }

  std::vector<int32_t> TakeArrived() override {
    std::lock_guard lock(FMutex);
    if (FWaiting) return {};
    std::vector<int32_t> ids(FArrived.begin(), FArrived.end());
    FArrived.clear();
    return ids;
  }

  TEcrSettings Settings() override {
    std::lock_guard lock(FMutex);
    return FSettings;
  }

  void ApplySettings(const TEcrSettings& settings) override {
    std::lock_guard call(FCallMutex);
    TEcrSettings old;
    {
      std::lock_guard lock(FMutex);
      old = FSettings;
      FSettings = settings;
      SetBusFaultLocked(settings.BusFault);
      if (!SameText(old.FaultMethod, settings.FaultMethod) || old.FaultEvery != settings.FaultEvery)
        FFaultCalls = 0;
      if (old.BusFault != FSettings.BusFault || old.BusFaultEvery != FSettings.BusFaultEvery) FLinkFrames = 0;
      // Settings applied as a whole (the dialog's OK) read the desks' file again.
      FDeskPlan.reset();
    }
    Reconfigure(&old);
    UpdateJournal();
  }

  void SendDeskRequest() override {
    std::wstring message;
    int32_t rc = DeskRequest(message);
    SetResult(rc, std::move(message));
  }

  // ------------------------------------------------------------ the bus

  void Receive(const std::string& bytes, const TFrame& frame, bool) override {
    ThroughLink(bytes, frame, FSelfInlet);
  }

  // A frame as it reaches this control at the end of its line.
  void Take(const std::string& bytes, const TFrame& frame) {
    bool notify = false;
    std::shared_ptr<TJournal> journal;
    bool repeated = false;
    {
      std::lock_guard lock(FMutex);
      journal = FJournal;
      if (FWaiting && !FAnswer && frame.Type != 0 && frame.Code == FWaitCode && frame.Dst == FWaitAddress &&
          (frame.Seq == 0 || frame.Seq == FWaitSeq)) {
        FAnswer = frame;
        FWaitCv.notify_all();
        if (journal && FBus) journal->Frame(false, FBus->Name(), bytes, false);
        return;
      }
      TReceived r{bytes, frame, false};
      if (frame.Type == 0) {
        auto& last = FLastRequest[frame.Src];
        r.Repeated = frame.Seq != 0 && last.first == frame.Seq && last.second == frame.Code;
        last = {frame.Seq, frame.Code};
        repeated = r.Repeated;
      }
      int32_t id = FNextCommandId++;
      if (FNextCommandId <= 0) FNextCommandId = 1;
      FReceived.emplace(id, std::move(r));
      while (FReceived.size() > kMaxKeptCommands) FReceived.erase(FReceived.begin());
      FArrived.push_back(id);
      while (FArrived.size() > kMaxKeptCommands) FArrived.pop_front();
      notify = !FWaiting;
      if (journal && FBus) journal->Frame(false, FBus->Name(), bytes, repeated);
    }
    if (notify) Notify();
  }

  void Notice(const std::wstring& text) override {
    std::lock_guard lock(FMutex);
    if (FJournal) FJournal->Note(text);
  }

 private:
  void Notify() {
    std::lock_guard lock(FNotifyMutex);
    if (FNotify) FNotify();
  }

  void SetResult(int32_t rc, std::wstring text = {}) {
    std::lock_guard lock(FMutex);
    FResultCode = rc;
    FResultText = std::move(text);
  }

  // Settings that are properties; false for any other property.
  bool PutSettingLocked(int32_t id, const TVariant& v) {
    switch (id) {
      case dispid::SrcAddress: FSettings.SrcAddress = v.Int(); return true;
      case dispid::DstAddress: FSettings.DstAddress = v.Int(); return true;
      case dispid::Timeout: FSettings.Timeout = v.Int(); return true;
      case dispid::BusKind: FSettings.BusKind = v.Int(); return true;
      case dispid::BusPort: FSettings.BusPort = v.Int(); return true;
      case dispid::VirtualEcr: FSettings.VirtualEcr = v.Bool(); return true;
      case dispid::VirtualDesk: FSettings.VirtualDesk = v.Bool(); return true;
      case dispid::DeskInterval: FSettings.DeskInterval = v.Int(); return true;
      case dispid::DeskAddress: FSettings.DeskAddress = v.Int(); return true;
      case dispid::FaultMethod:
        FSettings.FaultMethod = v.Str();
        FFaultCalls = 0;
        return true;
      case dispid::FaultCode: FSettings.FaultCode = v.Int(); return true;
      case dispid::FaultEvery:
        FSettings.FaultEvery = v.Int();
        FFaultCalls = 0;
        return true;
      case dispid::LinkLatency: FSettings.LinkLatency = v.Int(); return true;
      case dispid::DeviceNotAnswering: FSettings.DeviceNotAnswering = v.Bool(); return true;
      case dispid::JournalFile: FSettings.JournalFile = v.Str(); return true;
      case dispid::JournalMaxKB: FSettings.JournalMaxKB = v.Int(); return true;
      case dispid::BusHost: FSettings.BusHost = v.Str(); return true;
      case dispid::BusListen: FSettings.BusListen = v.Str(); return true;
      case dispid::BusAllow: FSettings.BusAllow = v.Str(); return true;
      case dispid::BusFault:
        SetBusFaultLocked(v.Str());
        FLinkFrames = 0;
        return true;
      case dispid::BusFaultEvery:
        FSettings.BusFaultEvery = v.Int();
        FLinkFrames = 0;
        return true;
      case dispid::BusFaultDelay: FSettings.BusFaultDelay = v.Int(); return true;
      case dispid::DeskScenario: FSettings.DeskScenario = v.Str(); return true;
      case dispid::DeskCount: FSettings.DeskCount = v.Int(); return true;
      case dispid::DeskFirstAddress: FSettings.DeskFirstAddress = v.Int(); return true;
      case dispid::DeskReplayPace: FSettings.DeskReplayPace = v.Int(); return true;
      default: return false;
    }
  }

  // The injected fault of this call of a method, or 0.
  int32_t FaultLocked(const wchar_t* method) {
    if (FSettings.FaultEvery <= 0 || FSettings.FaultCode == 0 || !SameText(method, FSettings.FaultMethod)) return 0;
    ++FFaultCalls;
    return FFaultCalls % FSettings.FaultEvery == 0 ? FSettings.FaultCode : 0;
  }

  // Keeps BusFault as its keyword, and the fault the line applies.
  void SetBusFaultLocked(const std::wstring& text) {
    FLinkFault = BusFaultOf(text);
    FSettings.BusFault = BusFaultKeyword(FLinkFault);
  }

  // Passes a frame that a station of this control (the control itself, its
  // virtual desk or its virtual cash register) takes in through the line:
  // every BusFaultEvery-th of them meets BusFault. What arrives goes to the
  // station's inlet; a damaged frame the frame check refuses goes nowhere.
  // Not under FMutex: the inlet's station takes it.
  void ThroughLink(const std::string& bytes, const TFrame& frame, const std::shared_ptr<TLinkInlet>& inlet) {
    TBusFault fault = TBusFault::None;
    int64_t delayMs = 0;
    std::shared_ptr<TJournal> journal;
    {
      std::lock_guard lock(FMutex);
      if (FSettings.BusFaultEvery > 0 && FLinkFault != TBusFault::None && ++FLinkFrames % FSettings.BusFaultEvery == 0)
        fault = FLinkFault;
      delayMs = FSettings.BusFaultDelay;
      journal = FJournal;
    }
    auto note = [&](const std::wstring& text) {
      if (journal) journal->Note(L"сбой линии: " + text);
    };
    switch (fault) {
      case TBusFault::None: inlet->Deliver(bytes, frame); return;
      case TBusFault::Drop: note(Format(L"кадр %ls потерян", FrameBrief(frame).c_str())); return;
      case TBusFault::Duplicate:
        note(Format(L"кадр %ls пришёл дважды", FrameBrief(frame).c_str()));
        inlet->Deliver(bytes, frame);
        inlet->Deliver(bytes, frame);
        return;
      case TBusFault::Delay:
        note(Format(L"кадр %ls задержан на %lld мс", FrameBrief(frame).c_str(), static_cast<long long>(delayMs)));
        FDelay.Post(delayMs, [inlet, bytes, frame] { inlet->Deliver(bytes, frame); });
        return;
      default: break;
    }
    const std::string damaged = DamagedFrame(fault, bytes);
    TFrame arrived;
    const int32_t rc = DecodeFrame(damaged, arrived);
    if (rc == kOk) {
      note(fault == TBusFault::Readdress ? Format(L"у кадра %ls адрес назначения %d стал %d", FrameBrief(frame).c_str(),
                                                  int{frame.Dst}, int{arrived.Dst})
                                         : Format(L"кадр %ls искажён, но прошёл проверку кадра", FrameBrief(frame).c_str()));
      inlet->Deliver(damaged, arrived);
      return;
    }
    int64_t refused;
    {
      std::lock_guard lock(FMutex);
      refused = ++FLinkRefused;
    }
    const std::wstring what =
        fault == TBusFault::Truncate
            ? Format(L"обрезан до %d байт из %d", static_cast<int>(damaged.size()), static_cast<int>(bytes.size()))
            : Format(L"искажён (байт %d из %d)", static_cast<int>(bytes.size() / 2 + 1), static_cast<int>(bytes.size()));
    note(Format(L"кадр %ls %ls и отвергнут проверкой кадра (%d: %ls); отвергнуто кадров: %lld  [%ls]",
                FrameBrief(frame).c_str(), what.c_str(), rc, ResultText(rc).c_str(), static_cast<long long>(refused),
                FrameHex(damaged).c_str()));
  }

  template <class F>
  int32_t Guarded(const wchar_t* method, F body) {
    std::lock_guard call(FCallMutex);
    std::lock_guard lock(FMutex);
    if (int32_t fault = FaultLocked(method)) return fault;
    return body();
  }

  // Opening the port: with a device that does not answer, the driver finds
  // out only after waiting its time-out.
  void PutDeviceEnabled(bool enable) {
    std::lock_guard call(FCallMutex);
    int64_t timeout;
    {
      std::lock_guard lock(FMutex);
      if (!enable || !FSettings.DeviceNotAnswering) {
        FDeviceEnabled = enable;
        FResultCode = kOk;
        return;
      }
      timeout = FSettings.Timeout;
    }
    EcrClock()->Sleep(timeout);
    std::lock_guard lock(FMutex);
    FDeviceEnabled = false;
    FResultCode = kNoLink;
  }

  int32_t CallDevice(TEcrOp op) {
    std::lock_guard call(FCallMutex);
    // Only what the call needs: a copy of all the settings (their texts)
    // would cost more than the call itself.
    struct {
      int32_t Timeout, LinkLatency;
      bool DeviceNotAnswering;
    } s;
    bool enabled;
    {
      std::lock_guard lock(FMutex);
      s = {FSettings.Timeout, FSettings.LinkLatency, FSettings.DeviceNotAnswering};
      enabled = FDeviceEnabled;
    }
    if (!enabled) return kNotEnabled;
    if (s.DeviceNotAnswering) {
      EcrClock()->Sleep(s.Timeout);
      return kNoLink;
    }
    if (s.LinkLatency > 0) EcrClock()->Sleep(s.LinkLatency);
    int32_t rc;
    {
      std::lock_guard lock(FMutex);
      if (int32_t fault = FaultLocked(OpName(op))) return fault;
      rc = TVirtualEcr::Shared().Execute(op, FBag);
    }
    if (op == TEcrOp::InitTable && rc == kOk) {
      auto clock = EcrClock();
      // The device goes on initialising whether or not the driver waits for it.
      if (s.Timeout < kInitTableMs) {
        clock->Sleep(s.Timeout < 0 ? 0 : s.Timeout);
        return kDeviceTimeout;
      }
      clock->Sleep(kInitTableMs);
    }
    return rc;
  }

  // What the control's settings make of an operation its virtual cash
  // register runs for a network request.
  TEcrStation::TPolicy StationPolicy(TEcrOp op) {
    std::lock_guard lock(FMutex);
    TEcrStation::TPolicy p;
    p.LatencyMs = FSettings.LinkLatency;
    p.NotAnswering = FSettings.DeviceNotAnswering;
    if (op != TEcrOp::None) p.FaultCode = FaultLocked(OpName(op));
    return p;
  }

  TVirtualDesk::TTarget DeskTarget() {
    std::lock_guard lock(FMutex);
    // A value out of range (a hand-edited registry) falls back to the default.
    const int32_t address = FSettings.DeskAddress >= 0 && FSettings.DeskAddress <= 255 ? FSettings.DeskAddress
                                                                                       : FSettings.SrcAddress;
    return {static_cast<uint8_t>(address & 0xFF), FSettings.Timeout < 10 ? 10 : FSettings.Timeout};
  }

  int32_t GetCommandLocked() {
    auto it = FReceived.find(FBag.Int(dispid::CommandID));
    if (it == FReceived.end()) return kCommandNotFound;
    FCurrent = it->second;
    return kOk;
  }

  int32_t ParseCommandLocked() {
    if (!FCurrent) return kNoCommand;
    const TFrame& f = FCurrent->Frame;
    FBag.SetInt(dispid::CommandCode, f.Code);
    FBag.SetInt(dispid::CommandType, f.Type);
    FBag.SetInt(dispid::CommandSrcAddress, f.Src);
    FBag.SetInt(dispid::CommandDstAddress, f.Dst);
    FBag.SetStr(dispid::CommandCadrHex, FrameHex(FCurrent->Bytes));
    FBag.SetBool(dispid::CommandRepeated, FCurrent->Repeated);
    for (const auto& p : f.Params) FBag.Set(p.DispId, p.Value);
    FParsed = {true, f.Type, f.Code, f.Src, f.Seq};
    return kOk;
  }

  int32_t SendCommand() {
    std::lock_guard call(FCallMutex);
    TFrame frame;
    std::string bytes;
    bool wait;
    int64_t timeout;
    bool toOwnEcr;
    std::shared_ptr<TJournal> journal;
    {
      std::lock_guard lock(FMutex);
      journal = FJournal;
      if (int32_t fault = FaultLocked(L"SendCommand")) return fault;
      int32_t code = FBag.Int(dispid::CommandCode);
      int32_t src = FBag.Int(dispid::CommandSrcAddress), dst = FBag.Int(dispid::CommandDstAddress);
      if (code < 0 || code > 255) return kBadCommandCode;
      if (src < 0 || src > 255 || dst < 0 || dst > 255) return kBadAddress;
      if (!FBus) return kNetworkDown;
      frame.Code = static_cast<uint8_t>(code);
      frame.Src = static_cast<uint8_t>(src);
      frame.Dst = static_cast<uint8_t>(dst);
      bool answer = FBag.Int(dispid::CommandType) != 0;
      frame.Type = answer ? 1 : 0;
      if (answer) {
        // An answer carries the number of the request it answers, so that the
        // requester can tell it from a late answer to an earlier request.
        frame.Seq = FParsed.Valid && FParsed.Type == 0 && FParsed.Code == frame.Code && FParsed.Src == frame.Dst
                        ? FParsed.Seq
                        : 0;
      } else {
        frame.Seq = FSeq;
        FSeq = NextSequenceNumber(FSeq);
      }
      frame.Params = ParamsFromBag(FBag, FrameParamIds(frame.Code, answer));
      if (int32_t rc = EncodeFrame(frame, bytes)) return rc;
      FBag.SetStr(dispid::CommandCadrHex, FrameHex(bytes));
      wait = !answer && FBag.Bool(dispid::WaitAnswer);
      timeout = FSettings.Timeout;
      toOwnEcr = !answer && FEcr && frame.Dst == kVirtualEcrAddress;
      if (wait) {
        FWaiting = true;
        FWaitCode = frame.Code;
        FWaitAddress = frame.Src;
        FWaitSeq = frame.Seq;
        FAnswer.reset();
      }
    }
    if (journal) journal->Frame(true, FBus->Name(), bytes, false);
    std::string ecrBytes = toOwnEcr ? bytes : std::string();
    FBus->Send(FStationId, std::move(bytes));
    if (toOwnEcr) ThroughLink(ecrBytes, frame, FEcrInlet);
    if (!wait) return kOk;

    int32_t rc;
    bool pending;
    {
      std::unique_lock lock(FMutex);
      FWaitCv.wait_for(lock, std::chrono::milliseconds(timeout < 0 ? 0 : timeout), [this] { return FAnswer.has_value(); });
      FWaiting = false;
      if (FAnswer) {
        for (const auto& p : FAnswer->Params) FBag.Set(p.DispId, p.Value);
        FAnswer.reset();
        rc = kOk;
      } else {
        rc = kNoAnswer;
      }
      pending = !FArrived.empty();
    }
    // Commands that came in meanwhile were held back; their owner hears of them now.
    if (pending) Notify();
    return rc;
  }

  int32_t DeskRequest(std::wstring& message) {
    std::lock_guard call(FCallMutex);
    if (!FBus) return kNetworkDown;
    if (!MakeDesks(message)) return kBadScenario;
    int32_t rc = kOk;
    for (auto& desk : FDesks)
      if (int32_t one = desk->SendNext(); rc == kOk) rc = one;
    return rc;
  }

  // The plan the settings name, read now unless it is read already. False
  // with the message when the file cannot be played (the journal says so too).
  bool LoadPlan(const TEcrSettings& s, std::wstring& message) {
    {
      std::lock_guard lock(FMutex);
      if (FDeskPlan && FDeskPlanFile == s.DeskScenario) return true;
    }
    const std::wstring file(TrimBlanks(s.DeskScenario));
    auto plan = file.empty() ? BuiltInDeskPlan() : LoadDeskScenario(file, message);
    std::lock_guard lock(FMutex);
    FDeskPlan = plan;
    FDeskPlanFile = s.DeskScenario;
    if (!plan && FJournal) FJournal->Note(message);
    return plan != nullptr;
  }

  // The desks the settings ask for, on the current bus with the current plan.
  // The caller holds FCallMutex.
  bool MakeDesks(std::wstring& message) {
    TEcrSettings s = Settings();
    if (!LoadPlan(s, message)) {
      DropDesks();
      return false;
    }
    std::shared_ptr<const TDeskPlan> plan;
    {
      std::lock_guard lock(FMutex);
      plan = FDeskPlan;
    }
    // Settings from a hand-edited registry that give no addresses: one desk at 3.
    const bool fits = DeskRangeError(s.DeskFirstAddress, s.DeskCount).empty();
    const int32_t count = fits ? s.DeskCount : 1;
    const int32_t first = fits ? s.DeskFirstAddress : kVirtualDeskAddress;
    if (!FDesks.empty() && FDesks.front()->Plan() == plan && FDesks.front()->Address() == first &&
        FDesks.size() == static_cast<size_t>(count))
      return true;
    DropDesks();
    for (int32_t i = 0; i < count; ++i) {
      auto desk = MakeDesk(static_cast<uint8_t>(first + i), plan);
      desk->SetReport([this](const std::wstring& text) { Notice(text); });
      FDesks.push_back(std::move(desk));
    }
    return true;
  }

  // Brings the bus and the virtual stations in line with the settings. The
  // caller holds FCallMutex and not FMutex.
  void Reconfigure(const TEcrSettings* old) {
    TEcrSettings s;
    {
      std::lock_guard lock(FMutex);
      s = FSettings;
    }
    const bool busChanged =
        !old || old->BusKind != s.BusKind ||
        (s.BusKind == kBusUdp && (old->BusPort != s.BusPort || old->BusHost != s.BusHost ||
                                  old->BusListen != s.BusListen || old->BusAllow != s.BusAllow)) ||
        !FBus;
    if (busChanged) {
      TearDown();
      int32_t rc;
      auto bus = TBus::Open({s.BusKind, s.BusPort, s.BusHost, s.BusListen, s.BusAllow}, rc);
      if (!bus) return;
      FBus = std::move(bus);
      FStationId = FBus->Attach(this);
    }
    if (s.VirtualEcr && !FEcr)
      MakeEcr();
    else if (!s.VirtualEcr && FEcr)
      DropEcr();
    if (s.VirtualDesk) {
      const bool playing = !FDesks.empty() && old && old->VirtualDesk && !busChanged;
      if (!playing) {
        // Desks that start playing read their file afresh.
        std::lock_guard lock(FMutex);
        FDeskPlan.reset();
      }
      const TVirtualDesk* before = FDesks.empty() ? nullptr : FDesks.front().get();
      std::wstring message;
      if (!MakeDesks(message)) return;
      // Desks made anew start from the top; so do all when their pace changes.
      if (!playing || FDesks.front().get() != before || old->DeskInterval != s.DeskInterval ||
          old->DeskReplayPace != s.DeskReplayPace) {
        const int64_t interval = s.DeskInterval < 10 ? 10 : s.DeskInterval;
        const int64_t count = static_cast<int64_t>(FDesks.size());
        // Spread over one interval, so that many desks do not all send at once.
        for (int64_t i = 0; i < count; ++i)
          FDesks[i]->Start(interval, s.DeskReplayPace, interval + interval * i / count, count > 1);
      }
    } else {
      for (auto& desk : FDesks) desk->Stop();
    }
  }

  // Opens, changes or closes the journal as the settings say. Not under
  // FMutex: closing the last user of a journal waits for its file.
  void UpdateJournal() {
    std::wstring file;
    uint64_t maxBytes;
    {
      std::lock_guard lock(FMutex);
      file = FSettings.JournalFile;
      maxBytes = uint64_t(FSettings.JournalMaxKB < 0 ? 0 : FSettings.JournalMaxKB) * 1024;
    }
    std::shared_ptr<TJournal> journal;
    if (!TrimBlanks(file).empty()) {
      TJournal::TOptions options;
      options.MaxBytes = maxBytes;
      journal = TJournal::Open(file, options);
    }
    std::lock_guard lock(FMutex);
    std::swap(FJournal, journal);
    FJournalOn = FJournal != nullptr;
  }

  // The virtual stations take their frames through this control's line.
  void MakeEcr() {
    FEcr = std::make_unique<TEcrStation>(FBus, [this](TEcrOp op) { return StationPolicy(op); });
    TEcrStation* ecr = FEcr.get();
    FEcrInlet = std::make_shared<TLinkInlet>();
    // A request the line sent elsewhere is not the cash register's.
    FEcrInlet->Open([ecr](const std::string&, const TFrame& frame) {
      if (frame.Type == 0 && frame.Dst == kVirtualEcrAddress) ecr->Submit(frame);
    });
  }

  // A desk at the address, with its own inlet at the end of this control's line.
  std::unique_ptr<TVirtualDesk> MakeDesk(uint8_t address, std::shared_ptr<const TDeskPlan> plan) {
    auto inlet = std::make_shared<TLinkInlet>();
    auto desk = std::make_unique<TVirtualDesk>(
        FBus, [this] { return DeskTarget(); }, address, std::move(plan),
        [this, inlet](const std::string& bytes, const TFrame& frame) { ThroughLink(bytes, frame, inlet); });
    TVirtualDesk* taker = desk.get();
    inlet->Open([taker](const std::string& bytes, const TFrame& frame) { taker->Take(bytes, frame); });
    FDeskInlets.push_back(std::move(inlet));
    return desk;
  }

  // Nothing the line still holds back reaches a station after it goes.
  void DropDesks() {
    for (auto& inlet : FDeskInlets) inlet->Close();
    FDeskInlets.clear();
    FDesks.clear();
  }

  void DropEcr() {
    if (FEcrInlet) FEcrInlet->Close();
    FEcr.reset();
  }

  void TearDown() {
    DropDesks();
    DropEcr();
    if (FBus) FBus->Detach(FStationId);
    FBus.reset();
  }

  // Serialises calls (one exchange with the device at a time); never taken by
  // the bus thread.
  std::mutex FCallMutex;
  // Guards everything below; held only briefly, never while waiting.
  std::mutex FMutex;
  // Guards the notify function, so that it is not called after being replaced.
  std::mutex FNotifyMutex;
  std::function<void()> FNotify;

  TEcrSettings FSettings;
  TPropBag FBag;
  int32_t FResultCode = kOk;
  std::wstring FResultText;  // ResultCodeDescription when the code's own text says too little
  bool FDeviceEnabled = true;
  int64_t FFaultCalls = 0;
  std::shared_ptr<TJournal> FJournal;
  // Read without the lock on every call: the journal costs nothing when off.
  std::atomic<bool> FJournalOn{false};

  std::shared_ptr<TBus> FBus;
  int32_t FStationId = 0;
  std::unique_ptr<TEcrStation> FEcr;
  // Where the line hands frames to the control and to its stations.
  std::shared_ptr<TLinkInlet> FSelfInlet = std::make_shared<TLinkInlet>();
  std::shared_ptr<TLinkInlet> FEcrInlet = std::make_shared<TLinkInlet>();
  std::vector<std::shared_ptr<TLinkInlet>> FDeskInlets;
  // Frames the stations took in since BusFault or BusFaultEvery last
  // changed, and the damaged ones the frame check refused.
  int64_t FLinkFrames = 0;
  // BusFault as the line applies it, read once when the setting changes.
  TBusFault FLinkFault = TBusFault::None;
  int64_t FLinkRefused = 0;
  std::vector<std::unique_ptr<TVirtualDesk>> FDesks;
  // What the desks play, and the DeskScenario it was read for.
  std::shared_ptr<const TDeskPlan> FDeskPlan;
  std::wstring FDeskPlanFile;

  std::map<int32_t, TReceived> FReceived;
  std::deque<int32_t> FArrived;
  int32_t FNextCommandId = 1;
  std::map<uint8_t, std::pair<uint8_t, uint8_t>> FLastRequest;  // source -> (seq, code)
  std::optional<TReceived> FCurrent;
  struct {
    bool Valid = false;
    uint8_t Type = 0, Code = 0, Src = 0, Seq = 0;
  } FParsed;
  uint8_t FSeq = FirstSequenceNumber();

  bool FWaiting = false;
  uint8_t FWaitCode = 0, FWaitAddress = 0, FWaitSeq = 0;
  std::optional<TFrame> FAnswer;
  std::condition_variable FWaitCv;
  // Frames the line holds back; its thread ends before the members above go.
  TDelayLine FDelay;
};

}  // namespace

}  // namespace ecr

// A value the setting cannot take is refused at once, not found out when the
// bus fails to open.
void CheckSettingValue(int32_t id, const TVariant& v) {
  using namespace ecr;
  switch (id) {
    case dispid::DeskAddress:
      if (v.Int() < kDeskToOwnAddress || v.Int() > 255)
        throw EOleError(kDispEOverflow, L"Неверный адрес запросов кассы (допустимо 0..255, -1: адрес станции)");
      break;
    case dispid::DeskScenario: {
      const std::wstring file(TrimBlanks(v.Str()));
      std::wstring message;
      if (!file.empty() && !LoadDeskScenario(file, message)) throw EOleError(kDispETypeMismatch, message);
      break;
    }
    case dispid::DeskCount:
      if (v.Int() < 1 || v.Int() > kMaxDeskCount)
        throw EOleError(kDispEOverflow, Format(L"Неверное число касс (допустимо 1..%d)", kMaxDeskCount));
      break;
    case dispid::DeskFirstAddress:
      if (v.Int() < 0 || v.Int() > 255)
        throw EOleError(kDispEOverflow, L"Неверный адрес первой кассы (допустимо 0..255)");
      break;
    case dispid::DeskReplayPace:
      if (v.Int() != kDeskPaceRecorded && v.Int() != kDeskPaceAnswered)
        throw EOleError(kDispEOverflow, L"Неверный темп касс (допустимо 0: по интервалу и записи, 1: по ответам)");
      break;
    case dispid::JournalMaxKB:
      if (v.Int() < 0 || v.Int() > kMaxJournalKB)
        throw EOleError(kDispEOverflow, Format(L"Неверный размер журнала (допустимо 0..%d КБ)", kMaxJournalKB));
      break;
    case dispid::BusFault: {
      TBusFault fault;
      if (!ParseBusFault(v.Str(), fault))
        throw EOleError(kDispETypeMismatch,
                        Format(L"Неверный сбой шины «%ls»: допустимо drop, duplicate, delay, corrupt, readdress, "
                               L"truncate или пусто",
                               v.Str().c_str()));
      break;
    }
    case dispid::BusFaultEvery:
      if (v.Int() < 0 || v.Int() > kMaxBusFaultEvery)
        throw EOleError(kDispEOverflow,
                        Format(L"Неверная частота сбоя шины (допустимо 0..%d, 0: без сбоев)", kMaxBusFaultEvery));
      break;
    case dispid::BusFaultDelay:
      if (v.Int() < 0 || v.Int() > kMaxBusFaultDelay)
        throw EOleError(kDispEOverflow, Format(L"Неверная задержка кадра (допустимо 0..%d мс)", kMaxBusFaultDelay));
      break;
    case dispid::BusHost:
    case dispid::BusListen: {
      uint32_t address;
      const std::wstring_view text = TrimBlanks(v.Str());
      if (!text.empty() && !ParseIp4(text, address))
        throw EOleError(kDispETypeMismatch, Format(L"Неверный адрес «%ls»: нужен адрес IPv4 вида 192.168.1.10",
                                                   v.Str().c_str()));
      break;
    }
    case dispid::BusAllow: {
      std::vector<TAllowRule> rules;
      std::wstring bad;
      if (!ParseAllowList(v.Str(), rules, bad))
        throw EOleError(kDispETypeMismatch,
                        Format(L"Неверный адрес «%ls» в списке BusAllow: нужны адреса IPv4 или сети вида 10.0.2.0/24",
                               bad.c_str()));
      break;
    }
  }
}

std::wstring DeskRangeError(int32_t firstAddress, int32_t count) {
  if (firstAddress >= 0 && count >= 1 && firstAddress + count - 1 <= 255) return {};
  return Format(L"Число касс %d с адреса %d: у последней был бы адрес %d (допустимо до 255)", count, firstAddress,
                firstAddress + count - 1);
}

std::unique_ptr<TEcrControl> TEcrControl::Create(const TEcrSettings& settings) {
  return std::make_unique<ecr::TEcrControlImpl>(settings);
}
