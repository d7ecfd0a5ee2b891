#!/usr/bin/env bash
# Runs the Wine stage of the tests again and again, to find tests that fail
# only now and then:
#   scripts/soak.sh [runs] [--busy]
# Builds once, then runs every Windows test program under Wine <runs> times
# (default 10), each time in a fresh prefix, as the test command does. With
# --busy every core is kept busy by a CPU hog while the tests run. Prints a
# line per run and, at the end, each failed test with the number of runs it
# failed in. Each run's output is kept in build/soak/run-<n>.log. Exits
# non-zero when any test failed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

runs=10
busy=0
for arg in "$@"; do
  case "$arg" in
    --busy) busy=1 ;;
    ''|*[!0-9]*) echo "usage: scripts/soak.sh [runs] [--busy]" >&2; exit 2 ;;
    *) runs=$arg ;;
  esac
done

bash scripts/setup.sh
jobs=$(nproc)
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs" >/dev/null

out_dir="$root/build/soak"
rm -rf "$out_dir"
mkdir -p "$out_dir"
failed_list="$root/build/windows/Testing/Temporary/LastTestsFailed.log"

hogs=()
stop_hogs() {
  local pid
  for pid in "${hogs[@]:-}"; do [ -n "$pid" ] && kill "$pid" 2>/dev/null || true; done
  for pid in "${hogs[@]:-}"; do [ -n "$pid" ] && wait "$pid" 2>/dev/null || true; done
  hogs=()
}
trap stop_hogs EXIT
if [ "$busy" -eq 1 ]; then
  for _ in $(seq "$jobs"); do
    (while :; do :; done) &
    hogs+=($!)
  done
fi

declare -A failures=()
bad_runs=0
for n in $(seq "$runs"); do
  start=$(date +%s)
  rm -f "$failed_list"
  status=0
  bash scripts/ctest-wine.sh build/windows -j "$jobs" >"$out_dir/run-$n.log" 2>&1 || status=$?
  seconds=$(( $(date +%s) - start ))
  names=""
  if [ -f "$failed_list" ]; then
    while IFS=: read -r _ name; do
      [ -n "$name" ] || continue
      failures[$name]=$(( ${failures[$name]:-0} + 1 ))
      names="$names $name"
    done <"$failed_list"
  fi
  summary=$(grep -E '^[0-9]+% tests passed' "$out_dir/run-$n.log" | tail -n 1 || true)
  if [ "$status" -eq 0 ]; then
    printf 'run %2d: passed in %4d s  %s\n' "$n" "$seconds" "$summary"
  else
    bad_runs=$((bad_runs + 1))
    printf 'run %2d: FAILED in %4d s  %s;%s\n' "$n" "$seconds" "$summary" "${names:- (no test named: see $out_dir/run-$n.log)}"
  fi
done
stop_hogs

echo
if [ "$bad_runs" -eq 0 ]; then
  echo "soak: $runs runs$( [ "$busy" -eq 1 ] && echo ' (busy machine)'), no failed test"
  exit 0
fi
echo "soak: $bad_runs of $runs runs failed$( [ "$busy" -eq 1 ] && echo ' (busy machine)'):"
for name in "${!failures[@]}"; do
  printf '  %-45s failed in %d of %d runs\n' "$name" "${failures[$name]}" "$runs"
done | sort
exit 1
