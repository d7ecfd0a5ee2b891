# Sourced by the run scripts: one fresh Wine prefix in the build folder, one
# persistent wineserver for it, and one Xvfb on a free display. Everything
# started here is ended by wine_session_stop (and by the EXIT trap), and
# nothing else is touched.
#
#   wine_session_no_aslr "$0" "$@"  first thing in a script that starts a
#                                    session: runs the script again with
#                                    address randomization off
#   wine_session_start <build-dir>   exports WINEPREFIX, WINESERVER, WINELOADER,
#                                    WINEDEBUG and DISPLAY
#   wine_session_stop

WINE_SESSION_XVFB_PID=""
WINE_SESSION_DESKTOP_PID=""

# Debian's Wine has no preloader, so its loader (linked at 0x7d000000) takes
# Windows' fixed address ranges only after the kernel has placed the
# process's own mappings. The kernel (Linux 6.18 here) puts a program's heap
# anywhere in the 1 GB above its end. A few starts in ten thousand, that
# heap covers the shared user data page at 0x7ffe0000, and the new Wine
# process exits with 1 before it has told the server anything (its "failed
# to map the shared user data" is an error line, which WINEDEBUG=-all
# hides). The parent's CreateProcess then fails with ERROR_INTERNAL_ERROR,
# or wineboot -i fails and makes no prefix. With address randomization off,
# the heap starts right after the loader, clear of those ranges, and every
# process the script starts inherits that.
wine_session_no_aslr() {
  local script=$1 arch
  shift
  wine_session_aslr_off && return 0
  if [ -z "${WINE_SESSION_NO_ASLR:-}" ]; then
    export WINE_SESSION_NO_ASLR=1
    arch=$(uname -m)
    if setarch "$arch" -R true 2>/dev/null; then
      exec setarch "$arch" -R bash "$script" "$@"
    fi
  fi
  echo "wine-session: address randomization cannot be turned off on this machine;" \
       "now and then a Wine program will fail to start" >&2
}

