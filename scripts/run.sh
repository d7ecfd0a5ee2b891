#!/usr/bin/env bash
# The main job: builds kessa-setup, makes a fresh Wine prefix and lets
# `kessa-setup.exe /s` install the runtime it carries through Wine's own
# msiexec; then shows the exit code, the installed runtime and the log.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target kessa-setup -j "$(nproc)"

build="$root/build/release"
source scripts/wine-session.sh
wine_session_start "$build"

# cmd's "start /wait" waits for the GUI program and keeps its whole 32-bit
# exit code (a Unix shell would only see it modulo 256).
cat > "$build/run-kessa.cmd" <<'CMD'
@echo off
start "" /wait "%~1" /s
echo kessa-setup exit code: %ERRORLEVEL%
CMD
echo "== kessa-setup.exe /s"
"$WINELOADER" cmd /c "$(winepath_w "$build/run-kessa.cmd")" "$(winepath_w "$build/bin/kessa-setup.exe")" \
  2>/dev/null | tr -d '\r'

echo "== installed runtime (HKLM\\SOFTWARE\\TolvaSoft\\Tolva Runtime Environment)"
"$WINELOADER" reg query 'HKLM\SOFTWARE\TolvaSoft\Tolva Runtime Environment' /s 2>/dev/null | tr -d '\r'
echo "== runtime files"
find "$WINEPREFIX/drive_c/Program Files/Tolva" -type f 2>/dev/null | sed "s|$WINEPREFIX/drive_c|C:|"
echo "== end of tusched.log"
log=$(find "$WINEPREFIX/drive_c/users" -name tusched.log 2>/dev/null | head -n 1)
[ -n "$log" ] && tail -n 25 "$log" | tr -d '\r'
wine_session_stop
