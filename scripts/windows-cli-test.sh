#!/usr/bin/env bash
# px316t-cli.exe for Windows (Qt Core from scripts/windows-qt.sh, the Win32
# serial backend) against the Linux board emulator under wine: the emulator's
# pseudo-terminal becomes COM7 of a throw-away wine prefix (a comN link in its
# dosdevices), and the command line reads, writes, verifies and produces there.
#   scripts/windows-cli-test.sh        (build in build-windows/cli)
# The emulator is taken from PX316T_BOARD_EMULATOR, build/ or build-lpt/, or built.
set -euo pipefail
cd "$(dirname "$0")/.."

qt=$(scripts/windows-qt.sh core | tail -n 1)
sqlite=$(scripts/windows-sqlite.sh)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake --no-warn-unused-cli -S . -B build-windows/cli -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=MinSizeRel -DPX316T_BUILD_TESTS=OFF -DPX316T_WINDOWS_QT="$qt" \
  -DPX316T_WINDOWS_SQLITE="$sqlite" -DPX316T_WERROR=ON "${launcher[@]}" >/dev/null
cmake --build build-windows/cli -j "$(nproc)" --target px316t-cli
exe=build-windows/cli/src/cli/px316t-cli.exe

. scripts/windows-wine-common.sh
wine_checks_begin windows-cli
export WINEPATH="Z:${qt//\//\\}\\bin"
wineboot -i >/dev/null 2>&1
ln -sf "$tty" "$WINEPREFIX/dosdevices/com7"

cli() { wine "$exe" "$@"; }

check "new" 0 cli new "$(W a.tbl)"
check "set" 0 cli set "$(W a.tbl)" capcode.1=1000100 capcode.1.enable=on band=400-499MHz
check "write through COM7" 0 cli write --port 7 "$(W a.tbl)"; says "Verify Success!"
check "the pager holds the file" 0 cmp "$work/a.tbl" "$work/pager.tbl"
check "read through COM7" 0 cli read --port 7 -o "$(W r.tbl)"
check "read gives what was written" 0 cmp "$work/a.tbl" "$work/r.tbl"
check "verify" 0 cli verify --port 7 "$(W a.tbl)"; says "Verify Success!"
cp "$work/a.tbl" "$work/b.tbl"
check "set another capcode" 0 cli set "$(W b.tbl)" capcode.1=1000200
check "verify finds the difference" 1 cli verify --port 7 "$(W b.tbl)"
check "produce two pagers" 0 cli produce "$(W a.tbl)" --count 2 --no-wait --port 7
check "show" 0 cli show "$(W a.tbl)"; says "^capcode.1=1000102"
check "show the pager" 0 cli show "$(W pager.tbl)"; says "^capcode.1=1000101"
check "a shared database is refused" 1 cli produce "$(W a.tbl)" --count 1 --no-wait --port 7 \
  --production-db "host=db.line.local" --batch b1
says "only in the Linux build"
check "help" 0 cli --help; says "no PostgreSQL client"
check "a port that is not there" 1 cli read --port 99 -o "$(W x.tbl)"

wine_checks_end "Windows command-line checks"
echo "px316t-cli.exe under wine: every check passed"
