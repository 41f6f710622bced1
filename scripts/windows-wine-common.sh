# Shared by the Windows checks under wine (sourced, not run): the board
# emulator behind a pseudo-terminal, a throw-away wine prefix in a scratch
# folder, and the check helpers that count failures.
#
#   wine_checks_begin NAME    makes $work (with $WINEPREFIX in it), starts the
#                             emulator on $work/pager.tbl, sets $tty, and
#                             removes everything again on exit
#   check WHAT STATUS CMD...  runs CMD, expects exit STATUS, keeps its output
#   says PATTERN              the last check's output matches PATTERN
#   W FILE                    FILE of $work as wine names it (Z:...)
#   wine_checks_end WHAT      exits 1 when a check failed

board_emulator() {
  local emulator=${PX316T_BOARD_EMULATOR:-} candidate
  for candidate in build/tools/board_emulator/px316t-board-emulator build-lpt/tools/board_emulator/px316t-board-emulator; do
    [ -z "$emulator" ] && [ -x "$candidate" ] && emulator=$candidate
  done
  if [ -z "$emulator" ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build -j "$(nproc)" --target px316t-board-emulator >&2
    emulator=build/tools/board_emulator/px316t-board-emulator
  fi
  echo "$emulator"
}

wine_checks_begin() {
  local emulator
  emulator=$(board_emulator)
  work=$(mktemp -d "${TMPDIR:-/tmp}/px316t-$1-XXXXXX")
  WINEPREFIX=$work/prefix
  export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  # The emulator's own link folder and data stay in the scratch folder too.
  export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
  emulator_pid=""
  trap 'wine_checks_cleanup' EXIT
  mkdir -p "$WINEPREFIX"
  "$emulator" --memory "$work/pager.tbl" >"$work/emulator.log" 2>&1 &
  emulator_pid=$!
  for _ in $(seq 50); do grep -q "/dev/pts/" "$work/emulator.log" && break; sleep 0.1; done
  tty=$(grep -o "/dev/pts/[0-9]*" "$work/emulator.log" | head -n 1)
  [ -n "$tty" ] || { cat "$work/emulator.log"; echo "the board emulator did not start" >&2; exit 1; }
  failures=0
}

wine_checks_cleanup() {
  [ -n "$emulator_pid" ] && kill "$emulator_pid" 2>/dev/null
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}

check() {
  local what=$1 expected=$2
  shift 2
  local status=0
  "$@" >"$work/out" 2>&1 || status=$?
  if [ "$status" -ne "$expected" ]; then
    echo "FAILED: $what (exit status $status, expected $expected)"; cat "$work/out"; failures=$((failures + 1))
  else
    echo "ok: $what"
  fi
}
says() { grep -q "$1" "$work/out" || { echo "FAILED: output lacks \"$1\""; cat "$work/out"; failures=$((failures + 1)); }; }
W() { echo "Z:$work/$1"; }

wine_checks_end() {
  [ "$failures" -eq 0 ] || { echo "$failures $1 failed" >&2; exit 1; }
}
