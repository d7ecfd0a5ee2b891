#!/usr/bin/env bash
# Runs one test program for CTest: run_test.sh <seconds> <program and arguments...>
# The program's output goes to a file and is printed when the program ends.
# Under Wine, programs that a test starts inherit its standard handles; one
# that outlived the test would hold a pipe to CTest open, and CTest would wait
# for it until its time-out. A program still running after <seconds> is ended
# (exit code 124), and what it printed is shown all the same.
set -u
seconds=$1
shift
out=$(mktemp "${TMPDIR:-/tmp}/tds-test-XXXXXX")
trap 'rm -f "$out"' EXIT
timeout -k 5 "$seconds" "$@" >"$out" 2>&1 </dev/null
status=$?
cat "$out"
if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
  echo "run_test.sh: $* did not end within $seconds s and was ended"
fi
exit "$status"
