#!/bin/sh
# Builds libzint, the barcode library of the pager labels, for 64-bit Windows
# with MinGW-w64 from Debian's zint source package: the library alone, static,
# without PNG output (the labels draw the barcodes with Qt). The result is
# cached and reused:
#   scripts/windows-zint.sh [CACHE]      (default /var/cache/px316t-windows)
# prints the folder that holds include/zint.h, lib/libzint-static.a and
# licences/zint.txt.
set -eu
cache=${1:-${PX316T_WINDOWS_CACHE:-/var/cache/px316t-windows}}
debian_version=$("$(dirname "$0")/debian-source.sh" zint)
version=${debian_version%%-*}          # 2.11.1-1 -> 2.11.1
out=$cache/zint-$version
if [ -f "$out/.complete" ]; then echo "$out"; exit 0; fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(
    cd "$work"
    apt-get source -qq --download-only "zint=$debian_version" >&2
    tar -xf "zint_$version.orig.tar."*
    src=$(find . -maxdepth 1 -type d -name 'zint-*' | head -n 1)
    cmake -S "$src" -B build -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=x86_64 \
        -DCMAKE_C_COMPILER=x86_64-w64-mingw32-gcc-posix -DCMAKE_CXX_COMPILER=x86_64-w64-mingw32-g++-posix \
        -DCMAKE_RC_COMPILER=x86_64-w64-mingw32-windres \
        -DZINT_STATIC=ON -DZINT_USE_PNG=OFF -DZINT_USE_QT=OFF >configure.log 2>&1 \
        || { tail -n 30 configure.log >&2; exit 1; }
    cmake --build build --target zint-static >build.log 2>&1 || { tail -n 30 build.log >&2; exit 1; }
    mkdir -p result
    cp "$src/backend/zint.h" build/backend/libzint-static.a "$src/LICENSE" result/
)
rm -rf "$out"
mkdir -p "$out/include" "$out/lib" "$out/licences"
cp "$work/result/zint.h" "$out/include/"
cp "$work/result/libzint-static.a" "$out/lib/"
cp "$work/result/LICENSE" "$out/licences/zint.txt"
touch "$out/.complete"
echo "$out"
