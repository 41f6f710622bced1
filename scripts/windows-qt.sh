#!/usr/bin/env bash
# Builds Qt 6 for 64-bit Windows with MinGW-w64 from Debian's own qt6-base
# source package, using Debian's Qt of the same version as the host tools (moc,
# rcc, uic), in a cache folder that later runs reuse.
#
#   scripts/windows-qt.sh core      Qt Core only (enough for px316t-cli.exe)
#   scripts/windows-qt.sh widgets   Qt Core, Gui, Widgets, PrintSupport and the platform plugins
#
# Both sets are one build: $CACHE/qt6 is configured once with everything the
# window needs and is its own installation (a Qt "non-prefix" build: include/,
# lib/, bin/ and plugins/ are in the build folder). The core set builds Qt Core
# alone (the test command's Windows stage); the widgets set builds the rest in
# the same folder, so a Qt Core built for the tests is reused as it is.
# The last line printed is that folder; a finished set is marked there by
# .complete-core or .complete-widgets (widgets serves as core too).
# PX316T_WINDOWS_CACHE names the cache folder (default /var/cache/px316t-windows).
set -euo pipefail

set_name=${1:-core}
case "$set_name" in
  core|widgets) ;;
  *) echo "usage: $0 core|widgets" >&2; exit 2 ;;
esac

cache=${PX316T_WINDOWS_CACHE:-/var/cache/px316t-windows}
qt="$cache/qt6"
done_already() {
  [ -f "$qt/.complete-$set_name" ] || { [ "$set_name" = core ] && [ -f "$qt/.complete-widgets" ]; }
}
if done_already; then
  echo "$qt"
  exit 0
fi

as_root=()
[ "$(id -u)" -ne 0 ] && as_root=(sudo)
apt_get() {
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get -o DPkg::Lock::Timeout=600 "$@"
}

