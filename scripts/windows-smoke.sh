#!/usr/bin/env bash
# Checks the Windows zip made by scripts/windows.sh under wine, from the
# unpacked folder alone (no Qt from the build machine on the path):
#  - the Linux board emulator's pseudo-terminal becomes COM7 of a throw-away
#    wine prefix (wine's own port mapping, HKLM\Software\Wine\Ports), so COM7
#    is listed in HKLM\HARDWARE\DEVICEMAP\SERIALCOMM as on Windows;
#  - px316t-cli.exe lists COM7 as the programming board, writes, reads and
#    verifies the pager through it;
#  - px316t.exe starts under a virtual display (xvfb-run) with a table file
#    in a folder and of a name in accents, Greek and CJK on its command line,
#    its main window appears (found by its title, photographed from the X
#    screen), finds the board on COM7, and its screenshot tour writes,
#    verifies and reads the pager through the window's Pager commands; the
#    pager then holds that file, which the command line reads back;
#  - px316t-cli.exe produces two pagers from a batch on a PostgreSQL cluster
#    with their labels in a PDF, makes a label again from the record and the
#    batch's report; the labels' barcodes and QR codes are read back
#    (pdftoppm, zbarimg) and the report's text is checked (pdftotext).
#
#  - with --setup, the installer installs silently into C:\px316t for every
#    user (common Start menu, .tbl opening in px316t.exe, publisher, icon,
#    version and size in the installed programs list), the installed command
#    line finds the board, a second install replaces the first in place, a
#    running command line holds an update back, and the uninstaller removes
#    the programs and keeps the user's settings and data unless asked.
#
#   scripts/windows-smoke.sh ZIP [--setup SETUP.exe] [--screenshot FILE.png]
# The emulator is taken from PX316T_BOARD_EMULATOR, build/ or build-lpt/, or built.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = --inside-display ]; then
  # Under xvfb-run: start the window, wait for it, photograph it, let the tour end.
  work=$2 exe=$3 table=$4
  status=0
  wine "$exe" "$table" >"$work/window.log" 2>&1 &
  window_pid=$!
  id=""
  for _ in $(seq 240); do
    id=$(xdotool search --name "PX316T V" 2>/dev/null | head -n 1) || true
    [ -n "$id" ] && break
    kill -0 "$window_pid" 2>/dev/null || break
    sleep 0.25
  done
  if [ -z "$id" ]; then
    echo "FAILED: the main window did not appear" >&2
    kill "$window_pid" 2>/dev/null || true
    exit 1
  fi
  xdotool getwindowname "$id" >"$work/window-title"
  sleep 1.5   # let it draw
  import -window root "$work/screen.png" 2>/dev/null || echo "FAILED: no screenshot of the screen" >&2
  wait "$window_pid" || status=$?
  exit "$status"
fi

zip_file=${1:?usage: $0 ZIP [--setup SETUP.exe] [--screenshot FILE.png]}
shift
screenshot=""
setup=""
while [ $# -gt 0 ]; do
  case $1 in
    --screenshot) screenshot=$2; shift 2 ;;
    --setup) setup=$(realpath "$2"); shift 2 ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
  esac
done
zip_file=$(realpath "$zip_file")

. scripts/windows-wine-common.sh
wine_checks_begin windows-smoke
unset WINEPATH QT_QPA_PLATFORM QT_PLUGIN_PATH

mkdir -p "$work/unpacked"
(cd "$work/unpacked" && unzip -q "$zip_file")
folder=$(find "$work/unpacked" -mindepth 1 -maxdepth 1 -type d | head -n 1)
cli_exe=$folder/px316t-cli.exe
window_exe=$folder/px316t.exe

wineboot -i >/dev/null 2>&1
# Wine's port mapping: its mount manager links COM7 to the pseudo-terminal and
# lists it under SERIALCOMM when the prefix starts again.
wine reg add 'HKLM\Software\Wine\Ports' /v COM7 /d "$tty" /f >/dev/null 2>&1
wineserver -w
ln -sf "$tty" "$WINEPREFIX/dosdevices/com7"

cli() { wine "$cli_exe" "$@"; }

check "the registry lists COM7" 0 wine reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM'; says "COM7"
check "px316t-cli.exe ports" 0 cli ports; says "^COM7 .*programming board"
check "new" 0 cli new "$(W a.tbl)"
check "set" 0 cli set "$(W a.tbl)" capcode.1=1000100 capcode.1.enable=on
check "write through COM7" 0 cli write --port 7 "$(W a.tbl)"; says "Verify Success!"
check "read through COM7" 0 cli read --port 7 -o "$(W r.tbl)"
check "read gives what was written" 0 cmp "$work/a.tbl" "$work/r.tbl"
check "verify" 0 cli verify --port 7 "$(W a.tbl)"; says "Verify Success!"
# The table file the window is started with, named in accents, Greek and CJK.
table_folder="Jürgen Ωμέγα 測試"
table_name="Prüfung Ω 表格.tbl"
mkdir -p "$work/$table_folder"
check "a table file for the window" 0 cli new "$(W "$table_folder/$table_name")"
check "its capcode" 0 cli set "$(W "$table_folder/$table_name")" capcode.1=1000777 capcode.1.enable=on

