#!/usr/bin/env bash
# Runs ctest in a cross build folder under Wine: a fresh prefix in that folder,
# its own wineserver and Xvfb, all ended afterwards.
#   scripts/ctest-wine.sh <build-dir> [ctest arguments...]
set -euo pipefail
source "$(dirname "$0")/wine-session.sh"
wine_session_no_aslr "$0" "$@"
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$(cd "$1" && pwd)
shift
wine_session_start "$build_dir"
status=0
(cd "$build_dir" && ctest --output-on-failure "$@") || status=$?
# A case that cannot be done on this machine skips itself, which CTest counts
# as passed: name each one here, with its reason, so that none goes unseen.
skipped=$(awk '/: Skipped$/ { if ((getline reason) > 0) last = reason; next }
               /^\[  SKIPPED \] .* \([0-9]+ ms\)$/ { print "  " $4 ": " last; last = "" }' \
            "$build_dir"/Testing/Temporary/LastTest.log 2>/dev/null || true)
if [ -n "$skipped" ]; then
  echo "Test cases skipped on this machine:"
  printf '%s\n' "$skipped"
fi
# Every test program logs into a temporary folder of its own; a log in the
# user's own temporary folder means a program wrote where every other test
# program would too.
shared_logs=$(find "$WINEPREFIX"/drive_c/users/*/Temp -maxdepth 1 -type f \
                \( -iname tusched.log -o -iname TolvaScrub.log \) 2>/dev/null || true)
if [ -n "$shared_logs" ]; then
  echo "A test program logged into the user's shared temporary folder instead of its own:"
  printf '  %s\n' $shared_logs
  status=1
fi
wine_session_stop
exit $status
