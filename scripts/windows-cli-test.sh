#!/usr/bin/env bash
# px316t-cli.exe for Windows (Qt Core from scripts/windows-qt.sh, libpq from
# scripts/windows-libpq.sh, the Win32 serial backend) against the Linux board
# emulator under wine: the emulator's pseudo-terminal becomes COM7 of a
# throw-away wine prefix (wine's port mapping, so COM7 is listed under
# SERIALCOMM), and the command line
#  - carries its icon and version information;
#  - reads, writes, verifies and produces there, with table files in folders
#    and names of accents, Greek and CJK;
#  - lists COM7 with the friendly name, USB ids and serial number that a
#    stand-in for SetupAPI gives (wine has no USB serial devices), and takes
#    the port as COM7 and as that serial number;
#  - shares one batch with a Linux px316t-cli on a PostgreSQL cluster on the
#    loopback address, both producing at once: no capcode goes to two pagers.
#   scripts/windows-cli-test.sh        (build in build-windows/cli)
# The emulator is taken from PX316T_BOARD_EMULATOR, build/ or build-lpt/, or
# built; the Linux command line from PX316T_LINUX_CLI, build/ or build-asan/, or built.
set -euo pipefail
cd "$(dirname "$0")/.."

qt=$(scripts/windows-qt.sh core | tail -n 1)
sqlite=$(scripts/windows-sqlite.sh)
libpq=$(scripts/windows-libpq.sh)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake --no-warn-unused-cli -S . -B build-windows/cli -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=MinSizeRel -DPX316T_BUILD_TESTS=OFF -DPX316T_WINDOWS_QT="$qt" -DPX316T_WINDOWS_WINDOW=OFF \
  -DPX316T_WINDOWS_SQLITE="$sqlite" -DPX316T_WINDOWS_LIBPQ="$libpq" -DPX316T_WERROR=ON "${launcher[@]}" >/dev/null
cmake --build build-windows/cli -j "$(nproc)" --target px316t-cli px316t_setupapi_standin
exe=build-windows/cli/src/cli/px316t-cli.exe

. scripts/windows-wine-common.sh
wine_checks_begin windows-cli
export WINEPATH="Z:${qt//\//\\}\\bin;Z:${libpq//\//\\}\\bin"
wineboot -i >/dev/null 2>&1
# Wine's port mapping lists COM7 under SERIALCOMM once the prefix starts again.
wine reg add 'HKLM\Software\Wine\Ports' /v COM7 /d "$tty" /f >/dev/null 2>&1
wineserver -w
ln -sf "$tty" "$WINEPREFIX/dosdevices/com7"

cli() { wine "$exe" "$@"; }

check "icon and version information" 0 has_resources "$exe"
check "new" 0 cli new "$(W a.tbl)"
check "set" 0 cli set "$(W a.tbl)" capcode.1=1000100 capcode.1.enable=on band=400-499MHz
check "write through COM7" 0 cli write --port 7 "$(W a.tbl)"; says "Verify Success!"
check "the pager holds the file" 0 cmp "$work/a.tbl" "$work/pager.tbl"
check "read through COM7" 0 cli read --port COM7 -o "$(W r.tbl)"
check "read gives what was written" 0 cmp "$work/a.tbl" "$work/r.tbl"
check "verify" 0 cli verify --port com7 "$(W a.tbl)"; says "Verify Success!"
cp "$work/a.tbl" "$work/b.tbl"
check "set another capcode" 0 cli set "$(W b.tbl)" capcode.1=1000200
check "verify finds the difference" 1 cli verify --port 7 "$(W b.tbl)"
check "produce two pagers" 0 cli produce "$(W a.tbl)" --count 2 --no-wait --port 7
check "show" 0 cli show "$(W a.tbl)"; says "^capcode.1=1000102"
check "show the pager" 0 cli show "$(W pager.tbl)"; says "^capcode.1=1000101"
check "help says what applies on Windows" 0 cli --help; says "%APPDATA%"; says "NOT encrypted"
check "a port that is not there" 1 cli read --port 99 -o "$(W x.tbl)"
check "a port that is no port" 2 cli read --port COM0 -o "$(W x.tbl)"

# Every command that takes a path, with folders and names in accents, Greek and CJK.
folder="Jürgen Ωμέγα 測試"
name="Prüfung Ω 表格.tbl"
mkdir -p "$work/$folder"
U() { W "$folder/$1"; }
check "new: accents, Greek, CJK" 0 cli new "$(U "$name")"
[ -f "$work/$folder/$name" ] && [ "$(ls "$work/$folder")" = "$name" ] \
  || { echo "FAILED: the file is not named as given: $(ls "$work/$folder")"; failures=$((failures + 1)); }
