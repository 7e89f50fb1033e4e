// A whole receipt, OpenCheck to CloseCheck, for 1, 10, 100 and 1000 item lines, the register
// answering at once. The four sizes take turns inside one loop, so the ratio of two of them
// compares times taken under the same load.
#include <benchmark/benchmark.h>

#include <array>
#include <string>

#include "bench/checkout.h"
#include "bench/samples.h"

namespace bench {
namespace {

constexpr std::array<size_t, 4> kLines{1, 10, 100, 1000};

void BM_ReceiptGrowth(benchmark::State& state) {
  Checkout checkout;
  // The first receipt also reads the shift number; the timed ones are all alike.
  bool allSold = checkout.sell(1) && checkout.sell(kLines.back());
  std::array<Samples, kLines.size()> receipts;
  size_t turn = 0;
  for (auto _ : state) {
    for (size_t k = 0; k < kLines.size(); ++k) {
      const size_t size = (turn + k) % kLines.size();
      allSold = timed(receipts[size], [&] { return checkout.sell(kLines[size]); }) && allSold;
    }
    ++turn;
    checkout.till.clearRecord();
  }
  if (!allSold) state.SkipWithError("a receipt was not accepted");

  for (size_t size = 0; size < kLines.size(); ++size) {
    const std::string lines = std::to_string(kLines[size]);
    state.counters["lines" + lines + "_us"] = receipts[size].wallMedian();
    state.counters["lines" + lines + "_cpu_us"] = receipts[size].cpuMedian();
  }
  const Samples& hundred = receipts[2];
  const Samples& thousand = receipts[3];
  state.counters["ratio_1000_100"] =
      hundred.wallMedian() > 0 ? thousand.wallMedian() / hundred.wallMedian() : 0;
  state.counters["cpu_ratio_1000_100"] =
      hundred.cpuMedian() > 0 ? thousand.cpuMedian() / hundred.cpuMedian() : 0;
}
BENCHMARK(BM_ReceiptGrowth)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace bench
