#!/usr/bin/env bash
# Every test of the driver: the x86-64 and i386 libraries, and the sanitizer build (ASan +
# UBSan), then a short run of each fuzz target. Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=${TAVIX_JOBS:-2}
status=0
for preset in x64 i386 asan; do
  echo "=== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "=== $preset: tests"
  if ! ctest --preset "$preset" -j "$jobs" --timeout 300; then
    status=1
  fi
done

if [ -x scripts/fuzz.sh ] && [ -z "${TAVIX_SKIP_FUZZ:-}" ]; then
  echo "=== fuzz: a short run of each target"
  bash scripts/fuzz.sh "${TAVIX_FUZZ_SECONDS:-30}" || status=1
fi

exit "$status"