# Whether this shell runs with address randomization off (ADDR_NO_RANDOMIZE).
wine_session_aslr_off() {
  local persona
  persona=$(cat /proc/self/personality 2>/dev/null) || return 1
  (( (16#$persona & 16#0040000) != 0 ))
}

wine_session_start() {
  local build_dir=$1
  export WINEPREFIX="$build_dir/wineprefix"
  export WINEDEBUG=-all
  export WINEARCH=win64
  export WINELOADER=/usr/lib/wine/wine64
  export WINESERVER=/usr/lib/wine/wineserver
  [ -x "$WINELOADER" ] || WINELOADER=$(command -v wine64 || command -v wine)
  [ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver)
  # Neither Mono nor Gecko ship with Debian's Wine; never ask for them.
  export WINEDLLOVERRIDES="mscoree=;mshtml=;winedbg.exe=d"

  # A display nobody holds: Xvfb's lock file tells which are taken.
  local n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
  WINE_SESSION_XVFB_PID=$!
  export DISPLAY=":$n"
  trap wine_session_stop EXIT

  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  # The server outlives each program, so test programs start fast. Its stdio
  # goes nowhere: inherited pipes would keep the caller's output open.
  "$WINESERVER" -p >/dev/null 2>&1 </dev/null
  "$WINELOADER" wineboot -i >/dev/null 2>&1 </dev/null
  # A crashing program must end, not wait in the debugger until its time-out.
  "$WINELOADER" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
    /v Auto /t REG_SZ /d 1 /f >/dev/null 2>&1 </dev/null || true
  "$WINELOADER" reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
    /v Debugger /f >/dev/null 2>&1 </dev/null || true
  wine_session_cjk_fonts
  # Xvfb runs no window manager, and Wine waits about 2 s for one to take
  # back every top-level window that it hides; unmanaged windows go at once.
  "$WINELOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
    >/dev/null 2>&1 </dev/null || true
  local i
  for i in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  wine_session_hold_desktop
}

# Wine closes the desktop a second after its last program ends, and the next
# program that opens a window starts a new desktop process (explorer.exe) as
# its own child. That process gets the program's stderr, so CTest waits for
# it to end (as long as any other test uses the desktop) before it sees the
# test end, and its start can cost the program ten seconds. One program that
# outlives every test holds the desktop for the session: cmd.exe reading
# commands from a FIFO, its output nowhere.
wine_session_hold_desktop() {
  local fifo="$WINEPREFIX/desktop-holder.fifo" ready="$WINEPREFIX/desktop-holder.ready" i
  rm -f "$fifo" "$ready"
  mkfifo "$fifo"
  # Read and write: neither open waits for the other side, and no end of
  # file comes while cmd itself holds the write side.
  "$WINELOADER" cmd.exe /q /k <>"$fifo" >/dev/null 2>&1 &
  WINE_SESSION_DESKTOP_PID=$!
  # Once cmd has run a command it is a user of the desktop, and only then
  # may the desktop process start: a program with a window (rundll32 makes
  # one) starts it now, quietly, when the one wineboot started has closed.
  # What comes through the FIFO before cmd reads its first line is lost, so
  # the command goes again until cmd has answered.
  for i in $(seq 60); do
    [ -e "$ready" ] && break
    printf 'echo ready>"%s"\r\n' "$(winepath_w "$ready")" 1<>"$fifo"
    sleep 0.5
  done
  [ -e "$ready" ] || echo "wine-session: the desktop holder did not start" >&2
  "$WINELOADER" rundll32.exe user32.dll,GetDesktopWindow >/dev/null 2>&1 </dev/null || true
}

# Chinese, Japanese and Korean pages: their dialogs name the faces Windows has
# for those languages (Simplified Chinese the logical dialog face, which Wine
# maps to Tahoma), and the code's own fonts use Tahoma for them. Wine has
# none of those faces with CJK glyphs; WenQuanYi Micro Hei (fonts-wqy-microhei)
# stands in for the CJK faces, and Tahoma and Microsoft Sans Serif link to it
# for the glyphs they lack, the way Windows links its UI faces.
wine_session_cjk_fonts() {
  local substitutes='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
  local links='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
  local face
  for face in "MS UI Gothic" "PMingLiU" "Gulim"; do
    "$WINELOADER" reg add "$substitutes" /v "$face" /t REG_SZ /d "WenQuanYi Micro Hei" /f \
      >/dev/null 2>&1 </dev/null || true
  done
  for face in "Tahoma" "Microsoft Sans Serif"; do
    "$WINELOADER" reg add "$links" /v "$face" /t REG_MULTI_SZ /d "wqy-microhei.ttc,WenQuanYi Micro Hei" /f \
      >/dev/null 2>&1 </dev/null || true
  done
}

# The Windows form (Z:\...) of a Unix path, as programs in the prefix see it.
winepath_w() {
  printf 'Z:%s' "$1" | tr '/' '\\'
}

wine_session_stop() {
  if [ -n "$WINE_SESSION_DESKTOP_PID" ]; then
    kill "$WINE_SESSION_DESKTOP_PID" 2>/dev/null || true
    wait "$WINE_SESSION_DESKTOP_PID" 2>/dev/null || true
    WINE_SESSION_DESKTOP_PID=""
  fi
  if [ -n "${WINEPREFIX:-}" ] && [ -n "${WINESERVER:-}" ]; then
    "$WINESERVER" -k >/dev/null 2>&1 || true
  fi
  if [ -n "$WINE_SESSION_XVFB_PID" ]; then
    kill "$WINE_SESSION_XVFB_PID" 2>/dev/null || true
    wait "$WINE_SESSION_XVFB_PID" 2>/dev/null || true
    WINE_SESSION_XVFB_PID=""
  fi
}
