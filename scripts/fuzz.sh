#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan + UBSan) and runs each for a while. Each target's
# corpus grows in build/fuzz/corpus/<target>, starting from the seeds in fuzz/corpus/<target>;
# what a target finds is kept in build/fuzz/artifacts/<target>/, its log in build/fuzz/logs/.
#
#   scripts/fuzz.sh          30 s per target
#   scripts/fuzz.sh 600      a long run: 10 min per target
#
# No target needs the network; where this machine allows it, they run in a network namespace of
# their own, which has nothing but a loopback that is down.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
targets=(fuzz_reason_phrase fuzz_utf8 fuzz_json_member fuzz_key_parse fuzz_method_calls)
build=build/fuzz

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target tavix_fuzz

isolate=()
if unshare --net --map-root-user true 2>/dev/null; then
  isolate=(unshare --net --map-root-user)
fi

export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

count_files() { find "$1" -maxdepth 1 -type f 2>/dev/null | wc -l; }

status=0
rows=()
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  artifacts=$build/artifacts/$target
  log=$build/logs/$target.log
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"

  options=(-max_total_time="$seconds" -print_final_stats=1 -timeout=25
           -artifact_prefix="$artifacts/")
  if [ -f "fuzz/$target.dict" ]; then
    options+=(-dict="fuzz/$target.dict")
  fi

  found_before=$(count_files "$artifacts")
  echo "=== $target: ${seconds} s"
  if "${isolate[@]}" "$build/fuzz/$target" "${options[@]}" "$corpus" "fuzz/corpus/$target" \
      >"$log" 2>&1; then
    crashes=0
  else
    crashes=$(( $(count_files "$artifacts") - found_before ))
    [ "$crashes" -gt 0 ] || crashes=1
    status=1
    echo "$target found a fault; the report (full log: $log):" >&2
    grep -E -A40 '^==[0-9]+==|^SUMMARY|tripwire|^[a-z].* \(method' "$log" | head -60 >&2 || tail -40 "$log" >&2
  fi

  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  execs=${execs:-0}
  files=$(count_files "$corpus")
  kilobytes=$(find "$corpus" -maxdepth 1 -type f -printf '%s\n' | awk '{s += $1} END {print int((s + 1023) / 1024)}')
  rows+=("$(printf '%-20s %12s %10s %14s %12s %8s' "$target" "$execs" $(( execs / seconds )) \
    "$files" "$kilobytes" "$crashes")")
done

echo
printf '%-20s %12s %10s %14s %12s %8s\n' target execs execs/s "corpus files" "corpus KB" crashes
printf '%s\n' "${rows[@]}"
exit "$status"
