#!/usr/bin/env bash
# Builds the fuzz targets of the portable parsers (preset "fuzz": clang with
# libFuzzer, ASan and UBSan) and runs each of them for a while, four at a
# time, over its seed corpus and dictionary (tests/fuzz/).
#   scripts/fuzz.sh [seconds per target, default 600] [target ...]
# The corpus grows in build/fuzz/corpus/<target>/ and is kept for the next
# run (and for the bounded runs of scripts/test.sh); findings land in
# build/fuzz/findings/, each run's output in build/fuzz/logs/<target>.log.
# Prints one line per target: executions, coverage, corpus, and the result.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

seconds=${1:-600}
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(settings_import_fuzzer xml_reader_fuzzer version_fuzzer command_line_fuzzer
           options_document_fuzzer utf_conversion_fuzzer)
fi
parallel=4

bash scripts/setup.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 4 >/dev/null

build="$root/build/fuzz"
mkdir -p "$build/logs"

run_one() {
  local target=$1
  local status=0
  bash tests/fuzz/run_fuzzer.sh "$build/bin/$target" "$seconds" "$build" >"$build/logs/$target.log" 2>&1 ||
    status=$?
  echo "$status" >"$build/logs/$target.status"
}

pids=()
for target in "${targets[@]}"; do
  while (($(jobs -rp | wc -l) >= parallel)); do
    wait -n || true
  done
  echo "fuzz: $target for ${seconds}s"
  run_one "$target" &
  pids+=($!)
done
for pid in "${pids[@]}"; do
  wait "$pid" || true
done

failed=0
printf '%-26s %12s %8s %8s %10s  %s\n' target executions cov ft corpus result
for target in "${targets[@]}"; do
  log="$build/logs/$target.log"
  status=$(cat "$build/logs/$target.status")
  execs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | tail -1 | awk '{print $2}')
  last=$(grep -E '^#[0-9]+' "$log" | tail -1)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  corpus=$(sed -n 's/.* corp: \([0-9]*\/[0-9A-Za-z]*\).*/\1/p' <<<"$last")
  if [[ $status == 0 ]]; then
    result="no finding"
  else
    result="FINDING (exit $status), see $log and build/fuzz/findings/"
    failed=1
  fi
  printf '%-26s %12s %8s %8s %10s  %s\n' "$target" "${execs:-?}" "${cov:-?}" "${ft:-?}" "${corpus:-?}" "$result"
done
exit $failed
