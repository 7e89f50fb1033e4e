// Memory over a long day: 10,000 receipts of 5 lines on one component. The process's resident
// size and its peak must stay where they were after a warm-up, and no block of the platform's
// memory may stay live once the platform has freed what it was handed.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "bench/checkout.h"
#include "bench/process_memory.h"

namespace bench {
namespace {

constexpr size_t kReceipts = 10000;
constexpr size_t kWarmUpReceipts = 200;
constexpr size_t kLinesPerReceipt = 5;

void BM_MemoryOver10000Receipts(benchmark::State& state) {
  bool allSold = true;
  double residentEnd = 0;
  double residentGrowth = 0;
  double peakGrowth = 0;
  double peakWasReset = 0;
  double mostLiveBlocks = 0;
  double liveAfterDestroy = 0;
  double badFrees = 0;
  for (auto _ : state) {
    Checkout checkout;
    // The allocator's arenas, libcurl's connection cache and the fake register's buffers reach
    // their working size first.
    for (size_t i = 0; i < kWarmUpReceipts; ++i) {
      allSold = checkout.sell(kLinesPerReceipt) && allSold;
      checkout.till.clearRecord();
    }
    peakWasReset = resetPeakResident() ? 1 : 0;
    const double startKiB = static_cast<double>(residentKiB());
    size_t live = 0;
    for (size_t i = 0; i < kReceipts; ++i) {
      allSold = checkout.sell(kLinesPerReceipt) && allSold;
      // The fake register keeps every request for the tests; here it would be the growth.
      checkout.till.clearRecord();
      live = std::max(live, checkout.session.memory.liveBlocks());
    }
    residentEnd = static_cast<double>(residentKiB());
    residentGrowth = residentEnd - startKiB;
    peakGrowth = static_cast<double>(peakResidentKiB()) - startKiB;
    mostLiveBlocks = static_cast<double>(live);
    checkout.session.destroy();
    liveAfterDestroy = static_cast<double>(checkout.session.memory.liveBlocks());
    badFrees = static_cast<double>(checkout.session.memory.badFrees());
  }
  if (!allSold) state.SkipWithError("a receipt was not accepted");
  state.counters["rss_kib"] = residentEnd;
  state.counters["rss_growth_kib"] = residentGrowth;
  state.counters["peak_growth_kib"] = peakGrowth;
  state.counters["peak_reset"] = peakWasReset;
  state.counters["live_blocks"] = mostLiveBlocks;
  state.counters["live_after_destroy"] = liveAfterDestroy;
  state.counters["bad_frees"] = badFrees;
}
BENCHMARK(BM_MemoryOver10000Receipts)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace bench
