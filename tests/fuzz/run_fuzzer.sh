#!/usr/bin/env bash
# Runs one fuzz target for a bounded time over its seed corpus and dictionary:
#   run_fuzzer.sh <program> <seconds> <build-dir>
# New inputs go to <build-dir>/corpus/<target>/, findings (crashes, broken
# properties, leaks, time-outs) to <build-dir>/findings/<target>-*. The exit
# status is libFuzzer's: 0 when nothing was found.
set -euo pipefail
program=$1
seconds=$2
build=$3
name=$(basename "$program")
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$build/corpus/$name" "$build/findings"
exec "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
  -dict="$here/dict/$name.dict" -artifact_prefix="$build/findings/$name-" -print_final_stats=1 \
  "$build/corpus/$name" "$here/corpus/$name"
