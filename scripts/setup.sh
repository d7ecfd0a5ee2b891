#!/usr/bin/env bash
# Installs every Debian package the build and the tests need. Idempotent: when
# all of them are present it changes nothing and asks no package server.
set -euo pipefail

packages=(
  cmake g++ googletest
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix mingw-w64-tools
  wine wine64 wixl msitools gcab
  xvfb xauth xdotool imagemagick
  python3 openssl
  chromium
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# The page check drives Chromium through playwright-core (npm), kept in the
# build folder; Node.js comes from Debian when the machine has none.
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  echo "setup: installing nodejs npm"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq nodejs npm >/dev/null
fi
root=$(cd "$(dirname "$0")/.." && pwd)
tools="$root/build/tools"
if [ ! -f "$tools/node_modules/playwright-core/package.json" ]; then
  echo "setup: installing playwright-core"
  mkdir -p "$tools"
  npm install --silent --no-audit --no-fund --prefix "$tools" playwright-core@1.65.1 >/dev/null
fi
