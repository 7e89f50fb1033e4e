#!/usr/bin/env bash
# The driver's benchmarks (bench/): installs what they need, builds the bench preset (Release)
# and runs them, then prints a table of the figures beside the goals. Each figure is the median
# of TAVIX_BENCH_REPETITIONS runs (default 5). Extra arguments go to the benchmark binary, e.g.
#   bash scripts/bench.sh --benchmark_filter=BM_ItemLine
# Exits with 1 when a figure misses its goal.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake --preset bench >/dev/null
cmake --build --preset bench --target tavix_bench

# Every other process on the machine moves the figures; say how busy it was.
echo "=== $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; load:$(uptime | sed 's/.*load average://')"
exec build/bench/bench/tavix_bench \
  --benchmark_repetitions="${TAVIX_BENCH_REPETITIONS:-5}" \
  --benchmark_report_aggregates_only=true "$@"
