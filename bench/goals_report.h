// Google Benchmark's console output, and at the end the figures of the run beside the driver's
// performance goals, one row each.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

namespace bench {

class GoalsReport : public benchmark::ConsoleReporter {
 public:
  explicit GoalsReport(OutputOptions options) : benchmark::ConsoleReporter(options) {}

  void ReportRuns(const std::vector<Run>& runs) override;

  // Prints the table; answers how many goals the figures miss (a benchmark not run misses none).
  int printGoals(std::ostream& out) const;

 private:
  struct Figures {
    std::map<std::string, double> counters;
    bool fromMedian = false;
    std::string error;
  };
  // A figure of a benchmark that ran; false when it did not or has no such counter.
  bool figure(const std::string& benchmark, const std::string& counter, double& value) const;

  std::map<std::string, Figures> figures_;
};

}  // namespace bench
