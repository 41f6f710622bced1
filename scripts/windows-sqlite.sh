#!/bin/sh
# Makes SQLite's single-file source (sqlite3.c, sqlite3.h) from Debian's sqlite3
# source package, for the Windows cross-build. The result is cached and reused:
#   scripts/windows-sqlite.sh [CACHE]      (default /var/cache/px316t-windows)
# prints the folder that holds sqlite3.c and sqlite3.h.
set -eu
cache=${1:-${PX316T_WINDOWS_CACHE:-/var/cache/px316t-windows}}
debian_version=$("$(dirname "$0")/debian-source.sh" sqlite3)
version=${debian_version%%-*}          # 3.40.1-2+deb12u1 -> 3.40.1
out=$cache/sqlite-$version
if [ -f "$out/.complete" ]; then echo "$out"; exit 0; fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(
    cd "$work"
    apt-get source --download-only sqlite3 >&2
    tar -xf sqlite3_"$version".orig.tar.xz
    src=$(find . -maxdepth 1 -type d -name 'sqlite*' | head -n 1)
    mkdir build && cd build
    # The single-file source is generated on the build machine (needs tclsh).
    "../$src/configure" --disable-tcl >&2
    make sqlite3.c >&2
)
mkdir -p "$out"
cp "$work/build/sqlite3.c" "$work/build/sqlite3.h" "$out/"
touch "$out/.complete"
echo "$out"
