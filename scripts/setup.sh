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
