#!/usr/bin/env bash
# The main job: builds kessa-setup, makes a fresh Wine prefix and lets
# `kessa-setup.exe /s` install the runtime it carries through Wine's own
# msiexec; then shows the exit code, what was installed, the last run's
# lines of the log, and where the log and the prefix are. The build is
# quiet unless it fails. The prefix stays for inspection until the next run.
set -euo pipefail
source "$(dirname "$0")/wine-session.sh"
wine_session_no_aslr "$0" "$@"
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh
build="$root/build/release"
mkdir -p "$build"
build_log="$build/build.log"
if ! { cmake --preset release && cmake --build --preset release --target kessa-setup -j "$(nproc)"; } \
     >"$build_log" 2>&1; then
  cat "$build_log"
  echo "run: the build failed (log: $build_log)" >&2
  exit 1
fi

wine_session_start "$build"

# cmd's "start /wait" waits for the GUI program and keeps its whole 32-bit
# exit code (a Unix shell would only see it modulo 256).
cat > "$build/run-kessa.cmd" <<'CMD'
@echo off
start "" /wait "%~1" /s
echo kessa-setup.exe /s exit code: %ERRORLEVEL%
CMD
echo "== kessa-setup.exe /s"
"$WINELOADER" cmd /c "$(winepath_w "$build/run-kessa.cmd")" "$(winepath_w "$build/bin/kessa-setup.exe")" \
  2>/dev/null | tr -d '\r'

echo "== installed runtime (HKLM\\SOFTWARE\\TolvaSoft\\Tolva Runtime Environment)"
"$WINELOADER" reg query 'HKLM\SOFTWARE\TolvaSoft\Tolva Runtime Environment' /s 2>/dev/null | tr -d '\r' \
  | sed '/^$/d'
echo "== installed files"
windows_paths() { sed "s|^$WINEPREFIX/drive_c|C:|; s|/|\\\\|g" | sort; }
{ find "$WINEPREFIX/drive_c/Program Files/Tolva" -type f 2>/dev/null || true; } | windows_paths
echo "== installed auto-update package"
{ find "$WINEPREFIX/drive_c/Program Files/Common Files/Tolva" \
       "$WINEPREFIX/drive_c/Program Files (x86)/Common Files/Tolva" -type f 2>/dev/null || true; } | windows_paths

log=$({ find "$WINEPREFIX/drive_c/users" -name tusched.log 2>/dev/null || true; } | head -n 1)
if [ -n "$log" ]; then
  # A log entry is a header line "[date time, program (PID ...)...]" and a
  # tab-indented message line; the last run starts at the header of its
  # "Wrapper begin..." line.
  start=$({ grep -n 'Wrapper begin\.\.\.' "$log" || true; } | tail -n 1 | cut -d: -f1)
  start=$(( ${start:-2} - 1 ))
  total=$(wc -l <"$log")
  # The run's first entry, then its last entries from an entry's header on.
  from=$(awk -v start="$start" -v want=$((total - 40)) \
    'NR >= start && NR >= want && /^\[[0-9][0-9][0-9][0-9]\/[0-9][0-9]\/[0-9][0-9] / { print NR; exit }' "$log")
  from=${from:-$start}
  echo "== tusched.log: the last run, lines $start-$total"
  sed -n "${start},$((start + 1))p" "$log" | tr -d '\r'
  if [ "$from" -gt $((start + 2)) ]; then
    echo "    ... (lines $((start + 2))-$((from - 1)))"
  fi
  [ "$from" -gt $((start + 1)) ] || from=$((start + 2))
  sed -n "${from},\$p" "$log" | tr -d '\r'
  echo "== log:         $log"
else
  echo "== log:         none written (tusched.log not found in the prefix)"
fi
echo "== Wine prefix: $WINEPREFIX (kept for inspection; WINEPREFIX=$WINEPREFIX wine64 regedit ...)"
wine_session_stop
