#!/usr/bin/env bash
# The soak: 10,000 receipts on one component against the fake register, checked by a leak
# checker. Prints the receipts, the leaks, the live platform blocks and the resident size at the
# start and the end.
#
#   scripts/soak.sh [valgrind|lsan] [receipts]
#
# valgrind (the default): the x86-64 build under memcheck, every leak kind the driver can cause
# counted, then a plain run of the same build for the resident size, which valgrind's own heap
# would blur. lsan: the sanitizer build, LeakSanitizer checking at exit.
set -euo pipefail
cd "$(dirname "$0")/.."

checker=${1:-valgrind}
receipts=${2:-10000}
case "$checker" in
  valgrind) preset=x64 ;;
  lsan) preset=asan ;;
  *)
    echo "usage: scripts/soak.sh [valgrind|lsan] [receipts]" >&2
    exit 2
    ;;
esac

# TAVIX_SOAK_BUILD names a build directory already configured (for the sanitizers: with
# TAVIX_SANITIZE=ON) instead of the preset's.
if [ -n "${TAVIX_SOAK_BUILD:-}" ]; then
  build=$TAVIX_SOAK_BUILD
  echo "=== $build: build the soak"
  cmake --build "$build" -j "${TAVIX_JOBS:-2}" --target tavix_soak
else
  build=build/$preset
  echo "=== $preset: configure and build the soak"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target tavix_soak
fi
library=$(find "$build/lib" -maxdepth 1 -name 'libTavixfr*_3_0.so' | head -n 1)
soak=$build/tests/soak/tavix_soak
export TAVIX_LIBRARY=$library

status=0
log=$(mktemp)
trap 'rm -f "$log"' EXIT

if [ "$checker" = valgrind ]; then
  command -v valgrind >/dev/null || { echo "valgrind is not installed (scripts/install-deps.sh)" >&2; exit 2; }
  echo "=== plain run: $receipts receipts"
  "$soak" "$receipts" || status=1
  echo "=== valgrind memcheck: $receipts receipts (this takes a while)"
  # What libcurl, OpenSSL and the C++ runtime keep until the process ends is "still reachable"
  # and not counted; a block nobody points to any more is.
  if ! valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite,indirect,possible \
      --errors-for-leak-kinds=definite,indirect,possible --error-exitcode=99 \
      --log-file="$log" "$soak" "$receipts"; then
    status=1
  fi
  echo "--- valgrind"
  grep -E "ERROR SUMMARY|definitely lost|indirectly lost|possibly lost|still reachable|All heap blocks" \
    "$log" | sed 's/^==[0-9]*== *//'
  grep -q "ERROR SUMMARY: 0 errors" "$log" || { status=1; grep -A12 -E "are definitely lost|Invalid|uninitialised" "$log" | head -80; }
else
  echo "=== LeakSanitizer: $receipts receipts"
  if ! ASAN_OPTIONS=detect_leaks=1 "$soak" "$receipts" 2>"$log"; then
    status=1
  fi
  cat "$log"
  if grep -q "LeakSanitizer" "$log"; then
    echo "leaks: reported above"
    status=1
  else
    echo "leaks: none reported by LeakSanitizer"
  fi
fi

[ "$status" = 0 ] && echo "=== soak ($checker): passed" || echo "=== soak ($checker): FAILED"
exit "$status"
