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
#   at_cleanup CMD...         runs CMD too when the checks end
#   has_resources EXE         EXE carries an icon and version 5.02 information
#   linux_cli                 a Linux px316t-cli for the USB board (built when none is there)
#   start_pg_cluster          a throw-away PostgreSQL cluster on 127.0.0.1; sets $pg_conninfo

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
  for _ in $(seq 300); do grep -q "/dev/pts/" "$work/emulator.log" && break; sleep 0.1; done
  tty=$(grep -o "/dev/pts/[0-9]*" "$work/emulator.log" | head -n 1)
  [ -n "$tty" ] || { cat "$work/emulator.log"; echo "the board emulator did not start" >&2; exit 1; }
  failures=0
}

cleanup_steps=()
at_cleanup() { cleanup_steps+=("$*"); }

wine_checks_cleanup() {
  [ -n "$emulator_pid" ] && kill "$emulator_pid" 2>/dev/null
  local step
  for step in "${cleanup_steps[@]}"; do eval "$step" || true; done
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}

# The resource section of a Windows program: an icon (resource type 3 and its
# group, 14) and version information (16) whose texts name this version.
has_resources() {
  local exe=$1 version type
  version=$(sed -n 's/^project(px316t VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
  x86_64-w64-mingw32-objdump -p "$exe" >"$work/headers" || return 1
  for type in 000003 00000e 000010; do   # ICON, GROUP_ICON, VERSION: the resource types
    grep -q "^[0-9a-f]*   Entry: ID: 0x$type," "$work/headers" || { echo "no resource of type 0x$type in $exe"; return 1; }
  done
  x86_64-w64-mingw32-objcopy -O binary --only-section=.rsrc "$exe" "$work/rsrc" || return 1
  iconv -f UTF-16LE -t UTF-8 -c "$work/rsrc" | tr '\0' '\n' >"$work/rsrc.txt"
  grep -q "ProductVersion" "$work/rsrc.txt" && grep -qx "$version" "$work/rsrc.txt" \
    && grep -qx "PX316T Service Tool" "$work/rsrc.txt" || { echo "no version $version information in $exe"; return 1; }
}

# A Linux px316t-cli for the USB board: PX316T_LINUX_CLI, the normal or the
# sanitizer build's (the test command has made that one before this stage),
# or one built into build/.
linux_cli() {
  local cli=${PX316T_LINUX_CLI:-} candidate
  for candidate in build/src/cli/px316t-cli build-asan/src/cli/px316t-cli; do
    [ -z "$cli" ] && [ -x "$candidate" ] && cli=$candidate
  done
  if [ -z "$cli" ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build -j "$(nproc)" --target px316t-cli >&2
    cli=build/src/cli/px316t-cli
  fi
  echo "$cli"
}

# initdb refuses to run as root: the server then runs as "nobody", in a folder
# of its own that nobody may enter.
start_pg_cluster() {
  local bin as_user="" port
  bin=$(find /usr/lib/postgresql -maxdepth 3 -name initdb -path '*/bin/*' | sort -V | tail -n 1)
  [ -n "$bin" ] || { echo "no PostgreSQL server under /usr/lib/postgresql" >&2; return 1; }
  bin=$(dirname "$bin")
  pg_folder=$(mktemp -d "${TMPDIR:-/tmp}/px316t-pg-XXXXXX")
  if [ "$(id -u)" -eq 0 ]; then
    chown nobody "$pg_folder"
    as_user="runuser -u nobody --"
  fi
  at_cleanup "$as_user $bin/pg_ctl -D $pg_folder/data -m immediate -w stop >/dev/null 2>&1; rm -rf $pg_folder"
  $as_user "$bin/initdb" -D "$pg_folder/data" -U px316t -A trust -E UTF8 --no-sync --no-instructions \
    >"$work/initdb.log" 2>&1 || { cat "$work/initdb.log"; return 1; }
  # A free port: the first of a few that the server accepts.
  for port in $((20000 + RANDOM % 20000)) $((20000 + RANDOM % 20000)) $((20000 + RANDOM % 20000)); do
    if $as_user "$bin/pg_ctl" -D "$pg_folder/data" -l "$pg_folder/server.log" -w -t 60 \
         -o "-c listen_addresses=127.0.0.1 -c port=$port -c unix_socket_directories=$pg_folder -c fsync=off" \
         start >/dev/null 2>&1; then
      pg_conninfo="host=127.0.0.1 port=$port user=px316t dbname=postgres"
      return 0
    fi
  done
  cat "$pg_folder/server.log"
  return 1
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
