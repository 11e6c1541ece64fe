#include "untConnStats.h"

#include <algorithm>
#include <cmath>

#include "untFloat.h"
#include "untText.h"

void TConnectionStats::Reset() { *this = TConnectionStats(); }

uint64_t TConnectionStats::BucketTop(int bucket) {
  if (bucket < 64) return static_cast<uint64_t>(bucket);
  const int e = (bucket - 64) / 32 + 6;
  const uint64_t step = uint64_t{1} << (e - 5);
  return (32 + static_cast<uint64_t>((bucket - 64) % 32)) * step + (step - 1);
}

uint64_t TConnectionStats::Percentile(double percent) const {
  if (FCount == 0) return 0;
  const auto rank = std::max<uint64_t>(1, static_cast<uint64_t>(std::ceil(percent / 100.0 * static_cast<double>(FCount))));
  uint64_t seen = 0;
  for (int b = 0; b < kBuckets; ++b) {
    seen += FBuckets[static_cast<size_t>(b)];
    if (seen >= rank) return std::clamp(BucketTop(b), Min(), FMax);
  }
  return FMax;
}

void TConnectionStats::AddFailure(int32_t result) {
  for (auto& [code, count] : FFailures)
    if (code == result) {
      ++count;
      return;
    }
  if (FFailures.size() < kMaxCodes) FFailures.emplace_back(result, 1);
  else ++FOtherFailures;
}

namespace {

std::wstring Microseconds(double ticks, uint64_t frequency) {
  return FixedText(frequency ? ticks * 1e6 / static_cast<double>(frequency) : 0.0, 1);
}

}  // namespace

TConnectionStatTexts ConnectionStatTexts(const TConnectionStats& stats, uint64_t frequency) {
  if (stats.Count() == 0) return {L"0", L"0", L"0", L"0", L"0", L"нет"};
  auto us = [&](uint64_t ticks) { return Microseconds(static_cast<double>(ticks), frequency); };
  TConnectionStatTexts t{us(stats.Min()),
                         Microseconds(stats.Mean(), frequency),
                         us(stats.Max()),
                         us(stats.Percentile(95)),
                         us(stats.Percentile(99)),
                         {}};
  for (const auto& [code, count] : stats.Failures()) {
    if (!t.Failures.empty()) t.Failures += L"; ";
    t.Failures += Format(L"код %d: %lld", code, static_cast<long long>(count));
  }
  if (stats.OtherFailures() != 0) {
    if (!t.Failures.empty()) t.Failures += L"; ";
    t.Failures += Format(L"другие коды: %lld", static_cast<long long>(stats.OtherFailures()));
  }
  if (t.Failures.empty()) t.Failures = L"нет";
  return t;
}
