#!/usr/bin/env bash
# Runs one fuzz harness under clang's libFuzzer with AddressSanitizer and
# UndefinedBehaviorSanitizer for a number of seconds:
#
#     scripts/fuzz.sh TARGET SECONDS [more libFuzzer options]
#
# TARGET is one of: table_file reg_import usb_replies lpt_status cli_set show_set allocation_list. The harnesses
# are built in build-fuzz/. The run starts from the target's corpus in
# tests/fuzz/corpus/TARGET and grows a working corpus in build-fuzz/corpus/TARGET;
# a crash is written to build-fuzz/findings/TARGET/. Copy a small reproducer of
# every fixed fault into tests/fuzz/corpus/TARGET so that CTest replays it.
set -euo pipefail
cd "$(dirname "$0")/.."

targets=(table_file reg_import usb_replies lpt_status cli_set show_set allocation_list)
if [ $# -lt 2 ] || [[ ! " ${targets[*]} " == *" $1 "* ]] || ! [[ $2 =~ ^[0-9]+$ ]]; then
  echo "usage: $0 TARGET SECONDS [libFuzzer options]   (TARGET: ${targets[*]})" >&2
  exit 2
fi
target=$1
seconds=$2
shift 2

if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ is missing (scripts/install-deps.sh installs it)" >&2
  exit 2
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DPX316T_FUZZ=ON -DPX316T_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build build-fuzz --target "fuzz_$target"

work=build-fuzz/corpus/$target
findings=build-fuzz/findings/$target
mkdir -p "$work" "$findings"
export QT_QPA_PLATFORM=offscreen
# The harnesses save files and a settings store many times a second; in memory
# the store's syncs cost nothing.
[ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Leaks are left to the sanitizer build of the test suite: the window and Qt keep
# caches for the life of the process, which would stop every run at its end.
exec "build-fuzz/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
  -artifact_prefix="$findings/" -timeout=30 -rss_limit_mb=4096 "$@" "$work" "tests/fuzz/corpus/$target"
