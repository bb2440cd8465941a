#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz": clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time from its seed corpus in
# tests/fuzz/corpus/<name>, with a fixed seed so that a run can be repeated.
# Usage: scripts/fuzz.sh [seconds per target, default 60] [target ...]
# A finding stops the script with a failure; libFuzzer leaves the input as crash-* in
# build/fuzz/findings: add it to the corpus with the fix. New inputs found on the way go to
# build/fuzz/corpus, emptied first so that every run starts from the committed seeds.
# Prints "fuzz <target>: <n> executions" per target.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(script bytepatch log zip)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2

findings=build/fuzz/findings
mkdir -p "$findings"
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
for target in "${targets[@]}"; do
  work=build/fuzz/corpus/$target
  rm -rf "$work"
  mkdir -p "$work"
  log=build/fuzz/$target.log
  echo "== fuzz_$target: ${seconds}s"
  # The seed corpus is replayed first (every seed must pass), then mutated for the time.
  if ! build/fuzz/bin/fuzz_"$target" -seed=1 -max_total_time="$seconds" -max_len=4096 \
      -rss_limit_mb=2048 -timeout=20 -artifact_prefix="$findings/$target-" \
      -print_final_stats=1 "$work" "tests/fuzz/corpus/$target" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz_$target: FINDING (input in $findings)" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  echo "fuzz $target: ${runs:-0} executions"
done
