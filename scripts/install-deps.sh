#!/usr/bin/env bash
# Installs, from the machine's Debian package sources, everything the build and the tests
# use. Needs root (or sudo). Packages already present are left as they are.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  zlib1g-dev libminizip-dev
  googletest libgtest-dev
  # Windows cross build: compilers, zlib, tools that fetch Debian's minizip source
  mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix libz-mingw-w64-dev dpkg-dev
  # Windows tests under Wine, also with a virtual display for the dialogs
  wine wine64 xvfb xauth x11-utils xdotool imagemagick
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
