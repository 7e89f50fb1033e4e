// The cost of one item line: PrintFiscalString through CallAsFunc with a Cyrillic name that
// needs cleaning and cutting, and a marking code. Receipts of 100 lines, each opened untimed.
#include <benchmark/benchmark.h>

#include "bench/checkout.h"
#include "bench/samples.h"

namespace bench {
namespace {

constexpr size_t kLinesPerReceipt = 100;

void BM_ItemLine(benchmark::State& state) {
  Checkout checkout;
  Samples receipts;
  bool allTrue = true;
  for (auto _ : state) {
    allTrue = checkout.openCheck() && allTrue;
    allTrue = timed(receipts,
                    [&] {
                      bool lines = true;
                      for (size_t line = 0; line < kLinesPerReceipt; ++line)
                        lines = checkout.printItemLine() && lines;
                      return lines;
                    }) &&
              allTrue;
    state.SetIterationTime(receipts.wallMicros.back() / 1e6);
    if (receipts.size() % 256 == 0) checkout.till.clearRecord();
  }
  if (!allTrue) state.SkipWithError("a call answered false");
  state.counters["ns_per_line"] = receipts.wallMedian() * 1000 / kLinesPerReceipt;
  state.counters["cpu_ns_per_line"] = receipts.cpuMedian() * 1000 / kLinesPerReceipt;
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kLinesPerReceipt));
}
BENCHMARK(BM_ItemLine)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);

}  // namespace
}  // namespace bench
