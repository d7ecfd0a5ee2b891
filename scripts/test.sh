#!/usr/bin/env bash
# Builds everything and runs every test: the portable code natively under
# ASan and UBSan, the Windows build under Wine (in a fresh prefix), then each
# fuzz target of the portable parsers for a bounded time.
# Extra arguments go to ctest for the Wine run (e.g. -R logger).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh

jobs=$(nproc)
cmake --preset native-sanitize >/dev/null
cmake --build --preset native-sanitize -j "$jobs"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"

echo "== portable code, natively under the sanitizers"
(cd build/native && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest --output-on-failure -j "$jobs")

echo "== Windows programs under Wine"
status=0
bash scripts/ctest-wine.sh build/windows -j "$jobs" "$@" || status=$?

# Each parser's fuzz target for a bounded time (scripts/fuzz.sh runs them longer).
echo "== fuzz targets of the parsers, a bounded run each"
(cd build/fuzz && ctest --output-on-failure -j "$jobs") || status=$?
exit $status