# The cross compiler (the POSIX thread model: Qt needs std::thread), the host
# tools of the same Qt version, and what unpacks a source package.
needed=()
for p in g++-mingw-w64-x86-64-posix qt6-base-dev qt6-base-dev-tools dpkg-dev cmake ninja-build; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || needed+=("$p")
done
if [ ${#needed[@]} -gt 0 ]; then
  apt_get update -qq
  apt_get install -y -qq --no-install-recommends "${needed[@]}"
fi

host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
upstream=${host_version%%+*}          # 6.4.2+dfsg-10 -> 6.4.2
scripts_dir=$(cd "$(dirname "$0")" && pwd)
"$scripts_dir/debian-source.sh" qt6-base >/dev/null
mkdir -p "$cache/src"
source_dir=$(find "$cache/src" -maxdepth 1 -type d -name "qt6-base-$upstream*" | head -n 1)
if [ -z "$source_dir" ]; then
  (cd "$cache/src" && apt-get source -qq "qt6-base=$host_version")
  source_dir=$(find "$cache/src" -maxdepth 1 -type d -name "qt6-base-$upstream*" | head -n 1)
fi

features=(
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DBUILD_SHARED_LIBS=ON
  # Everything bundled with Qt itself: nothing of the build machine's libraries
  # may end up in a Windows program.
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_doubleconversion=OFF
  -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF
  -DFEATURE_system_jpeg=OFF -DFEATURE_system_libb2=OFF -DFEATURE_system_textmarkdownreader=OFF
  -DFEATURE_icu=OFF -DFEATURE_zstd=OFF -DFEATURE_glib=OFF -DFEATURE_dbus=OFF
  -DFEATURE_openssl=OFF -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_xml=OFF
  -DFEATURE_concurrent=OFF -DFEATURE_testlib=OFF
)
# What the window needs, for both sets (Qt Core compiles the same either way).
# The tablet driver's source is not in Debian's package, and dynamic OpenGL
# needs ANGLE: both off. The Windows platform plugin does not build without
# OpenGL at all, so it gets the system's desktop OpenGL (opengl32); the window
# itself draws with the raster engine.
features+=(-DFEATURE_gui=ON -DFEATURE_widgets=ON -DFEATURE_tabletevent=OFF
           -DFEATURE_opengl=ON -DFEATURE_opengl_desktop=ON -DFEATURE_opengl_dynamic=OFF
           -DFEATURE_printsupport=ON -DFEATURE_pdf=ON -DFEATURE_vulkan=OFF -DFEATURE_accessibility=ON
           -DFEATURE_freetype=ON -DFEATURE_fontconfig=OFF)
# Labels and batch reports are PDF files or go to a printer by name: PDF
# writing and the printer backend are built, Qt's print dialogs are not.
features+=(-DFEATURE_printdialog=OFF -DFEATURE_printpreviewdialog=OFF -DFEATURE_printpreviewwidget=OFF)
# What the window does not use, left out to keep the build within its time:
# the second Windows platform plugin (Direct2D), the JPEG and GIF readers,
# ODF writing, and the widgets the window never shows. Without Direct2D,
# Qt 6.4 leaves out its DirectWrite font engine and font database, but the
# platform plugin and the printer's engine still refer to them: DirectWrite
# goes as a whole, and the programs keep the GDI fonts, Qt's default.
features+=(-DFEATURE_direct2d=OFF -DFEATURE_directwrite=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_movie=OFF
           -DFEATURE_textodfwriter=OFF -DFEATURE_graphicsview=OFF
           -DFEATURE_calendarwidget=OFF -DFEATURE_colordialog=OFF -DFEATURE_fontdialog=OFF
           -DFEATURE_wizard=OFF -DFEATURE_mdiarea=OFF -DFEATURE_systemtrayicon=OFF)

# One build at a time in the shared folder.
exec 9>"$cache/.qt-build.lock"
flock 9
if done_already; then
  echo "$qt"
  exit 0
fi

# A folder configured with another feature list (an older version of this
# script) is started again.
configuration="$source_dir ${features[*]}"
if [ "$(cat "$qt/.configuration" 2>/dev/null)" != "$configuration" ]; then
  rm -rf "$qt"
  cmake -S "$source_dir" -B "$qt" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=x86_64 \
    -DCMAKE_C_COMPILER=x86_64-w64-mingw32-gcc-posix \
    -DCMAKE_CXX_COMPILER=x86_64-w64-mingw32-g++-posix \
    -DCMAKE_RC_COMPILER=x86_64-w64-mingw32-windres \
    -DCMAKE_FIND_ROOT_PATH=/usr/x86_64-w64-mingw32 \
    -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER \
    -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY \
    -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY \
    -DCMAKE_FIND_ROOT_PATH_MODE_PACKAGE=ONLY \
    -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_INSTALL_PREFIX="$qt" \
    "${features[@]}" >"$cache/qt6-configure.log" 2>&1 \
    || { tail -n 40 "$cache/qt6-configure.log" >&2; exit 1; }
  echo "$configuration" >"$qt/.configuration"
fi

# Qt Core and the entry point every Windows program of Qt links; or everything.
targets=()
[ "$set_name" = core ] && targets=(--target Core EntryPointImplementation)
cmake --build "$qt" -j "$(nproc)" "${targets[@]}" >"$cache/qt6-build-$set_name.log" 2>&1 \
  || { tail -n 40 "$cache/qt6-build-$set_name.log" >&2; exit 1; }
# The MinGW runtime DLLs the Qt libraries need at run time go beside them.
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
  found=$(x86_64-w64-mingw32-g++-posix -print-file-name="$dll")
  [ -f "$found" ] && cp "$found" "$qt/bin/"
done
if [ "$set_name" = widgets ]; then
  # Nothing is compiled here again: the precompiled headers and the objects
  # (well over a gigabyte) go.
  find "$qt" \( -name '*.gch' -o -name '*.obj' \) -delete
fi
touch "$qt/.complete-$set_name"
echo "$qt"
