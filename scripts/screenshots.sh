#!/usr/bin/env bash
# Regenerates the pictures of kessa-setup's pages in docs/: each page with
# sample data, shown by the page gallery (a test program built with the
# launcher's own pages and resources), and one interactive install through
# Wine's own msiexec, driven from the keyboard (Enter on each page), with its
# progress window and completion page. Everything runs in a fresh Wine
# prefix under its own Xvfb; each picture is the screen cropped to what is
# on it, so a stray window (a console, say) would show in the picture.
#
#   bash scripts/screenshots.sh [output folder]     (default: docs)
set -euo pipefail
source "$(dirname "$0")/wine-session.sh"
wine_session_no_aslr "$0" "$@"
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
out=$(realpath -m "${1:-docs}")
mkdir -p "$out"

bash scripts/setup.sh
build="$root/build/windows"
log="$root/build/screenshots-build.log"
mkdir -p "$root/build"
if ! { cmake --preset windows && cmake --build --preset windows -j4 --target page_gallery kessa-setup; } \
     >"$log" 2>&1; then
  cat "$log"
  exit 1
fi

session="$build/screenshots"
mkdir -p "$session"
wine_session_start "$session"
# There is no window manager here, so the pictures show the windows without
# a frame or caption (Wine's own frames would lack the Marlett glyphs).

# The screen, cropped to what is on it (the background is black).
snap() {
  import -window root "$session/screen.png"
  convert "$session/screen.png" -trim +repage "$out/$1.png"
  echo "docs: $1.png $(identify -format '%wx%h' "$out/$1.png")"
}

gallery="$(winepath_w "$build/bin/page-gallery.exe")"
ready="$session/page-ready"
for page in welcome folder folder-long progress error plugin restore complete complete-restart; do
  rm -f "$ready"
  "$WINELOADER" "$gallery" "$page" "$(winepath_w "$ready")" >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 300); do [ -e "$ready" ] && break; sleep 0.1; done
  if [ ! -e "$ready" ]; then
    echo "screenshots: the $page page did not come up" >&2
    exit 1
  fi
  snap "$page"
  rm -f "$ready"
  wait "$pid"
done

# An interactive install, the way a user goes through it with Enter.
window_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1; }
wait_window() {
  local id=""
  for _ in $(seq 600); do id=$(window_named "$1"); [ -n "$id" ] && break; sleep 0.1; done
  echo "$id"
}
press_enter() { xdotool windowfocus --sync "$1" 2>/dev/null || true; xdotool key --clearmodifiers Return; }

"$WINELOADER" "$(winepath_w "$build/bin/kessa-setup.exe")" >/dev/null 2>&1 &
kessa=$!
id=$(wait_window "Tolva Setup - Welcome")
[ -n "$id" ] || { echo "screenshots: no welcome page" >&2; exit 1; }
sleep 1
press_enter "$id"
id=$(wait_window "Tolva Setup - Progress")
[ -n "$id" ] || { echo "screenshots: no progress window" >&2; exit 1; }
sleep 2
snap install-progress
id=$(wait_window "Tolva Setup - Complete")
[ -n "$id" ] || { echo "screenshots: no completion page" >&2; exit 1; }
sleep 1
snap install-complete
press_enter "$id"
wait "$kessa" || true
echo "screenshots: done"
