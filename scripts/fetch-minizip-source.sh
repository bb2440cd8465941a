#!/usr/bin/env bash
# Fetches and unpacks Debian's `minizip` source package into <dir>/minizip, for the Windows
# cross build (which compiles minizip itself, as Debian ships no mingw build of it).
#
# The machine's own apt sources are turned into source entries in a private apt
# configuration under <dir>/apt, so neither the system's package lists nor its sources are
# changed and no package server is named here. Needs apt-get and dpkg-source (dpkg-dev).
# Usage: scripts/fetch-minizip-source.sh <dir>
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 <dir>" >&2
  exit 2
fi
mkdir -p "$1"
dir="$(cd "$1" && pwd)"
if [ -f "$dir/minizip/unzip.c" ]; then
  exit 0
fi

apt_dir="$dir/apt"
rm -rf "$apt_dir"
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"

# One-line sources: every "deb" entry becomes a "deb-src" entry.
: >"$apt_dir/sources.list"
for list in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$list" ] || continue
  sed -n -E 's/^[[:space:]]*deb[[:space:]]+/deb-src /p' "$list" >>"$apt_dir/sources.list"
done
# deb822 sources: every stanza that offers binary packages offers their sources too.
for sources in /etc/apt/sources.list.d/*.sources; do
  [ -f "$sources" ] || continue
  sed -E 's/^Types:.*\bdeb\b.*$/Types: deb-src/' "$sources" \
    >"$apt_dir/sources.list.d/$(basename "$sources")"
done
if ! grep -qs -E '^(deb-src|Types: deb-src)' \
    "$apt_dir/sources.list" "$apt_dir"/sources.list.d/*; then
  echo "fetch-minizip-source: no Debian package source configured on this machine" >&2
  exit 1
fi

apt_options=(
  -o "Dir::Etc::sourcelist=$apt_dir/sources.list"
  -o "Dir::Etc::sourceparts=$apt_dir/sources.list.d"
  -o "Dir::State::Lists=$apt_dir/lists"
  -o "Dir::Cache=$apt_dir/cache"
  -o "Dir::Cache::pkgcache="
  -o "Dir::Cache::srcpkgcache="
  # The private folders belong to whoever runs this; apt's download user may not reach them.
  -o "APT::Sandbox::User=$(id -un)"
  -o "Debug::NoLocking=true"
)
apt-get "${apt_options[@]}" -q update >"$apt_dir/update.log" 2>&1 || {
  cat "$apt_dir/update.log" >&2
  exit 1
}

work="$dir/unpack"
rm -rf "$work"
mkdir -p "$work"
(cd "$work" && apt-get "${apt_options[@]}" -q source minizip) >"$apt_dir/source.log" 2>&1 || {
  cat "$apt_dir/source.log" >&2
  exit 1
}

unpacked=""
for candidate in "$work"/minizip-*/; do
  [ -f "$candidate/unzip.c" ] && unpacked="$candidate"
done
if [ -z "$unpacked" ]; then
  echo "fetch-minizip-source: the unpacked minizip source has no unzip.c" >&2
  exit 1
fi
rm -rf "$dir/minizip"
mv "$unpacked" "$dir/minizip"
rm -rf "$work"
echo "fetch-minizip-source: minizip source in $dir/minizip"
