// What the driver adds to one exchange with the register: PrintXReport through the loaded
// library against a bare libcurl POST of the same bytes to the same register, call by call in
// alternating order, each client on its own kept-alive connection.
#include <benchmark/benchmark.h>

#include "bench/bare_exchange.h"
#include "bench/checkout.h"
#include "bench/samples.h"

namespace bench {
namespace {

void BM_ExchangeOverhead(benchmark::State& state) {
  host::SessionOptions options;
  // Without a message box the X report's result is the register's verdict: no dialog is timed.
  options.withMessageBox = false;
  Checkout checkout(options);
  if (!checkout.printXReport()) {
    state.SkipWithError("the driver's X report failed against the fake register");
    return;
  }
  const fake::RecordedRequest driverRequest = checkout.till.lastRequest();
  BareExchange bare(checkout.till.ip(), driverRequest.target, driverRequest.body);
  if (!bare.post()) {
    state.SkipWithError("the bare POST failed against the fake register");
    return;
  }
  if (checkout.till.lastRequest().raw != driverRequest.raw) {
    state.SkipWithError("the bare request's bytes differ from the driver's");
    return;
  }
  checkout.till.clearRecord();

  Samples driverSamples;
  Samples bareSamples;
  bool driverFirst = true;
  bool allAnswered = true;
  const auto timeDriver = [&] {
    allAnswered = timed(driverSamples, [&] { return checkout.printXReport(); }) && allAnswered;
  };
  const auto timeBare = [&] {
    allAnswered = timed(bareSamples, [&] { return bare.post(); }) && allAnswered;
  };
  for (auto _ : state) {
    if (driverFirst) {
      timeDriver();
      timeBare();
    } else {
      timeBare();
      timeDriver();
    }
    driverFirst = !driverFirst;
    if (driverSamples.size() % 512 == 0) checkout.till.clearRecord();
  }
  if (!allAnswered) state.SkipWithError("an exchange failed during the run");

  const double driver = driverSamples.wallMedian();
  const double bareExchange = bareSamples.wallMedian();
  state.counters["driver_us"] = driver;
  state.counters["bare_us"] = bareExchange;
  state.counters["ratio"] = bareExchange > 0 ? driver / bareExchange : 0;
  const double driverCpu = driverSamples.cpuMedian();
  const double bareCpu = bareSamples.cpuMedian();
  state.counters["driver_cpu_us"] = driverCpu;
  state.counters["bare_cpu_us"] = bareCpu;
  state.counters["cpu_ratio"] = bareCpu > 0 ? driverCpu / bareCpu : 0;
}
BENCHMARK(BM_ExchangeOverhead)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

}  // namespace
}  // namespace bench