# The window: found by its title under a virtual display; it opens the table
# file named on its command line, and its tour writes that image, verifies
# and reads it through the board it finds.
# The command line's wine session must end first: a window program that joins
# it gets the session's desktop, which was started without a display, and
# neither shows its window on the virtual screen nor closes its message boxes.
timeout 60 wineserver -w || wineserver -k
shots_windows="Z:${work//\//\\}\\shots"
status=0
PX316T_SCREENSHOT_TOUR=$shots_windows timeout 300 \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --inside-display "$work" "$window_exe" \
  "$(W "$table_folder/$table_name")" || status=$?
# What the tour did, from its log (the window program's own stderr may be lost).
tr -d '\r' 2>/dev/null <"$work/shots/tour.log" >"$work/out" || cat "$work/window.log" >"$work/out" 2>/dev/null || true
if [ "$status" -eq 0 ] && [ -s "$work/screen.png" ]; then
  echo "ok: the main window appeared: $(cat "$work/window-title")"
else
  echo "FAILED: the window program (exit status $status)"; cat "$work/out" "$work/window.log" 2>/dev/null || true
  failures=$((failures + 1))
fi
for message in "Verify Success!" "Read success!"; do
  says "message: $message"
done
[ "$(grep -c "message: Verify Success!" "$work/out")" -ge 2 ] \
  || { echo "FAILED: the window's write and verify did not both succeed"; failures=$((failures + 1)); }
for png in page-code-and-features programming-write about; do
  [ -s "$work/shots/$png.png" ] || { echo "FAILED: the tour did not save $png.png"; failures=$((failures + 1)); }
done
check "the window wrote the file it was started with" 0 cmp "$work/$table_folder/$table_name" "$work/pager.tbl"
check "read what the window wrote" 0 cli read --port 7 -o "$(W w.tbl)"
check "it is the pager's memory" 0 cmp "$work/w.tbl" "$work/pager.tbl"
check "verify finds the earlier file differs" 1 cli verify --port 7 "$(W a.tbl)"

# Labels and a report: a batch on a PostgreSQL cluster, two pagers produced
# from it with their labels gathered in a PDF named in accents, Greek and CJK,
# the labels made again from the record, and the batch's report. Both symbols
# of each label are read back from the rendered page.
start_pg_cluster
export PX316T_PRODUCTION_DB=$pg_conninfo
labels="$table_folder/Etiketten Ω 標籤.pdf"
check "a batch" 0 cli batch create smoke --first 1000900 --last 1000909
check "produce with labels" 0 cli produce "$(W a.tbl)" --count 2 --no-wait --port 7 --batch smoke \
  --station windows-1 --labels "$(W "$labels")"
check "labels again from the record" 0 cli label smoke --capcodes 1000901-1000901 -o "$(W again.pdf)"
scanned() {   # the symbols zbarimg reads on page $2 of PDF $1
  rm -f "$work"/page*.png
  pdftoppm -r 600 -png -f "$2" -l "$2" "$1" "$work/page" && zbarimg -q "$work"/page*.png 2>/dev/null | sort | tr '\n' ' '
}
for expected in "$labels|1|A1000900" "$labels|2|A1000901" "again.pdf|1|A1000901"; do
  IFS='|' read -r file page capcode <<<"$expected"
  symbols=$(scanned "$work/$file" "$page" || true)
  if [ "$symbols" = "CODE-128:$capcode QR-Code:$capcode " ]; then
    echo "ok: $(basename "$file") page $page: its barcode and QR code read $capcode"
  else
    echo "FAILED: $(basename "$file") page $page reads \"$symbols\", not $capcode twice"; failures=$((failures + 1))
  fi
done
check "the labels' text, in their font" 0 pdftotext "$work/$labels" -
for line in "A1000900" "A1000901" "MHz" "smoke"; do says "$line"; done
check "the batch report" 0 cli batch report smoke -o "$(W "$table_folder/Bericht Ω 報告.pdf")"
check "the report's text" 0 pdftotext -layout "$work/$table_folder/Bericht Ω 報告.pdf" -
for line in "Batch report: smoke" "1000900 to 1000909" "windows-1" "  2  *0  *0  *0  *8$"; do says "$line"; done
unset PX316T_PRODUCTION_DB

