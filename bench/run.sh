#!/usr/bin/env bash
# Benchmarks kyrpatch against the same file work done with standard tools, prints the table
# and writes it, with the machine it ran on, to docs/performance.md.
#
#   bench/run.sh            (RUNS=N to time N runs after the warm-up; default 5)
#
# Installs what it needs from the Debian packages (as root, or with sudo), builds the
# linux preset's kyrpatch, generates the data into build/bench/data (once; again only when
# the generator changes), then times whole processes. Each timed run starts with a `sync`
# outside the clock, so no run pays for the previous run's writes, and kyrpatch and the
# baseline alternate on the same files in the same folders with a warm cache. The warm-up
# round is not counted; it also checks that kyrpatch and the baseline give the same game
# files, and that each uninstall gives the original game back.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=${RUNS:-5}

bench=$root/build/bench
bin=$bench/bin
data=$bench/data
work=$bench/work
results=$bench/results
built=${KYRPATCH:-$root/build/linux/bin/kyrpatch}  # another build, to compare
kyrpatch=$bin/kyrpatch  # a copy, which a build running meanwhile cannot replace

die() {
  echo "bench: $*" >&2
  exit 1
}

# ---- dependencies and programs --------------------------------------------------------

packages=(build-essential cmake ninja-build pkg-config zlib1g-dev libminizip-dev
          googletest libgtest-dev unzip time)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

echo "== building kyrpatch (linux preset) and the benchmark programs"
cmake --preset linux >/dev/null
cmake --build --preset linux --target kyrpatch
mkdir -p "$bin"
warnings=(-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Werror)
# shellcheck disable=SC2046
g++ -std=c++20 -O2 "${warnings[@]}" bench/MakeBenchData.cpp \
  $(pkg-config --cflags --libs minizip) -o "$bin/make-bench-data"
gcc -std=c11 -D_XOPEN_SOURCE=700 -O2 "${warnings[@]}" bench/PwritePatch.c -o "$bin/pwrite-patch"
cp "$built" "$kyrpatch"

stamp=$(md5sum bench/MakeBenchData.cpp | cut -d' ' -f1)
if [ "$(cat "$data/.stamp" 2>/dev/null)" != "$stamp" ]; then
  echo "== generating the data (about 420 MB, once; the runs need about 1 GB more)"
  rm -rf "$data"
  "$bin/make-bench-data" "$data"
  echo "$stamp" >"$data/.stamp"
fi

# ---- measuring ------------------------------------------------------------------------

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
rm -rf "$work" "$results"
mkdir -p "$work" "$results"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# measure NAME COMMAND...: runs COMMAND once, after a sync outside the clock; appends
# "microseconds peak-RSS-KiB" to results/NAME unless this is the warm-up round.
round=0
measure() {
  local name=$1
  shift
  sync
  local start end
  start=$(date +%s%N)
  if ! /usr/bin/time -f %M -o "$scratch/rss" "$@" >"$scratch/out" 2>&1; then
    cat "$scratch/out" >&2
    die "failed: $*"
  fi
  end=$(date +%s%N)
  if [ "$round" -gt 0 ]; then
    echo "$(((end - start) / 1000)) $(tail -n 1 "$scratch/rss")" >>"$results/$name"
  fi
}

# The content of every file below a folder, as one checksum.
tree_sum() {
  (cd "$1" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum | md5sum | cut -c1-32)
}

copy_case() {  # name
  local name=$1 list=$data/$1/files.txt
  echo "== $name: $(wc -l <"$list") files"
  rm -rf "${work:?}/$name"
  cp -r "$data/$name" "$work/$name"
  local game=$work/$name/game package=$work/$name/package
  local original installed
  original=$(tree_sum "$game")
  for ((round = 0; round <= runs; round++)); do
    printf '   round %d of %d%s\n' "$round" "$runs" "$([ "$round" -eq 0 ] && echo ' (warm-up)')"
    measure "$name-install-kyrpatch" "$kyrpatch" -C "$package" install --game "$game"
    [ "$round" -eq 0 ] && installed=$(tree_sum "$game/Data")
    measure "$name-uninstall-kyrpatch" "$kyrpatch" -C "$package" uninstall
    # The flag folder stays; the flag file goes with the uninstall.
    [ "$round" -eq 0 ] && [ "$(tree_sum "$game")" != "$original" ] &&
      die "$name: kyrpatch uninstall did not give the original game back"
    measure "$name-install-baseline" bench/baseline.sh install "$package" "$game" "$list"
    [ "$round" -eq 0 ] && [ "$(tree_sum "$game/Data")" != "$installed" ] &&
      die "$name: kyrpatch and the baseline installed different files"
    measure "$name-uninstall-baseline" bench/baseline.sh uninstall "$package" "$game" "$list"
    [ "$round" -eq 0 ] && [ "$(tree_sum "$game")" != "$original" ] &&
      die "$name: the baseline uninstall did not give the original game back"
  done
  rm -rf "${work:?}/$name"
}

