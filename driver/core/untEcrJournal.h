#pragma once
// The exchange journal (JournalFile): one text line for every method call of
// a control and for every frame it sends or receives, for the developer who
// wants to see afterwards what went over the wire.
//
// The caller only queues what happened; a thread of the journal turns it into
// lines and appends them to the file, at least once a second and when the
// last control writing to the file goes. A full queue drops lines, and the
// journal says how many.
#include <array>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "untVariant.h"

namespace ecr {

// A method input as it was when the call began: property identifier, value.
using TJournalValue = std::pair<int32_t, TVariant>;
// The most inputs a method has (SendCommand's).
constexpr size_t kMaxJournalInputs = 6;

// JournalMaxKB when nothing else is set.
constexpr int32_t kDefaultJournalMaxKB = 10240;

class TJournal {
 public:
  struct TOptions {
    uint64_t MaxBytes = uint64_t{kDefaultJournalMaxKB} * 1024;
    // Lines waiting for the disk beyond this are dropped.
    size_t Capacity = 1 << 16;
    // The writer wakes this often, and early when this many lines wait.
    int64_t FlushMs = 200;
    size_t WakeAt = 1 << 13;
  };

  // The journal of a file, shared by every control of this process that
  // writes to it (the last options given apply).
  static std::shared_ptr<TJournal> Open(const std::wstring& path, const TOptions& options);
  // A journal of its own, as another process would have (tests).
  static std::shared_ptr<TJournal> CreateUnshared(const std::wstring& path, const TOptions& options);
  // Writes what is queued, then returns.
  ~TJournal();
  TJournal(const TJournal&) = delete;
  TJournal& operator=(const TJournal&) = delete;

  const std::wstring& Path() const { return FPath; }
  void SetMaxBytes(uint64_t maxBytes);

  // The journal's clock (steady, in ns): what a caller that times its call
  // anyway passes as the moment it ended, to spare a reading of the clock.
  static int64_t ClockNs();

  // The caller's side: each queues one line and never waits for the disk. A
  // call costs no allocation (but for a text input longer than a few
  // characters): the caller pays for the queue, not for the line.
  void Call(int32_t method, const TJournalValue* inputs, size_t count, int32_t result, int64_t durationNs,
            int64_t atNs = 0);
  void Call(int32_t method, const std::vector<TJournalValue>& inputs, int32_t result, int64_t durationNs) {
    Call(method, inputs.data(), inputs.size(), result, durationNs);
  }
  void Frame(bool sent, std::wstring bus, std::string bytes, bool repeated);
  void Note(std::wstring text);

  // Waits until every line queued before the call is in the file.
  void Flush();
  // Lines dropped so far because the queue was full.
  uint64_t Dropped();

 private:
  enum class TKind : uint8_t { Call, Frame, Note };
  // An input that is not a text, kept without its variant.
  struct TInput {
    int32_t Id;
    TVarType Type;
    union {
      int32_t I;
      double D;
      int64_t C;
      bool B;
    };
  };
  struct TEntry {
    TKind Kind = TKind::Note;
    bool Flag = false;  // a frame: sent (else received)
    bool Repeated = false;
    uint8_t InputCount = 0;
    uint32_t Thread = 0;
    int32_t Id = 0;      // a call: the method
    int32_t Result = 0;  // a call: its result code
    int64_t AtNs = 0;    // ClockNs() when it happened
    int64_t DurationNs = 0;
    std::array<TInput, kMaxJournalInputs> Inputs;
    std::string Bytes;  // a frame
    std::wstring Text;  // a frame's bus, a note, or a call's text input
  };

  TJournal(std::wstring path, const TOptions& options);
  void Push(TEntry&& entry);
  void Run();
  std::string Render(const std::vector<TEntry>& batch, bool first, uint64_t dropped, uint64_t lost);

  const std::wstring FPath;
  const TOptions FOptions;
  std::mutex FMutex;
  std::condition_variable FWake;
  std::condition_variable FWritten;
  std::vector<TEntry> FPending;
  uint64_t FMaxBytes;
  uint64_t FQueued = 0;       // lines accepted so far
  uint64_t FDone = 0;         // of them, handed to the file (or lost with it)
  uint64_t FFlushTarget = 0;  // a Flush waits for FDone to reach this
  uint64_t FDropped = 0;      // not yet reported in the file
  uint64_t FDroppedTotal = 0;
  bool FStop = false;
  std::thread FThread;
};

// Lines as they stand in the file (UTF-8, without the line end): appended to
// the writer's batch, or returned for the tests that read them back.
struct TJournalStamp {
  int Year, Month, Day, Hour, Min, Sec, Ms;
  uint32_t Thread;
};
TJournalStamp JournalStampOf(int64_t wallMs, uint32_t thread);
void AppendJournalCallLine(std::string& out, const TJournalStamp& at, int32_t method, const TJournalValue* inputs,
                           size_t count, int32_t result, int64_t durationNs);
void AppendJournalFrameLine(std::string& out, const TJournalStamp& at, bool sent, std::wstring_view bus,
                            std::string_view bytes, bool repeated);
void AppendJournalNoteLine(std::string& out, const TJournalStamp& at, std::wstring_view text);
std::string JournalCallLine(const TJournalStamp& at, int32_t method, const std::vector<TJournalValue>& inputs,
                            int32_t result, int64_t durationNs);
std::string JournalFrameLine(const TJournalStamp& at, bool sent, std::wstring_view bus, std::string_view bytes,
                             bool repeated);
std::string JournalNoteLine(const TJournalStamp& at, std::wstring_view text);
// A property's value as the journal shows it: numbers with a "." separator,
// dates as dd.mm.yyyy, texts quoted with C escapes.
std::string JournalValueText(const TVariant& value);

}  // namespace ecr
