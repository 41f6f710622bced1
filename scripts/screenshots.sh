#!/usr/bin/env bash
# Makes the README's pictures from the current program: builds it, starts the
# board emulator and the program under a virtual display (xvfb-run), and lets
# the program's screenshot tour (PX316T_SCREENSHOT_TOUR) save the three pages,
# the programming window in the middle of a write and the About box.
#
#     scripts/screenshots.sh [--scale N] [--out DIR] [BUILD_DIR]
#
# The README's pictures are taken at twice the normal size (QT_SCALE_FACTOR=2,
# the default --scale) into docs/; `--scale 1 --out DIR` takes the normal size
# for checking the layout there too. BUILD_DIR defaults to build/.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
scale=2
out=docs
while [ $# -gt 0 ]; do
  case $1 in
    --scale) scale=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    -h|--help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) build=$1; shift ;;
  esac
done

scripts/install-deps.sh
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)" --target px316t px316t-board-emulator

# A home of its own: the emulator's COM link and the program's settings store
# stay out of the user's folders, and the pictures show a fresh start.
scratch=$(mktemp -d)
emulator_pid=
cleanup() {
  [ -n "$emulator_pid" ] && kill "$emulator_pid" 2>/dev/null && wait "$emulator_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
export HOME=$scratch XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data
unset QT_QPA_PLATFORM

"$build/tools/board_emulator/px316t-board-emulator" >"$scratch/emulator.log" 2>&1 &
emulator_pid=$!
for _ in $(seq 100); do
  grep -q "COM[0-9]* on " "$scratch/emulator.log" && break
  sleep 0.1
done
grep -q "COM[0-9]* on " "$scratch/emulator.log" || { cat "$scratch/emulator.log"; echo "the board emulator did not start" >&2; exit 1; }

mkdir -p "$out"
# A screen large enough for the scaled window.
QT_SCALE_FACTOR=$scale PX316T_SCREENSHOT_TOUR=$scratch/shots \
  xvfb-run -a -s "-screen 0 $((1280 * scale))x$((1024 * scale))x24" "$build/src/app/px316t"
for png in page-code-and-features page-alerts-and-status page-prompts programming-write about; do
  [ -s "$scratch/shots/$png.png" ] || { echo "$png.png was not made" >&2; exit 1; }
  cp "$scratch/shots/$png.png" "$out/$png.png"
done
echo "pictures at ${scale}x in $out/"