patch_case() {
  local name=bytepatch
  echo "== $name: 65,535 records of 255 bytes into a 64 MiB file"
  rm -rf "${work:?}/$name"
  cp -r "$data/$name" "$work/$name"
  local game=$work/$name/game package=$work/$name/package patched
  for ((round = 0; round <= runs; round++)); do
    printf '   round %d of %d%s\n' "$round" "$runs" "$([ "$round" -eq 0 ] && echo ' (warm-up)')"
    measure "$name-install-kyrpatch" "$kyrpatch" -C "$package" install --game "$game"
    [ "$round" -eq 0 ] && patched=$(md5sum <"$game/Data/big.dat")
    "$kyrpatch" -C "$package" uninstall >/dev/null
    measure "$name-install-baseline" bench/baseline.sh bytepatch "$package" "$game" \
      "$work/$name/big.bpf" "$bin/pwrite-patch"
    [ "$round" -eq 0 ] && [ "$(md5sum <"$game/Data/big.dat")" != "$patched" ] &&
      die "$name: kyrpatch and the baseline patched different bytes"
    cp "$package/QUARN Backup/big.dat" "$game/Data/big.dat"
    rm -r "$package/QUARN Backup"
  done
  rm -rf "${work:?}/$name"
}

copy_case typical
copy_case large
patch_case

# ---- the table ------------------------------------------------------------------------

# stats NAME: "median min max peak-KiB" over the timed runs (seconds, KiB).
stats() {
  sort -n "$results/$1" | awk '
    { t[NR] = $1 / 1e6; if ($2 > peak) peak = $2 }
    END {
      m = (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
      printf "%.3f %.3f %.3f %d\n", m, t[1], t[NR], peak
    }'
}

rows=(
  "typical-install|(a) typical patch, 40 files, 5 MB|install|1.2"
  "typical-uninstall|(a) typical patch, 40 files, 5 MB|uninstall|1.2"
  "large-install|(b) large package, 2,000 files, 200 MB|install|1.2"
  "large-uninstall|(b) large package, 2,000 files, 200 MB|uninstall|1.2"
  "bytepatch-install|(c) byte patch, 65,535 x 255 bytes, 64 MiB target|install|2"
)
table=$scratch/table.md
{
  echo "| case | run | kyrpatch, s: median (min–max) | baseline, s: median (min–max) | ratio | target | peak memory: kyrpatch / baseline |"
  echo "|---|---|---|---|---|---|---|"
  for row in "${rows[@]}"; do
    IFS='|' read -r key label what limit <<<"$row"
    read -r om omin omax opeak <<<"$(stats "$key-kyrpatch")"
    read -r bm bmin bmax bpeak <<<"$(stats "$key-baseline")"
    awk -v label="$label" -v what="$what" -v limit="$limit" \
        -v om="$om" -v omin="$omin" -v omax="$omax" -v opeak="$opeak" \
        -v bm="$bm" -v bmin="$bmin" -v bmax="$bmax" -v bpeak="$bpeak" 'BEGIN {
      ratio = om / bm
      met = ratio <= limit && opeak < 16 * 1024
      target = "≤ " limit "×"
      if (what == "install" && limit == 2) { target = target ", < 1 s"; met = met && om < 1 }
      target = target ", < 16 MiB"
      printf "| %s | %s | %.3f (%.3f–%.3f) | %.3f (%.3f–%.3f) | %.2f | %s: %s | %.1f / %.1f MiB |\n",
        label, what, om, omin, omax, bm, bmin, bmax, ratio, target, met ? "met" : "**not met**",
        opeak / 1024, bpeak / 1024
    }'
  done
} >"$table"

machine() {
  local cpu memory os fs
  cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
  memory=$(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)
  os=$(. /etc/os-release && echo "$PRETTY_NAME")
  fs=$(df -T "$bench" | awk 'NR == 2 { print $2 }')
  echo "- Machine: $cpu, $(nproc) cores, $memory memory; $os, Linux $(uname -r)"
  echo "- Disk: the data, the game folders and the package folders on $fs ($(df "$bench" | awk 'NR == 2 { print $1 }'))"
  echo "- Build: linux preset (gcc $(gcc -dumpfullversion), -O2 -g); commit $(git rev-parse --short HEAD 2>/dev/null || echo unknown)$(git diff --quiet HEAD 2>/dev/null || echo ' with local changes')"
  echo "- Run: $(date -u '+%Y-%m-%d %H:%M UTC'), $runs timed runs of each after one warm-up round;"
  echo "  load average $load_before before, $(cut -d' ' -f1-3 /proc/loadavg) after (other work on the machine slows both sides)"
}

{
  echo "# Performance"
  echo
  echo "How fast kyrpatch installs and uninstalls, next to the same file work done with"
  echo "standard tools. Reproduce with \`bench/run.sh\` (it rewrites this file); what it"
  echo "measures and why is described below the table."
  echo
  echo "## Latest results"
  echo
  machine
  echo
  cat "$table"
  echo
  cat bench/notes.md
} >docs/performance.md

echo
cat "$table"
echo
echo "written to docs/performance.md"
