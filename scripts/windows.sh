#!/usr/bin/env bash
# The Windows programs, packed: builds Qt Core, Gui, Widgets, PrintSupport and
# the Windows platform plugin (scripts/windows-qt.sh widgets, reused from its
# cache; a Qt Core the test command built is kept), libpq
# (scripts/windows-libpq.sh) and libzint (scripts/windows-zint.sh), then
# px316t.exe and px316t-cli.exe with their icon and version information
# into build-windows/gui, and packs
#   build-windows/px316t-<version>-windows-x64.zip
# with the programs, the Qt libraries and plugins they load, the MinGW runtime
# libraries, the fonts of the window, the labels and the reports, their
# licences and a README for Windows, and the same folder as an installer (NSIS),
#   build-windows/px316t-<version>-windows-x64-setup.exe
# Then scripts/windows-smoke.sh checks both under wine.
#
#   scripts/windows.sh [--no-smoke] [--screenshot FILE.png]
set -euo pipefail
cd "$(dirname "$0")/.."

smoke=1
screenshot=()
while [ $# -gt 0 ]; do
  case $1 in
    --no-smoke) smoke=0; shift ;;
    --screenshot) screenshot=(--screenshot "$2"); shift 2 ;;
    -h|--help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
  esac
done

started=$SECONDS
scripts/windows-deps.sh package
qt=$(scripts/windows-qt.sh widgets | tail -n 1)
echo "Qt for Windows: $qt ($((SECONDS - started)) s)"
sqlite=$(scripts/windows-sqlite.sh)
libpq=$(scripts/windows-libpq.sh)
zint=$(scripts/windows-zint.sh)
echo "SQLite, libpq and libzint for Windows: $sqlite, $libpq, $zint ($((SECONDS - started)) s)"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
build=build-windows/gui
cmake --no-warn-unused-cli -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=MinSizeRel -DPX316T_BUILD_TESTS=OFF -DPX316T_WINDOWS_QT="$qt" -DPX316T_WINDOWS_WINDOW=ON \
  -DPX316T_WINDOWS_SQLITE="$sqlite" -DPX316T_WINDOWS_LIBPQ="$libpq" -DPX316T_WINDOWS_ZINT="$zint" \
  "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)" --target px316t px316t-cli
echo "programs built ($((SECONDS - started)) s)"

