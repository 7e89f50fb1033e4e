// How many TCP connections the register accepts for 100 requests. Keyed requests (the X report,
// DeviceTest) share one kept-alive connection. A sale goes on a fresh connection of its own on
// purpose: libcurl silently resends a request when a kept connection breaks before the reply,
// and a sale resent is a sale registered twice. The sales' count is shown, not held to a goal.
#include <benchmark/benchmark.h>

#include "bench/checkout.h"

namespace bench {
namespace {

constexpr size_t kRequests = 100;

template <typename Request>
double connectionsFor(Checkout& checkout, Request request, bool& allTrue) {
  const size_t before = checkout.till.connectionsAccepted();
  for (size_t i = 0; i < kRequests; ++i) allTrue = request(checkout) && allTrue;
  return static_cast<double>(checkout.till.connectionsAccepted() - before);
}

void BM_KeepAliveConnections(benchmark::State& state) {
  host::SessionOptions options;
  options.withMessageBox = false;
  bool allTrue = true;
  double xReports = 0;
  double deviceTests = 0;
  double receipts = 0;
  for (auto _ : state) {
    Checkout reporting(options);
    xReports = connectionsFor(
        reporting, [](Checkout& c) { return c.printXReport(); }, allTrue);
    Checkout testing(options);
    deviceTests = connectionsFor(
        testing, [](Checkout& c) { return c.deviceTest(); }, allTrue);
    Checkout selling(options);
    receipts = connectionsFor(
        selling, [](Checkout& c) { return c.sell(1); }, allTrue);
  }
  if (!allTrue) state.SkipWithError("a request was not answered 200");
  state.counters["xreport_conns"] = xReports;
  state.counters["devicetest_conns"] = deviceTests;
  state.counters["receipt_conns"] = receipts;
}
BENCHMARK(BM_KeepAliveConnections)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace bench
