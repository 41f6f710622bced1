#!/usr/bin/env bash
# The Windows stage of the test command: cross-builds the Qt-free folders
# (table, editor, registry with the Windows registry backend, the production
# folder's Qt-free part with libpq from scripts/windows-libpq.sh) and their
# tests with Debian's MinGW-w64, and runs the
# tests under wine in a throw-away wine prefix, so a test that deletes registry
# keys never touches anything else; then px316t-cli.exe with Qt Core against
# the board emulator (scripts/windows-cli-test.sh). Prints how long each part took.
#   scripts/windows-test.sh            (build in build-windows/qt-free)
set -euo pipefail
cd "$(dirname "$0")/.."

stamp() { date +%s; }
times=()
took() { times+=("$(printf '%-28s %4ss' "$1" "$(( $(stamp) - $2 ))")"); }
t_all=$(stamp)

t=$(stamp)
scripts/windows-deps.sh
took "toolchain and wine install" "$t"

# Qt Core for the command line's checks (the last part) builds meanwhile, so
# that its configuring and the other parts' single-threaded steps (configure
# scripts, wine) share the two cores instead of taking turns.
# (Debian's source lines first, so that only one apt-get update runs.)
scripts/debian-source.sh qt6-base >/dev/null
mkdir -p build-windows
t_qt=$(stamp)
scripts/windows-qt.sh core >build-windows/qt-core.log 2>&1 &
qt_core=$!

t=$(stamp)
sqlite=$(scripts/windows-sqlite.sh)
took "SQLite source" "$t"

t=$(stamp)
libpq=$(scripts/windows-libpq.sh)
took "libpq (PostgreSQL client)" "$t"

t=$(stamp)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
# -Os: the tests need no debugging information, and the build is the stage's largest part.
cmake --no-warn-unused-cli -S . -B build-windows/qt-free -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=MinSizeRel -DPX316T_QT_FREE=ON -DPX316T_WERROR=ON -DPX316T_WINDOWS_SQLITE="$sqlite" \
  -DPX316T_WINDOWS_LIBPQ="$libpq" "${launcher[@]}" >/dev/null
cmake --build build-windows/qt-free -j "$(nproc)"
took "cross-build (Qt-free)" "$t"

t=$(stamp)
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/px316t-wine-XXXXXX")
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" PX316T_TEST_WINDOWS_REGISTRY=1
# libpq.dll, which test_production loads.
export WINEPATH="Z:${libpq//\//\\}\\bin"
echo_pid=""
cleanup() {
  [ -n "$echo_pid" ] && kill "$echo_pid" 2>/dev/null
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
wineboot -i >/dev/null 2>&1
took "wine prefix set-up" "$t"

# COM40 of the prefix: a pseudo-terminal that echoes, for the serial tests.
g++ -O1 -o build-windows/pty-echo tools/pty_echo/pty_echo.cpp
coproc ECHO { exec build-windows/pty-echo; }
echo_pid=$ECHO_PID
read -r echo_tty <&"${ECHO[0]}"
ln -sf "$echo_tty" "$WINEPREFIX/dosdevices/com40"
export PX316T_TEST_ECHO_COM=40

t=$(stamp)
ctest --test-dir build-windows/qt-free -j "$(nproc)" --output-on-failure
took "tests under wine" "$t"

t=$(stamp)
wait "$qt_core" || { tail -n 40 build-windows/qt-core.log; echo "Qt Core for Windows failed" >&2; exit 1; }
took "Qt Core (waited for)" "$t"
took "Qt Core (from its start)" "$t_qt"

# The command line for Windows with Qt Core, against the board emulator.
t=$(stamp)
scripts/windows-cli-test.sh
took "px316t-cli.exe, its checks" "$t"

took "Windows stage" "$t_all"
printf '%s\n' "${times[@]}"