version=$(sed -n 's/^project(px316t VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=px316t-$version-windows-x64
stage=build-windows/package/$name
zip_file=build-windows/$name.zip
rm -rf "$stage" "$zip_file"
mkdir -p "$stage/fonts" "$stage/licences"

objdump=x86_64-w64-mingw32-objdump
cp "$build/src/app/px316t.exe" "$build/src/cli/px316t-cli.exe" "$stage/"
headers=$("$objdump" -p "$stage/px316t.exe")
grep -qi "^subsystem.*(Windows GUI)" <<<"$headers" || { echo "px316t.exe is not a window program" >&2; exit 1; }
# Both carry the icon and the version information the file's properties show.
for exe in px316t.exe px316t-cli.exe; do
  (work=$(mktemp -d); trap 'rm -rf "$work"' EXIT; . scripts/windows-wine-common.sh; has_resources "$stage/$exe") \
    || { echo "$exe lacks its icon or version information" >&2; exit 1; }
done
echo "px316t.exe and px316t-cli.exe carry their icon and version $(sed -n 's/^project(px316t VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt) information"

# The platform plugins and the styles Qt has; both are looked for in folders of
# those names beside the program (qt.conf points Qt's plugin folder there).
# The window runs on the Windows platform; the command line draws labels and
# reports on the offscreen one, whose fonts are the files in Qt's font folder:
# with the library folder set to the program's, that is fonts\ beside it.
mkdir -p "$stage/platforms"
cp "$qt/plugins/platforms/qwindows.dll" "$qt/plugins/platforms/qoffscreen.dll" "$stage/platforms/"
if compgen -G "$qt/plugins/styles/*.dll" >/dev/null; then
  mkdir -p "$stage/styles"
  cp "$qt/plugins/styles/"*.dll "$stage/styles/"
fi
printf '[Paths]\r\nPrefix = .\r\nPlugins = .\r\nLibraries = .\r\n' >"$stage/qt.conf"

# Every DLL the programs and plugins import that Qt's or libpq's bin folder
# holds (the Qt libraries, the MinGW runtime libraries put there, libpq),
# followed to the end.
imports() { "$objdump" -p "$1" | sed -n 's/^\s*DLL Name: //p'; }
queue=("$stage"/*.exe "$stage"/platforms/*.dll)
if [ -d "$stage/styles" ]; then queue+=("$stage"/styles/*.dll); fi
while [ ${#queue[@]} -gt 0 ]; do
  file=${queue[0]}
  queue=("${queue[@]:1}")
  while read -r dll; do
    found=$(find "$qt/bin" "$libpq/bin" -maxdepth 1 -iname "$dll" | head -n 1)
    if [ -n "$found" ] && [ ! -f "$stage/$(basename "$found")" ]; then
      cp "$found" "$stage/"
      queue+=("$stage/$(basename "$found")")
    fi
  done < <(imports "$file")
done
for needed in Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll Qt6PrintSupport.dll libstdc++-6.dll libwinpthread-1.dll libpq.dll; do
  [ -f "$stage/$needed" ] || { echo "$needed is missing from the package" >&2; exit 1; }
done

# Without their debugging symbols (libstdc++ alone would be 23 MB with them).
find "$stage" -name '*.dll' -o -name '*.exe' | xargs x86_64-w64-mingw32-strip --strip-unneeded

# The window asks for Tahoma, Arial and Courier New; where Windows lacks them,
# DejaVu Sans, Liberation Sans and Liberation Mono (Debian's) stand in.
for font in dejavu/DejaVuSans.ttf dejavu/DejaVuSans-Bold.ttf \
            liberation/LiberationSans-Regular.ttf liberation/LiberationSans-Bold.ttf \
            liberation/LiberationSans-Italic.ttf liberation/LiberationSans-BoldItalic.ttf \
            liberation/LiberationMono-Regular.ttf liberation/LiberationMono-Bold.ttf; do
  cp "/usr/share/fonts/truetype/$font" "$stage/fonts/"
done
crlf() { sed 's/\r\?$/\r/' "$1" >"$2"; }
crlf /usr/share/doc/fonts-dejavu-core/copyright "$stage/licences/fonts-DejaVu.txt"
crlf /usr/share/doc/fonts-liberation/copyright "$stage/licences/fonts-Liberation.txt"
qt_source=$(find "${PX316T_WINDOWS_CACHE:-/var/cache/px316t-windows}/src" -maxdepth 1 -type d \
  -name 'qt6-base-*' 2>/dev/null | head -n 1)
if [ -n "$qt_source" ] && [ -f "$qt_source/debian/copyright" ]; then
  crlf "$qt_source/debian/copyright" "$stage/licences/Qt.txt"
  for licence in LGPL-3.0-only GPL-2.0-only GPL-3.0-only; do
    if [ -f "$qt_source/LICENSES/$licence.txt" ]; then
      crlf "$qt_source/LICENSES/$licence.txt" "$stage/licences/Qt-$licence.txt"
    fi
  done
fi
crlf "$libpq/licences/PostgreSQL.txt" "$stage/licences/libpq-PostgreSQL.txt"
crlf "$zint/licences/zint.txt" "$stage/licences/libzint.txt"
for doc in gcc-mingw-w64-base mingw-w64-common; do
  if [ -f "/usr/share/doc/$doc/copyright" ]; then
    crlf "/usr/share/doc/$doc/copyright" "$stage/licences/$doc.txt"
  fi
done
sed "s/@VERSION@/$version/" packaging/windows/README.txt >"$stage/README.tmp"
crlf "$stage/README.tmp" "$stage/README.txt"
rm "$stage/README.tmp"

(cd build-windows/package && zip -q -r -X "../$name.zip" "$name")
echo "packed $zip_file ($(du -k "$zip_file" | cut -f1) KiB, $(unzip -Z1 "$zip_file" | grep -vc '/$') files) ($((SECONDS - started)) s)"

# The same folder as an installer (Debian's nsis).
setup=build-windows/$name-setup.exe
rm -f "$setup"
major=${version%%.*}
minor=$((10#${version#*.}))
makensis -V2 -DVERSION="$version" -DFILEVERSION="$major.$minor.0.0" -DSOURCE="$(realpath "$stage")" \
  -DICON="$(realpath packaging/windows/px316t.ico)" -DOUTFILE="$(realpath build-windows)/$name-setup.exe" \
  packaging/windows/px316t.nsi >/dev/null
echo "installer $setup ($(du -k "$setup" | cut -f1) KiB)"

if [ "$smoke" -eq 1 ]; then
  scripts/windows-smoke.sh "$zip_file" --setup "$setup" "${screenshot[@]}"
fi
echo "scripts/windows.sh done in $((SECONDS - started)) s"
