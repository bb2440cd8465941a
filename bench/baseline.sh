#!/usr/bin/env bash
# The standard-tools baseline: the same file work as kyrpatch, done the cheapest way with
# the usual tools, ending with one `sync` (a durable install must reach the disk).
#
#   baseline.sh install   PACKAGE_FOLDER GAME_FOLDER FILE_LIST
#   baseline.sh uninstall PACKAGE_FOLDER GAME_FOLDER FILE_LIST
#   baseline.sh bytepatch PACKAGE_FOLDER GAME_FOLDER PATCH_FILE PWRITE_PROGRAM
#
# FILE_LIST names the replaced files relative to GAME_FOLDER/Data, one a line. The copies
# are batched through xargs (a few `cp` processes, not one per file), so process start-up
# does not flatter kyrpatch.
set -euo pipefail

mode=$1
package=$(cd "$2" && pwd)
game=$(cd "$3" && pwd)
backup="$package/QUARN Backup"

case $mode in
  install)
    list=$4
    cd "$package"
    unzip -o -q Kyr.jxf -d Temp
    mkdir -p "$backup"
    (cd "$game/Data" && xargs -d '\n' cp --parents -t "$backup" <"$list")
    (cd Temp && xargs -d '\n' cp --parents -t "$game/Data" <"$list")
    rm -r Temp
    sync
    ;;
  uninstall)
    list=$4
    (cd "$backup" && xargs -d '\n' cp --parents -t "$game/Data" <"$list")
    rm -r "$backup"
    sync
    ;;
  bytepatch)
    patch=$4
    program=$5
    mkdir -p "$backup"
    cp "$game/Data/big.dat" "$backup/big.dat"
    "$program" "$patch" "$game/Data/big.dat"
    sync
    ;;
  *)
    echo "usage: baseline.sh install|uninstall|bytepatch ..." >&2
    exit 2
    ;;
esac
