#!/usr/bin/env bash
# Formats every C++ source with the committed .clang-format; `--check` only lists what differs.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
  clang-format --dry-run --Werror "${sources[@]}"
else
  clang-format -i "${sources[@]}"
fi
