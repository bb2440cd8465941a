#!/usr/bin/env bash
# One command that does all set-up and runs every test: installs the dependencies, then
# configures, builds and tests each preset. Usage: scripts/test.sh [preset ...]
# windows-x64 runs its tests under Wine; windows-x86 is only built (this Wine runs no
# 32-bit programs); fuzz builds the libFuzzer targets and runs each for a minute
# (scripts/fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(linux linux-asan windows-x64 windows-x86 fuzz)

scripts/install-deps.sh

for preset in "${presets[@]}"; do
  echo "== $preset"
  if [ "$preset" = fuzz ]; then
    scripts/fuzz.sh 60
    continue
  fi
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  case "$preset" in
    windows-x86) echo "== $preset: built only, no tests run" ;;
    *) ctest --preset "$preset" ;;
  esac
done
