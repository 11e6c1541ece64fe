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

void TJournal::Call(int32_t method, std::vector<TJournalValue> inputs, int32_t result, int64_t durationNs) {
  TEntry e;
  e.Kind = TKind::Call;
  e.Thread = CurrentThreadNumber();
  e.WallMs = WallMs();
  e.Id = method;
  e.Result = result;
  e.DurationNs = durationNs;
  e.Inputs = std::move(inputs);
  Push(std::move(e));
}

void TJournal::Frame(bool sent, std::wstring bus, std::string bytes, bool repeated) {
  TEntry e;
  e.Kind = TKind::Frame;
  e.Thread = CurrentThreadNumber();
  e.WallMs = WallMs();
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
  e.WallMs = WallMs();
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

std::string TJournal::Render(std::vector<TEntry>& batch, bool first, uint64_t dropped, uint64_t lost) {
  std::string out;
  out.reserve(batch.size() * 128 + 256);
  // Local time changes only with the second: worked out once a second.
  int64_t second = INT64_MIN;
  TJournalStamp stamp{};
  auto stampOf = [&](int64_t wallMs, uint32_t thread) {
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
  const int64_t noteMs = batch.empty() ? WallMs() : batch.front().WallMs;
  auto note = [&](const std::wstring& text) {
    out += JournalNoteLine(stampOf(noteMs, CurrentThreadNumber()), text);
    out += "\r\n";
  };
  if (first)
    note(Format(L"начало журнала: PloverDrv %ls, процесс %u", Utf8ToWide(PLOVER_FILE_VERSION_TEXT).c_str(),
                CurrentProcessNumber()));
  if (lost)
    note(Format(L"не записано строк: %llu (файл журнала был недоступен)", static_cast<unsigned long long>(lost)));
  if (dropped)
    note(Format(L"пропущено строк: %llu (очередь журнала была полна)", static_cast<unsigned long long>(dropped)));
  for (TEntry& e : batch) {
    const TJournalStamp at = stampOf(e.WallMs, e.Thread);
    switch (e.Kind) {
      case TKind::Call: out += JournalCallLine(at, e.Id, e.Inputs, e.Result, e.DurationNs); break;
      case TKind::Frame: out += JournalFrameLine(at, e.Flag, e.Text, e.Bytes, e.Repeated); break;
      case TKind::Note: out += JournalNoteLine(at, e.Text); break;
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
