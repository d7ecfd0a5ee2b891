#!/usr/bin/env bash
# Runs ctest in a cross build folder under Wine: a fresh prefix in that folder,
# its own wineserver and Xvfb, all ended afterwards.
#   scripts/ctest-wine.sh <build-dir> [ctest arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$(cd "$1" && pwd)
shift
source "$root/scripts/wine-session.sh"
wine_session_start "$build_dir"
status=0
(cd "$build_dir" && ctest --output-on-failure "$@") || status=$?
wine_session_stop
exit $status
