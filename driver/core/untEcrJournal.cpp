#include "untEcrJournal.h"

#include <chrono>
#include <map>

#include "untEcrJournalFile.h"
#include "untText.h"

#ifndef PLOVER_FILE_VERSION_TEXT
#define PLOVER_FILE_VERSION_TEXT "1.6.0.62"
#endif

namespace ecr {

namespace {

std::mutex& RegistryMutex() {
  static std::mutex m;
  return m;
}

// Weak, so that a journal's thread ends with the last control writing to it.
std::map<std::wstring, std::weak_ptr<TJournal>>& Registry() {
  static auto* registry = new std::map<std::wstring, std::weak_ptr<TJournal>>();
  return *registry;
}

// File names on Windows do not tell case apart.
std::wstring RegistryKey(const std::wstring& path) {
  std::wstring key = path;
  for (auto& c : key) c = UpperChar(c);
  return key;
}

int64_t WallMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Writes a milliseconds-of-the-epoch moment from the journal's steady clock,
// by way of one reading of both clocks per batch.
struct TWallClock {
  int64_t WallMsNow = WallMs();
  int64_t ClockNsNow = TJournal::ClockNs();
  int64_t WallMsOf(int64_t clockNs) const { return WallMsNow - (ClockNsNow - clockNs) / 1000000; }
};

}  // namespace

std::shared_ptr<TJournal> TJournal::Open(const std::wstring& path, const TOptions& options) {
  std::lock_guard lock(RegistryMutex());
  auto& slot = Registry()[RegistryKey(path)];
  if (auto journal = slot.lock()) {
    journal->SetMaxBytes(options.MaxBytes);
    return journal;
  }
  auto journal = CreateUnshared(path, options);
  slot = journal;
  return journal;
}

std::shared_ptr<TJournal> TJournal::CreateUnshared(const std::wstring& path, const TOptions& options) {
  return std::shared_ptr<TJournal>(new TJournal(path, options));
}

TJournal::TJournal(std::wstring path, const TOptions& options)
    : FPath(std::move(path)), FOptions(options), FMaxBytes(options.MaxBytes) {
  FPending.reserve(options.WakeAt < options.Capacity ? options.WakeAt : options.Capacity);
  FThread = std::thread([this] { Run(); });
}

TJournal::~TJournal() {
  {
    std::lock_guard lock(FMutex);
    FStop = true;
  }
  FWake.notify_all();
  FThread.join();
}

void TJournal::SetMaxBytes(uint64_t maxBytes) {
  std::lock_guard lock(FMutex);
  FMaxBytes = maxBytes;
}

void TJournal::Push(TEntry&& entry) {
  bool wake;
  {
    std::lock_guard lock(FMutex);
    if (FPending.size() >= FOptions.Capacity) {
      ++FDropped;
      ++FDroppedTotal;
      return;
    }
    FPending.push_back(std::move(entry));
    ++FQueued;
    // Waking the writer is a system call: done once per batch, not per line.
    wake = FPending.size() == FOptions.WakeAt;
  }
  if (wake) FWake.notify_one();
}

int64_t TJournal::ClockNs() {
  using namespace std::chrono;
  return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

void TJournal::Call(int32_t method, const TJournalValue* inputs, size_t count, int32_t result, int64_t durationNs,
                    int64_t atNs) {
  TEntry e;
  e.Kind = TKind::Call;
  e.Thread = CurrentThreadNumber();
  e.AtNs = atNs ? atNs : ClockNs();
  e.Id = method;
  e.Result = result;
  e.DurationNs = durationNs;
  for (size_t i = 0; i < count && i < kMaxJournalInputs; ++i) {
    const TVariant& v = inputs[i].second;
    TInput& in = e.Inputs[e.InputCount++];
    in.Id = inputs[i].first;
    in.Type = v.Type();
    switch (v.Type()) {
      case TVarType::Int: in.I = v.Int(); break;
      case TVarType::Double:
      case TVarType::Date: in.D = v.Double(); break;
      case TVarType::Currency: in.C = v.Currency(); break;
      case TVarType::Bool: in.B = v.Bool(); break;
      case TVarType::Str: e.Text = v.Str(); break;  // no method has two text inputs
      case TVarType::Empty: in.I = 0; break;
    }
  }
  Push(std::move(e));
}

void TJournal::Frame(bool sent, std::wstring bus, std::string bytes, bool repeated) {
  TEntry e;
  e.Kind = TKind::Frame;
  e.Thread = CurrentThreadNumber();
  e.AtNs = ClockNs();
  e.Flag = sent;
  e.Repeated = repeated;
  e.Bytes = std::move(bytes);
  e.Text = std::move(bus);
  Push(std::move(e));
}

void TJournal::Note(std::wstring text) {
  TEntry e;
  e.Kind = TKind::Note;
  e.Thread = CurrentThreadNumber();
  e.AtNs = ClockNs();
  e.Text = std::move(text);
  Push(std::move(e));
}

void TJournal::Flush() {
  std::unique_lock lock(FMutex);
  const uint64_t target = FQueued;
  if (FFlushTarget < target) FFlushTarget = target;
  FWake.notify_one();
  FWritten.wait(lock, [&] { return FDone >= target || FStop; });
}

uint64_t TJournal::Dropped() {
  std::lock_guard lock(FMutex);
  return FDroppedTotal;
}

std::string TJournal::Render(const std::vector<TEntry>& batch, bool first, uint64_t dropped, uint64_t lost) {
  std::string out;
  out.reserve(batch.size() * 140 + 256);
  const TWallClock clock;
  // Local time changes only with the second: worked out once a second.
  int64_t second = INT64_MIN;
  TJournalStamp stamp{};
  auto stampOf = [&](int64_t clockNs, uint32_t thread) {
    const int64_t wallMs = clock.WallMsOf(clockNs);
    if (wallMs / 1000 != second) {
      second = wallMs / 1000;
      stamp = JournalStampOf(second * 1000, 0);
    }
    TJournalStamp at = stamp;
    at.Ms = static_cast<int>(wallMs % 1000);
    at.Thread = thread;
    return at;
  };
  // The journal's own notes bear the time of the first line they come before.
  const int64_t noteNs = batch.empty() ? clock.ClockNsNow : batch.front().AtNs;
  auto note = [&](const std::wstring& text) {
    AppendJournalNoteLine(out, stampOf(noteNs, CurrentThreadNumber()), text);
    out += "\r\n";
  };
  if (first)
    note(Format(L"начало журнала: PloverDrv %ls, процесс %u", Utf8ToWide(PLOVER_FILE_VERSION_TEXT).c_str(),
                CurrentProcessNumber()));
  if (lost)
    note(Format(L"не записано строк: %llu (файл журнала был недоступен)", static_cast<unsigned long long>(lost)));
  if (dropped)
    note(Format(L"пропущено строк: %llu (очередь журнала была полна)", static_cast<unsigned long long>(dropped)));
  std::array<TJournalValue, kMaxJournalInputs> inputs;
  for (const TEntry& e : batch) {
    const TJournalStamp at = stampOf(e.AtNs, e.Thread);
    switch (e.Kind) {
      case TKind::Call:
        for (size_t i = 0; i < e.InputCount; ++i) {
          const TInput& in = e.Inputs[i];
          inputs[i].first = in.Id;
          switch (in.Type) {
            case TVarType::Int: inputs[i].second = TVariant::FromInt(in.I); break;
            case TVarType::Double: inputs[i].second = TVariant::FromDouble(in.D); break;
            case TVarType::Date: inputs[i].second = TVariant::FromDate(in.D); break;
            case TVarType::Currency: inputs[i].second = TVariant::FromCurrency(in.C); break;
            case TVarType::Bool: inputs[i].second = TVariant::FromBool(in.B); break;
            case TVarType::Str: inputs[i].second = TVariant::FromStr(e.Text); break;
            case TVarType::Empty: inputs[i].second = TVariant(); break;
          }
        }
        AppendJournalCallLine(out, at, e.Id, inputs.data(), e.InputCount, e.Result, e.DurationNs);
        break;
      case TKind::Frame: AppendJournalFrameLine(out, at, e.Flag, e.Text, e.Bytes, e.Repeated); break;
      case TKind::Note: AppendJournalNoteLine(out, at, e.Text); break;
    }
    out += "\r\n";
  }
  return out;
}

void TJournal::Run() {
  std::vector<TEntry> batch;
  uint64_t lost = 0, unreported = 0;
  bool begun = false;
  std::unique_lock lock(FMutex);
  for (;;) {
    FWake.wait_for(lock, std::chrono::milliseconds(FOptions.FlushMs), [&] {
      return FStop || FFlushTarget > FDone || FPending.size() >= FOptions.WakeAt;
    });
    if (FPending.empty() && FDropped == 0) {
      FDone = FQueued;
      FWritten.notify_all();
      if (FStop) break;
      continue;
    }
    batch.swap(FPending);
    unreported += std::exchange(FDropped, 0);
    const uint64_t upTo = FQueued;
    const uint64_t maxBytes = FMaxBytes;
    lock.unlock();

    const std::string bytes = Render(batch, !begun, unreported, lost);
    if (AppendJournalBatch(FPath, bytes, maxBytes) == 0) {
      begun = true;
      lost = 0;
      unreported = 0;
    } else {
      // Said in the file once it can be written again.
      lost += batch.size();
    }
    batch.clear();

    lock.lock();
    FDone = upTo;
    FWritten.notify_all();
  }
}

}  // namespace ecr
