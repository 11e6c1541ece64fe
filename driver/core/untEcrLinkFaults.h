#pragma once
// A line that misbehaves on request (BusFault, every BusFaultEvery-th frame):
// it loses, repeats, holds back, damages, misdirects or cuts the frames a
// station takes in, so that the software on either end of a link can be
// tried against a bad one.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "untEcrFrame.h"

namespace ecr {

enum class TBusFault : int32_t {
  None,
  Drop,       // the frame is lost
  Duplicate,  // it arrives twice
  Delay,      // it arrives BusFaultDelay ms late
  Corrupt,    // one byte of it is inverted
  Readdress,  // its destination is one higher (255 becomes 0)
  Truncate,   // only its first half arrives
};

// BusFault's values: the empty text (or "none") and the keywords below, in
// any case. False for anything else.
bool ParseBusFault(std::wstring_view text, TBusFault& fault);
// The keyword of a fault ("" for None).
const wchar_t* BusFaultKeyword(TBusFault fault);
// Every fault, None first, for lists.
constexpr TBusFault kBusFaults[] = {TBusFault::None,    TBusFault::Drop,      TBusFault::Duplicate, TBusFault::Delay,
                                    TBusFault::Corrupt, TBusFault::Readdress, TBusFault::Truncate};

// The bytes that arrive of a frame the line damages (Corrupt, Readdress,
// Truncate); the frame itself for any other fault. Readdress keeps the frame
// valid (its checksum follows the new address); the others break it.
std::string DamagedFrame(TBusFault fault, const std::string& bytes);

// Where the frames a station takes in through the line are handed to it.
// Closed before the station goes: from then on nothing reaches it, and a
// delivery under way has ended when Close returns.
class TLinkInlet {
 public:
  using TTake = std::function<void(const std::string& bytes, const TFrame& frame)>;
  void Open(TTake take);
  void Close();
  void Deliver(const std::string& bytes, const TFrame& frame);

 private:
  std::mutex FMutex;
  TTake FTake;
};

// Frames held back by the line, handed on when their time has come on the
// device clock (untEcrClock.h): a test's clock lets them through at once and
// counts the wait as slept. One thread, started with the first frame.
class TDelayLine {
 public:
  TDelayLine() = default;
  // Forgets what waits; waits for a delivery under way.
  ~TDelayLine();
  TDelayLine(const TDelayLine&) = delete;
  TDelayLine& operator=(const TDelayLine&) = delete;

  void Post(int64_t delayMs, std::function<void()> deliver);
  // Forgets what waits; a delivery under way has ended when it returns.
  void Clear();

 private:
  void Run();

  std::mutex FMutex;
  std::condition_variable FCv;
  std::multimap<int64_t, std::function<void()>> FWaiting;  // due on the device clock
  bool FStop = false;
  std::thread FThread;  // started under FMutex
  // Held while a frame is handed on.
  std::mutex FDeliverMutex;
};

}  // namespace ecr
