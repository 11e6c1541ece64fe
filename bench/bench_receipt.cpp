// The receipt page's totals over a million generated sales and closings,
// through its received-command handler, against the same totals worked out
// separately in integers; a double running sum of the same sales is shown
// beside them for the drift it would have had. Also the cost of one sale's
// amount alone.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "../tests/native/NetScriptDriver.h"
#include "untReceiptMonitor.h"

namespace {

struct TGenerated {
  std::vector<TScriptCommand> Commands;
  int64_t ExactTotal = 0;  // ten-thousandths, from integers only
  double DoubleTotal = 0;  // rubles, as a double product and sum would make it
  int Closings = 0;
};

// Quantities of 0.001 to 99.999 and prices up to 999.9999; every eighth
// command or so closes the receipt.
TGenerated Generate(int count) {
  TGenerated g;
  g.Commands.reserve(static_cast<size_t>(count));
  uint32_t seed = 20240601;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  int64_t receipt = 0;
  double receiptDouble = 0;
  for (int i = 0; i < count; ++i) {
    TScriptCommand c;
    if (next() % 8 == 0) {
      c.Code = 0x90;
      g.ExactTotal += receipt;
      g.DoubleTotal += receiptDouble;
      receipt = 0;
      receiptDouble = 0;
      ++g.Closings;
    } else {
      const int64_t thousandths = 1 + next() % 99999;
      const int64_t price = next() % 10000000;
      c.Quantity = static_cast<double>(thousandths) / 1000.0;
      c.Price = price;
      const int64_t product = thousandths * price;  // in ten-millionths
      int64_t sale = product / 1000;
      const int64_t rest = product % 1000;
      if (rest > 500 || (rest == 500 && sale % 2 != 0)) ++sale;
      receipt += sale;
      receiptDouble += c.Quantity * (static_cast<double>(price) / 10000.0);
    }
    g.Commands.push_back(c);
  }
  return g;
}

void BM_ReceiptTotals(benchmark::State& state) {
  const TGenerated g = Generate(static_cast<int>(state.range(0)));
  int64_t total = 0;
  for (auto _ : state) {
    TScriptDriver driver;
    TReceiptMonitor monitor;
    for (const auto& c : g.Commands) monitor.DriverCommand(driver, driver.Arrive(c));
    total = monitor.TotalSum;
    if (monitor.TotalSum != g.ExactTotal || monitor.ReceiptCount != g.Closings) {
      state.SkipWithError("the receipt totals differ from the exact sum");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.counters["receipts"] = g.Closings;
  state.counters["total_rub"] = static_cast<double>(total) / 10000.0;
  // How far a double product and sum would have drifted, in ten-thousandths.
  state.counters["double_drift"] = std::fabs(g.DoubleTotal * 10000.0 - static_cast<double>(g.ExactTotal));
  state.counters["exact"] = total == g.ExactTotal ? 1 : 0;
}
BENCHMARK(BM_ReceiptTotals)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_SaleAmount(benchmark::State& state) {
  const TGenerated g = Generate(4096);
  size_t i = 0;
  for (auto _ : state) {
    const TScriptCommand& c = g.Commands[i++ & 4095];
    benchmark::DoNotOptimize(SaleAmount(c.Quantity, c.Price));
  }
}
BENCHMARK(BM_SaleAmount);

}  // namespace

BENCHMARK_MAIN();
