#pragma once
// What the connection test's averages hide: the fastest and slowest command,
// the times that 95 and 99 of a hundred commands stay within, and the failed
// commands counted by their result code. A flaky link shows as spikes and as
// one kind of failure, not in the mean.
//
// A run may last hours at millions of commands a second, so nothing here
// grows with the count: times go into a histogram of fixed size whose
// buckets are at most 1/32 of their value wide (exact below 64 counter
// ticks), and at most kMaxCodes codes are told apart.
#include <array>
#include <bit>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class TConnectionStats {
 public:
  static constexpr int kMaxCodes = 16;

  void Reset();
  // One command: its time in ticks of the high-resolution counter and its
  // result code (0 for success).
  void Add(uint64_t ticks, int32_t result) {
    ++FBuckets[BucketOf(ticks)];
    ++FCount;
    FTotal += ticks;
    if (ticks < FMin) FMin = ticks;
    if (ticks > FMax) FMax = ticks;
    if (result != 0) AddFailure(result);
  }

  uint64_t Count() const { return FCount; }
  uint64_t Min() const { return FCount ? FMin : 0; }
  uint64_t Max() const { return FMax; }
  double Mean() const { return FCount ? static_cast<double>(FTotal) / static_cast<double>(FCount) : 0.0; }
  // The time that `percent` of the commands took at most, to within the
  // bucket's width (never below Min or above Max); 0 before any command.
  uint64_t Percentile(double percent) const;
  // Failed commands by result code, in the order the codes first failed.
  const std::vector<std::pair<int32_t, uint64_t>>& Failures() const { return FFailures; }
  // Failures with codes beyond the first kMaxCodes.
  uint64_t OtherFailures() const { return FOtherFailures; }

  static constexpr int kBuckets = 64 + 58 * 32;
  static int BucketOf(uint64_t ticks) {
    if (ticks < 64) return static_cast<int>(ticks);
    const int e = static_cast<int>(std::bit_width(ticks)) - 1;
    return 64 + (e - 6) * 32 + static_cast<int>((ticks >> (e - 5)) & 31);
  }
  static uint64_t BucketTop(int bucket);

 private:
  void AddFailure(int32_t result);

  std::array<uint64_t, kBuckets> FBuckets{};
  uint64_t FCount = 0, FTotal = 0, FMin = UINT64_MAX, FMax = 0;
  std::vector<std::pair<int32_t, uint64_t>> FFailures;
  uint64_t FOtherFailures = 0;
};

// The texts of the added labels, times in microseconds with one decimal.
struct TConnectionStatTexts {
  std::wstring Fastest, Average, Slowest, Percentile95, Percentile99;
  std::wstring Failures;  // "код 3: 12; код 5: 1", or "нет"
};
// frequency: ticks of the counter a second.
TConnectionStatTexts ConnectionStatTexts(const TConnectionStats& stats, uint64_t frequency);
