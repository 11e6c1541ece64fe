#include "untEcrLinkFaults.h"

#include "untEcrClock.h"
#include "untText.h"

namespace ecr {

namespace {

// Where the frame's destination and checksum stand (untEcrFrame.h).
constexpr size_t kDstAt = 3;

}  // namespace

const wchar_t* BusFaultKeyword(TBusFault fault) {
  switch (fault) {
    case TBusFault::None: return L"";
    case TBusFault::Drop: return L"drop";
    case TBusFault::Duplicate: return L"duplicate";
    case TBusFault::Delay: return L"delay";
    case TBusFault::Corrupt: return L"corrupt";
    case TBusFault::Readdress: return L"readdress";
    case TBusFault::Truncate: return L"truncate";
  }
  return L"";
}

bool ParseBusFault(std::wstring_view text, TBusFault& fault) {
  const std::wstring_view word = TrimBlanks(text);
  if (word.empty() || SameText(word, L"none")) {
    fault = TBusFault::None;
    return true;
  }
  for (TBusFault f : kBusFaults)
    if (f != TBusFault::None && SameText(word, BusFaultKeyword(f))) {
      fault = f;
      return true;
    }
  return false;
}

std::string DamagedFrame(TBusFault fault, const std::string& bytes) {
  std::string out = bytes;
  switch (fault) {
    case TBusFault::Corrupt:
      if (!out.empty()) out[out.size() / 2] = static_cast<char>(~static_cast<uint8_t>(out[out.size() / 2]));
      break;
    case TBusFault::Readdress:
      // The checksum is the XOR of the bytes it covers, the address among them.
      if (out.size() >= kFrameOverhead) {
        const auto old = static_cast<uint8_t>(out[kDstAt]);
        const auto now = static_cast<uint8_t>(old + 1);
        out[kDstAt] = static_cast<char>(now);
        out.back() = static_cast<char>(static_cast<uint8_t>(out.back()) ^ old ^ now);
      }
      break;
    case TBusFault::Truncate: out.resize(out.size() / 2); break;
    default: break;
  }
  return out;
}

// ---------------------------------------------------------------- TLinkInlet

void TLinkInlet::Open(TTake take) {
  std::lock_guard lock(FMutex);
  FTake = std::move(take);
}

void TLinkInlet::Close() {
  std::lock_guard lock(FMutex);
  FTake = nullptr;
}

void TLinkInlet::Deliver(const std::string& bytes, const TFrame& frame) {
  std::lock_guard lock(FMutex);
  if (FTake) FTake(bytes, frame);
}

// ---------------------------------------------------------------- TDelayLine

TDelayLine::~TDelayLine() {
  {
    std::lock_guard lock(FMutex);
    FStop = true;
    FWaiting.clear();
  }
  FCv.notify_all();
  if (FThread.joinable()) FThread.join();
}

void TDelayLine::Post(int64_t delayMs, std::function<void()> deliver) {
  const int64_t due = EcrClock()->NowMs() + (delayMs < 0 ? 0 : delayMs);
  {
    std::lock_guard lock(FMutex);
    if (FStop) return;
    FWaiting.emplace(due, std::move(deliver));
    if (!FThread.joinable()) FThread = std::thread([this] { Run(); });
  }
  FCv.notify_all();
}

void TDelayLine::Clear() {
  {
    std::lock_guard lock(FMutex);
    FWaiting.clear();
  }
  FCv.notify_all();
  std::lock_guard wait(FDeliverMutex);
}

void TDelayLine::Run() {
  std::unique_lock lock(FMutex);
  for (;;) {
    FCv.wait(lock, [this] { return FStop || !FWaiting.empty(); });
    if (FStop) return;
    auto clock = EcrClock();
    const int64_t wait = FWaiting.begin()->first - clock->NowMs();
    if (wait > 0) {
      // The real clock waits here, woken early by a new frame, a clear or the
      // end; a test's clock only moves its hands. Either way the queue is
      // looked at afresh.
      if (clock == SystemClock()) {
        FCv.wait_for(lock, std::chrono::milliseconds(wait));
      } else {
        lock.unlock();
        clock->Sleep(wait);
        lock.lock();
      }
      continue;
    }
    std::function<void()> deliver = std::move(FWaiting.begin()->second);
    FWaiting.erase(FWaiting.begin());
    std::unique_lock delivering(FDeliverMutex);
    lock.unlock();
    deliver();
    delivering.unlock();
    lock.lock();
  }
}

}  // namespace ecr
