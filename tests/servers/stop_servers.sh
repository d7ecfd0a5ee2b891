#!/usr/bin/env bash
# Stops the test server that start_servers.sh started in <work-dir>.
#   stop_servers.sh <work-dir> <state-file>
# Only the recorded pid is ended, and only when it still is our server.
set -uo pipefail
work=$1
state=$2
pidfile="$work/server.pid"
if [ -f "$pidfile" ]; then
  pid=$(cat "$pidfile")
  if [ -n "$pid" ] && tr '\0' ' ' < "/proc/$pid/cmdline" 2>/dev/null | grep -q http_test_server.py; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$pidfile"
fi
rm -f "$state"
exit 0