if [ -n "$setup" ]; then
  installed=$WINEPREFIX/drive_c/px316t
  uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\PX316T Service Tool'
  # Wine plays Windows 7 unless told otherwise; the installer wants 10 or 11.
  check "the installer refuses Windows 7" 6 wine "$setup" /S '/D=C:\px316t'
  wine winecfg /v win10 >/dev/null 2>&1
  check "the installer, silently" 0 wine "$setup" /S '/D=C:\px316t'
  for file in px316t.exe px316t-cli.exe Qt6Widgets.dll libpq.dll platforms/qwindows.dll README.txt uninstall.exe; do
    [ -f "$installed/$file" ] || { echo "FAILED: the installer did not put $file there"; failures=$((failures + 1)); }
  done
  check "the installed programs list" 0 wine reg query "$uninstall_key"
  for value in "Publisher.*PX316T service tool team" "DisplayIcon.*px316t.exe,0" "DisplayVersion.*[0-9]" \
               "EstimatedSize.*0x[0-9a-f]*[1-9a-f]"; do
    says "$value"
  done
  check ".tbl files open in the window program" 0 wine reg query 'HKLM\Software\Classes\PX316T.TableFile\shell\open\command'
  says 'px316t.exe" "%1"'
  check "the Start menu entry for every user" 0 test -f \
    "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/PX316T/PX316T Service Tool.lnk"
  check "the installed command line finds the board" 0 wine 'C:\px316t\px316t-cli.exe' ports
  says "^COM7 .*programming board"
  # The user's settings and data, which an update and the uninstaller keep.
  check "a read keeps a backup in the user's data" 0 wine 'C:\px316t\px316t-cli.exe' read --port 7 -o "$(W i.tbl)"
  wine reg add 'HKCU\Software\PX316T\File Places' /v LastFolder /d 'C:\tables' /f >/dev/null 2>&1
  appdata=$(find "$WINEPREFIX/drive_c/users" -maxdepth 4 -type d -path '*/AppData/Roaming/px316t' | head -n 1)
  [ -n "$appdata" ] || { echo "FAILED: no data folder under AppData\Roaming"; failures=$((failures + 1)); }

  # A running command line (a production run waiting for its next pager) holds an update back.
  mkfifo "$work/enter"
  wine 'C:\px316t\px316t-cli.exe' produce "$(W a.tbl)" --count 2 --port 7 <"$work/enter" >"$work/running.log" 2>&1 &
  running=$!
  exec 8>"$work/enter"
  for _ in $(seq 120); do grep -q "Verify Success" "$work/running.log" && break; sleep 0.25; done
  check "an update waits for a running command line" 5 wine "$setup" /S '/D=C:\px316t'
  [ -f "$installed/px316t-cli.exe" ] || { echo "FAILED: the refused update removed files"; failures=$((failures + 1)); }
  exec 8>&-
  wait "$running" || true

  check "an update over the installed version" 0 wine "$setup" /S '/D=C:\px316t'
  check "one entry in the installed programs list" 0 wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
  [ "$(grep -c 'PX316T Service Tool' "$work/out")" -eq 1 ] || { echo "FAILED: not one entry"; failures=$((failures + 1)); }
  check "the updated command line finds the board" 0 wine 'C:\px316t\px316t-cli.exe' ports
  says "^COM7 .*programming board"

  check "the uninstaller, silently" 0 wine 'C:\px316t\uninstall.exe' /S '_?=C:\px316t'
  if [ -e "$installed/px316t.exe" ] || [ -e "$installed/Qt6Core.dll" ]; then
    echo "FAILED: the uninstaller left the programs"; failures=$((failures + 1))
  else
    echo "ok: the uninstaller removed the programs"
  fi
  check "it removed the .tbl association" 1 wine reg query 'HKLM\Software\Classes\PX316T.TableFile'
  check "it kept the user's settings" 0 wine reg query 'HKCU\Software\PX316T\File Places' /v LastFolder
  check "it kept the user's data" 0 test -n "$(ls "$appdata/backups")"
  check "the installer again" 0 wine "$setup" /S '/D=C:\px316t'
  check "the uninstaller, asked to remove the user's data" 0 wine 'C:\px316t\uninstall.exe' /S /REMOVEUSERDATA '_?=C:\px316t'
  check "the user's settings are gone" 1 wine reg query 'HKCU\Software\PX316T'
  check "the user's data is gone" 1 test -e "$appdata"
fi

if [ -n "$screenshot" ] && [ -s "$work/screen.png" ]; then
  # The screen cut to the window (the virtual screen is larger).
  if ! convert "$work/screen.png" -trim +repage "$screenshot" 2>/dev/null; then
    cp "$work/screen.png" "$screenshot"
  fi
  echo "screenshot of the main window under wine: $screenshot"
fi

wine_checks_end "Windows package checks"
echo "the Windows package under wine: every check passed"
