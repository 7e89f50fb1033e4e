// The driver's benchmarks; after Google Benchmark's own output, a table of the figures beside
// the goals. Exits with 1 when a figure misses its goal.
#include <unistd.h>

#include <iostream>

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include "bench/goals_report.h"

int main(int argc, char** argv) {
  // The bare client and the driver share the process's libcurl; its global state stays up
  // for the whole run, whatever the driver's components do with theirs.
  curl_global_init(CURL_GLOBAL_DEFAULT);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;

  bench::GoalsReport report(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                  : benchmark::ConsoleReporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&report);
  const int missed = report.printGoals(std::cout);

  benchmark::Shutdown();
  curl_global_cleanup();
  return missed == 0 ? 0 : 1;
}
