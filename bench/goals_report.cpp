#include "bench/goals_report.h"

#include <cstdio>
#include <functional>

namespace bench {

void GoalsReport::ReportRuns(const std::vector<Run>& runs) {
  benchmark::ConsoleReporter::ReportRuns(runs);
  for (const Run& run : runs) {
    Figures& figures = figures_[run.run_name.function_name];
    if (run.error_occurred) {
      figures.error = run.error_message;
      continue;
    }
    // With repetitions the median of the repetitions is the figure; without, the one run.
    const bool isMedian = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
    const bool isSingle = run.run_type == Run::RT_Iteration && !figures.fromMedian;
    if (!isMedian && !isSingle) continue;
    figures.fromMedian = figures.fromMedian || isMedian;
    for (const auto& [name, counter] : run.counters) figures.counters[name] = counter.value;
  }
}

bool GoalsReport::figure(const std::string& benchmark, const std::string& counter,
                         double& value) const {
  const auto figures = figures_.find(benchmark);
  if (figures == figures_.end() || !figures->second.error.empty()) return false;
  const auto found = figures->second.counters.find(counter);
  if (found == figures->second.counters.end()) return false;
  value = found->second;
  return true;
}

namespace {

std::string format(const char* pattern, double a, double b = 0, double c = 0, double d = 0) {
  char text[160];
  std::snprintf(text, sizeof text, pattern, a, b, c, d);
  return text;
}

}  // namespace

int GoalsReport::printGoals(std::ostream& out) const {
  struct Row {
    const char* what;
    const char* benchmark;
    const char* goalText;
    // The measured text and whether the goal is met, from the figures; false when not run.
    std::function<bool(const GoalsReport&, std::string&, bool&)> judge;
  };
  const std::vector<Row> rows = {
      {"1 exchange: driver / bare libcurl", "BM_ExchangeOverhead", "<= 1.05",
       [](const GoalsReport& r, std::string& text, bool& met) {
         double ratio, driver, bare, cpuRatio;
         if (!r.figure("BM_ExchangeOverhead", "ratio", ratio) ||
             !r.figure("BM_ExchangeOverhead", "driver_us", driver) ||
             !r.figure("BM_ExchangeOverhead", "bare_us", bare) ||
             !r.figure("BM_ExchangeOverhead", "cpu_ratio", cpuRatio))
           return false;
         text = format("%.3f (%.1f us / %.1f us); CPU %.3f", ratio, driver, bare, cpuRatio);
         met = ratio <= 1.05;
         return true;
       }},
      {"2 one PrintFiscalString", "BM_ItemLine", "<= 2 us",
       [](const GoalsReport& r, std::string& text, bool& met) {
         double nanos, cpuNanos;
         if (!r.figure("BM_ItemLine", "ns_per_line", nanos) ||
             !r.figure("BM_ItemLine", "cpu_ns_per_line", cpuNanos))
           return false;
         text = format("%.2f us; CPU %.2f us", nanos / 1000, cpuNanos / 1000);
         met = nanos <= 2000;
         return true;
       }},
      {"3 receipt growth t(1000)/t(100)", "BM_ReceiptGrowth", "<= 11",
       [](const GoalsReport& r, std::string& text, bool& met) {
         double ratio, cpuRatio, t1, t10, t100, t1000;
         if (!r.figure("BM_ReceiptGrowth", "ratio_1000_100", ratio) ||
             !r.figure("BM_ReceiptGrowth", "cpu_ratio_1000_100", cpuRatio) ||
             !r.figure("BM_ReceiptGrowth", "lines1_us", t1) ||
             !r.figure("BM_ReceiptGrowth", "lines10_us", t10) ||
             !r.figure("BM_ReceiptGrowth", "lines100_us", t100) ||
             !r.figure("BM_ReceiptGrowth", "lines1000_us", t1000))
           return false;
         text = format("%.2f (1: %.0f, 10: %.0f, 100: %.0f, ", ratio, t1, t10, t100) +
                format("1000: %.0f us); CPU %.2f", t1000, cpuRatio);
         met = ratio <= 11;
         return true;
       }},
      {"4 connections for 100 keyed requests", "BM_KeepAliveConnections", "1",
       [](const GoalsReport& r, std::string& text, bool& met) {
         double xReports, deviceTests, receipts;
         if (!r.figure("BM_KeepAliveConnections", "xreport_conns", xReports) ||
             !r.figure("BM_KeepAliveConnections", "devicetest_conns", deviceTests) ||
             !r.figure("BM_KeepAliveConnections", "receipt_conns", receipts))
           return false;
         text = format("X report %.0f, DeviceTest %.0f (100 sales: %.0f, one each)", xReports,
                       deviceTests, receipts);
         met = xReports == 1 && deviceTests == 1;
         return true;
       }},
      {"5 memory over 10,000 receipts", "BM_MemoryOver10000Receipts", "< 1024 KiB, 0 blocks",
       [](const GoalsReport& r, std::string& text, bool& met) {
         double size, resident, peak, live, afterDestroy;
         if (!r.figure("BM_MemoryOver10000Receipts", "rss_kib", size) ||
             !r.figure("BM_MemoryOver10000Receipts", "rss_growth_kib", resident) ||
             !r.figure("BM_MemoryOver10000Receipts", "peak_growth_kib", peak) ||
             !r.figure("BM_MemoryOver10000Receipts", "live_blocks", live) ||
             !r.figure("BM_MemoryOver10000Receipts", "live_after_destroy", afterDestroy))
           return false;
         text = format("RSS %.1f MiB %+.0f KiB, peak %+.0f KiB, ", size / 1024, resident, peak) +
                format("blocks %.0f (%.0f after destroy)", live, afterDestroy);
         met = resident < 1024 && peak < 1024 && live == 0 && afterDestroy == 0;
         return true;
       }},
  };

  int missed = 0;
  char line[256];
  std::snprintf(line, sizeof line, "\n%-38s %-62s %-22s %s\n", "figure", "measured", "goal", "");
  out << line;
  for (const Row& row : rows) {
    std::string measured;
    bool met = false;
    const char* verdict;
    if (!row.judge(*this, measured, met)) {
      const auto figures = figures_.find(row.benchmark);
      measured = figures == figures_.end() ? "not run" : "failed: " + figures->second.error;
      verdict = figures == figures_.end() ? "" : "MISSED";
      if (figures != figures_.end()) ++missed;
    } else {
      verdict = met ? "met" : "MISSED";
      if (!met) ++missed;
    }
    std::snprintf(line, sizeof line, "%-38s %-62s %-22s %s\n", row.what, measured.c_str(),
                  row.goalText, verdict);
    out << line;
  }
  return missed;
}

}  // namespace bench
