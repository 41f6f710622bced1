#!/bin/sh
# Builds libpq, PostgreSQL's client library, for 64-bit Windows with MinGW-w64
# from Debian's postgresql-15 source package (its upstream tarball), for the
# shared production database of the Windows programs. Only libpq and what it
# needs are built (about two minutes on two cores); the result is cached and
# reused:
#   scripts/windows-libpq.sh [CACHE]      (default /var/cache/px316t-windows)
# prints the folder that holds include/ (libpq-fe.h and the two headers it
# includes), lib/libpq.a (the import library) and bin/libpq.dll.
#
# Without TLS: Debian's sources would give it only through a cross-built
# OpenSSL, which does not fit the test command's time. The programs say that
# the connection is not encrypted.
set -eu
cache=${1:-${PX316T_WINDOWS_CACHE:-/var/cache/px316t-windows}}
debian_version=$("$(dirname "$0")/debian-source.sh" postgresql-15)
version=${debian_version%%-*}          # 15.18-0+deb12u1 -> 15.18
out=$cache/libpq-$version
if [ -f "$out/.complete" ]; then echo "$out"; exit 0; fi

jobs=$(nproc)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(
    cd "$work"
    apt-get source --download-only "postgresql-15=$debian_version" >&2
    # The server, the documentation and the tests are not needed.
    tar -xjf "postgresql-15_$version.orig.tar.bz2" --exclude='*/doc' --exclude='*/src/test' \
        --exclude='*/contrib' --exclude='*/src/bin' --exclude='*/src/pl'
    mkdir build && cd build
    "../postgresql-$version/configure" --host=x86_64-w64-mingw32 CC=x86_64-w64-mingw32-gcc-posix \
        --without-readline --without-zlib --without-icu --without-openssl --disable-nls \
        --prefix="$out" >configure.log 2>&1 || { tail -n 30 configure.log >&2; exit 1; }
    {
        make -C src/backend generated-headers
        # The libraries of src/port and src/common that libpq links (a DLL on
        # Windows links both variants), not their server variants.
        make -C src/port -j "$jobs" libpgport.a libpgport_shlib.a
        make -C src/common -j "$jobs" libpgcommon.a libpgcommon_shlib.a
        make -C src/interfaces/libpq -j "$jobs" -o submake-libpgport -o submake-generated-headers all-lib
    } >build.log 2>&1 || { tail -n 30 build.log >&2; exit 1; }
)
src=$work/postgresql-$version
build=$work/build
rm -rf "$out"
mkdir -p "$out/include" "$out/lib" "$out/bin" "$out/licences"
cp "$src/src/interfaces/libpq/libpq-fe.h" "$src/src/include/postgres_ext.h" \
   "$build/src/include/pg_config_ext.h" "$out/include/"
cp "$build/src/interfaces/libpq/libpq.a" "$out/lib/"
cp "$build/src/interfaces/libpq/libpq.dll" "$out/bin/"
cp "$src/COPYRIGHT" "$out/licences/PostgreSQL.txt"
touch "$out/.complete"
echo "$out"
