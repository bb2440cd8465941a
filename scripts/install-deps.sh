#!/usr/bin/env bash
# Installs, from the machine's Debian package sources, what the build and the tests use.
# Needs root (or sudo). Packages already present are left as they are.
#
#   scripts/install-deps.sh            everything (all presets and their tests)
#   scripts/install-deps.sh linux      only what the Linux presets need
set -euo pipefail

linux_packages=(
  build-essential cmake ninja-build pkg-config
  zlib1g-dev libminizip-dev
  googletest libgtest-dev
  # fuzzing: clang with its libFuzzer and sanitizer runtimes
  clang libclang-rt-14-dev
  # the GTK program kyr-ship-patch, and its dialog tests: a virtual display, a keyboard, a
  # session bus with the accessibility interface, screenshots
  libgtk-3-dev adwaita-icon-theme libatspi2.0-dev at-spi2-core dbus xvfb xdotool imagemagick
)
windows_packages=(
  # Windows cross build: compilers, zlib, tools that fetch Debian's minizip source
  mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix libz-mingw-w64-dev dpkg-dev
  # Windows tests under Wine, also with a virtual display for the dialogs
  wine wine64 fonts-wine xvfb xauth x11-utils xdotool imagemagick
)

case "${1:-all}" in
  linux) packages=("${linux_packages[@]}") ;;
  all) packages=("${linux_packages[@]}" "${windows_packages[@]}") ;;
  *) echo "usage: $0 [linux|all]" >&2; exit 2 ;;
esac

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
