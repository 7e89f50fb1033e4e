// Timing of single calls inside a benchmark loop. The machine is shared, so a figure is the
// median of its samples: a burst of someone else's compilation moves a mean, not a median.
// Each sample is taken twice: on the wall clock (what the cashier waits for) and on the
// process's CPU clock, which counts the work of both threads (the driver's and the fake
// register's, kernel time included) and not the time spent waiting for a core.
#pragma once

#include <time.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace bench {

inline double median(std::vector<double> samples) {
  if (samples.empty()) return 0;
  const size_t middle = samples.size() / 2;
  std::nth_element(samples.begin(), samples.begin() + middle, samples.end());
  if (samples.size() % 2 == 1) return samples[middle];
  const double upper = samples[middle];
  const double lower = *std::max_element(samples.begin(), samples.begin() + middle);
  return (lower + upper) / 2;
}

inline double processCpuMicros() {
  timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

struct Samples {
  std::vector<double> wallMicros;
  std::vector<double> cpuMicros;

  double wallMedian() const { return median(wallMicros); }
  double cpuMedian() const { return median(cpuMicros); }
  size_t size() const { return wallMicros.size(); }
};

// Times `work` once into `samples` and passes on what it answered.
template <typename Work>
bool timed(Samples& samples, Work work) {
  const double cpuStart = processCpuMicros();
  const auto wallStart = std::chrono::steady_clock::now();
  const bool answer = work();
  const auto wallEnd = std::chrono::steady_clock::now();
  const double cpuEnd = processCpuMicros();
  samples.wallMicros.push_back(
      std::chrono::duration<double, std::micro>(wallEnd - wallStart).count());
  samples.cpuMicros.push_back(cpuEnd - cpuStart);
  return answer;
}

}  // namespace bench
