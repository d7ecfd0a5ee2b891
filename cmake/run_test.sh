#!/usr/bin/env bash
# Runs one GoogleTest program for CTest:
#   run_test.sh <seconds> <program and arguments...>
# The program's output goes to a file and is printed when the program ends.
# Under Wine, programs that a test starts inherit its standard handles; one
# that outlived the test would hold a pipe to CTest open, and CTest would wait
# for it until its time-out. A program still running after <seconds> is ended
# (exit code 124), and what it printed is shown all the same.
# A program that ends with 0 passes only when GoogleTest printed its closing
# "[  PASSED  ]" line and no failure: under Wine a program that dies of a
# stack overflow can still end with exit code 0.
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
elif [ "$status" -eq 0 ]; then
  if ! grep -qE '^\[  PASSED  \] [0-9]+ tests?\.' "$out"; then
    echo "run_test.sh: $* ended with 0 but without GoogleTest's closing line: it died before its tests ended"
    status=1
  elif grep -qE '^\[  FAILED  \] ' "$out"; then
    echo "run_test.sh: $* ended with 0 although GoogleTest reported failures"
    status=1
  fi
fi
exit "$status"
