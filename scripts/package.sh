#!/usr/bin/env bash
# Builds the driver for both editions of the platform (x86-64 and i386) and packs the add-in ZIP
# the platform installs: build/x64/package/Tavixfr_3_0.zip, holding MANIFEST.XML,
# libTavixfr64_3_0.so and libTavixfr32_3_0.so. Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

echo "=== i386: the 32-bit library"
cmake --preset i386 >/dev/null
cmake --build --preset i386 --target Tavixfr32_3_0

echo "=== x64: the 64-bit library and the package"
cmake --preset x64 -DTAVIX_OTHER_LIBRARY="$PWD/build/i386/lib/libTavixfr32_3_0.so" >/dev/null
cmake --build --preset x64 --target tavix_package

unzip -l build/x64/package/Tavixfr_3_0.zip
echo "The add-in package: $PWD/build/x64/package/Tavixfr_3_0.zip"
