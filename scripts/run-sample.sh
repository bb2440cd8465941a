#!/usr/bin/env bash
# Installs the dependencies, builds kyrpatch, and runs an install and an uninstall of the
# bundled sample patch on a scratch copy of the sample game, showing what changed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/install-deps.sh linux
cmake --preset linux >/dev/null
cmake --build --preset linux --target kyrpatch make-package

bin=$root/build/linux/bin
work=$root/build/sample-run
rm -rf "$work"
mkdir -p "$work/package"
cp -r samples/game "$work/game"
cp -r samples/game "$work/original"
"$bin/make-package" "$work/package/Kyr.jxf" samples/patch

step() { printf '\n\033[1m$ %s\033[0m\n' "$*"; }
cd "$work/package"

step kyrpatch install --game ../game
"$bin/kyrpatch" install --game ../game

step kyrpatch status
"$bin/kyrpatch" status

step "diff -r original game   # what the install changed"
(cd "$work" && diff -r original game) || true

step kyrpatch uninstall
"$bin/kyrpatch" uninstall

step "diff -r original game   # after the uninstall"
# Every original file is back byte for byte; a file the patch added (kyr9.dat) has no
# original to go back to and stays, as the uninstall promises.
(cd "$work" && diff -r original game) || true