check "new refuses it again, naming it" 2 cli new "$(U "$name")"; says "Prüfung Ω 表格.tbl: exists"
check "set" 0 cli set "$(U "$name")" capcode.1=1000300 capcode.1.enable=on
check "show" 0 cli show "$(U "$name")"; says "^capcode.1=1000300"
check "write" 0 cli write --port 7 "$(U "$name")"; says "Verify Success!"
check "verify" 0 cli verify --port 7 "$(U "$name")"
check "read -o" 0 cli read --port 7 -o "$(U "Ωμέγα 読み.tbl")"
check "what was read is the file" 0 cmp "$work/$folder/$name" "$work/$folder/Ωμέγα 読み.tbl"
check "diff" 0 cli diff "$(U "$name")" "$(U "Ωμέγα 読み.tbl")"
check "produce" 0 cli produce "$(U "$name")" --count 1 --no-wait --port 7
check "produce saved the next capcode" 0 cli show "$(U "$name")"; says "^capcode.1=1000301"
# The two table files and produce's lock beside its file, all named as given.
check "no other names were made" 0 test "$(ls "$work/$folder" | sort | tr '\n' '/')" = \
  "$name/$name.lock/Ωμέγα 読み.tbl/"

# The ports as the Device Manager would show them, from a stand-in SetupAPI
# beside a copy of the program (wine loads it instead of its own).
standin=$work/standin
mkdir -p "$standin"
cp "$exe" build-windows/cli/setupapi-standin/setupapi.dll "$standin/"
standin_cli() {
  WINEDLLOVERRIDES="$WINEDLLOVERRIDES;setupapi=n" \
  PX316T_STANDIN_PORTS='COM7|USB Serial Port (COM7)|FTDIBUS\VID_0403+PID_6001+A10K3QA\0000|USB\VID_0403&PID_6001\A10K3Q' \
    wine "$standin/px316t-cli.exe" "$@"
}
check "ports: friendly name, USB ids, serial" 0 standin_cli ports
says "^COM7 *USB Serial Port, 0403:6001, serial A10K3Q (.*)  programming board"
check "ports --json" 0 standin_cli ports --json; says '"name":"USB Serial Port (COM7)","usb_id":"0403:6001","serial":"A10K3Q","board":true'
check "--port takes the board's serial number" 0 standin_cli write --port a10k3q "$(W a.tbl)"
says "Verify Success!"
check "an unknown serial number is refused" 2 standin_cli verify --port B20Z9X "$(W a.tbl)"
says "serial number of a board's port"
check "without the stand-in, wine describes no port" 0 cli ports; says "^COM7 .*  programming board"

# A Windows and a Linux station produce from one batch at the same time.
linux=$(linux_cli)
start_pg_cluster
"$(board_emulator)" --memory "$work/linux-pager.tbl" >"$work/linux-emulator.log" 2>&1 &
at_cleanup "kill $!"
for _ in $(seq 300); do grep -q "/dev/pts/" "$work/linux-emulator.log" && break; sleep 0.1; done
# The emulator links its pseudo-terminal as the lowest free COM number of this user.
linux_com=$(sed -n 's/.*: COM\([0-9]*\) on \/dev\/pts\/.*/\1/p' "$work/linux-emulator.log" | head -n 1)
[ -n "$linux_com" ] || { cat "$work/linux-emulator.log"; echo "the second board emulator did not start" >&2; exit 1; }
linux_cli_run() { ASAN_OPTIONS=detect_leaks=0 "$linux" "$@"; }
export PX316T_PRODUCTION_DB=$pg_conninfo
check "a batch for both" 0 linux_cli_run batch create shared --first 1000500 --last 1000599
cp "$work/a.tbl" "$work/win.tbl"
cp "$work/a.tbl" "$work/linux.tbl"
linux_cli_run produce "$work/linux.tbl" --count 6 --no-wait --port "$linux_com" --batch shared --station linux-1 \
  >"$work/linux-produce.log" 2>&1 &
linux_produce=$!
check "the Windows station produces" 0 cli produce "$(W win.tbl)" --count 6 --no-wait --port 7 --batch shared \
  --station windows-1 --production-db "$pg_conninfo"
linux_status=0
wait "$linux_produce" || linux_status=$?
[ "$linux_status" -eq 0 ] || { echo "FAILED: the Linux station (exit $linux_status)"; cat "$work/linux-produce.log"; failures=$((failures + 1)); }
check "the shared record" 0 linux_cli_run history --shared --csv
# Every pager written and verified (station, first capcode): twelve, no capcode twice, both stations.
tr -d '\r' <"$work/out" | awk -F, 'NR > 1 && $5 == "write" && $10 == "success" { print $3, $7 }' >"$work/writes"
if [ "$(wc -l <"$work/writes")" -ne 12 ] || [ "$(cut -d' ' -f2 "$work/writes" | sort -u | wc -l)" -ne 12 ] \
   || ! grep -q "^windows-1 " "$work/writes" || ! grep -q "^linux-1 " "$work/writes"; then
  echo "FAILED: the shared batch gave a capcode twice or lost a pager"; cat "$work/out"; failures=$((failures + 1))
else
  echo "ok: twelve pagers from one batch on two stations, every capcode once:" \
    "$(awk '{ taken[$1] = taken[$1] " " $2 } END { for (s in taken) printf "%s:%s; ", s, taken[s] }' "$work/writes")"
fi
check "the batch counts them" 0 linux_cli_run batch show shared; says "^used 12$"

wine_checks_end "Windows command-line checks"
echo "px316t-cli.exe under wine: every check passed"
