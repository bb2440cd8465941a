#!/usr/bin/env bash
# Reruns what docs/reliability.md reports and writes the figures of this run into it:
# the crash and failure loops and the hostile cases of tests/reliability_test.cpp (linux
# preset), and the fuzz targets (scripts/fuzz.sh) for the given time per target.
# Usage: scripts/reliability-figures.sh [seconds per fuzz target, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
doc=docs/reliability.md
out=$(mktemp)
trap 'rm -f "$out" "$out.tests" "$out.fuzz"' EXIT

cmake --preset linux >/dev/null
cmake --build --preset linux -j2 --target reliability_tests >/dev/null
build/linux/bin/reliability_tests --gtest_color=no >"$out.tests" 2>&1 || {
  cat "$out.tests"; echo "reliability_tests failed" >&2; exit 1; }
scripts/fuzz.sh "$seconds" >"$out.fuzz" 2>&1 || {
  cat "$out.fuzz"; echo "fuzzing found something" >&2; exit 1; }

figure() { sed -n "s/^\[ figure \] $1: \([0-9]*\) host operations, \([0-9]*\) covered$/\2 of \1/p" "$out.tests"; }
passed() { grep -c "^\[       OK \] $1" "$out.tests" || true; }
skipped() { grep "^\[  SKIPPED \] $1" "$out.tests" | sed 's/ (.*//' | sort -u | wc -l; }

{
  echo "Run of $(date -u '+%Y-%m-%d %H:%M UTC') on $(uname -sm), commit $(git rev-parse --short HEAD 2>/dev/null || echo unknown)$(git diff --quiet 2>/dev/null || echo ' with local changes'):"
  echo
  echo "| What | Figure |"
  echo "|---|---|"
  echo "| Install: crash points covered (of host operations) | $(figure 'install crash points') |"
  echo "| Uninstall: crash points covered | $(figure 'uninstall crash points') |"
  echo "| Install: injected faults covered | $(figure 'install injected faults') |"
  echo "| Uninstall: injected faults covered | $(figure 'uninstall injected faults') |"
  echo "| Hostile packages passed | $(passed 'Reliability/HostilePackage') |"
  echo "| Links leading outside: passed, skipped | $(passed 'Reliability/LinkOutside'), $(skipped 'Reliability/LinkOutside') |"
  echo "| Zip bomb refused | $(passed 'Reliability.ZipBomb') |"
  echo "| Uninstall logs cut at every byte or with a NUL byte | $(sed -n 's/^\[ figure \] hand-made logs (every cut, NUL bytes): //p' "$out.tests") |"
  for target in script bytepatch log zip; do
    runs=$(sed -n "s/^fuzz $target: \([0-9]*\) executions$/\1/p" "$out.fuzz")
    echo "| fuzz_$target: executions in ${seconds} s, no finding | ${runs:-?} |"
  done
} >"$out"

# Replace what stands between the markers.
awk -v figures="$out" '
  /<!-- figures:begin -->/ { print; while ((getline line < figures) > 0) print line; skip = 1; next }
  /<!-- figures:end -->/ { skip = 0 }
  !skip { print }
' "$doc" >"$doc.new"
mv "$doc.new" "$doc"
cat "$out"
