#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite
# headless: once under AddressSanitizer and UndefinedBehaviorSanitizer, then the
# programs and command-line tests of the build for the parallel-port board
# (build-lpt), then the Qt-free folders cross-built for Windows and tested under
# wine (scripts/windows-test.sh), then the normal build.
# The normal build then makes the Debian package and checks it, and runs each
# benchmark once (figures are printed, not judged); its CTest summary ends the
# output. Every build of the test command treats a compiler warning as an error
# (PX316T_WERROR).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

echo "== sanitizer build (build-asan)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPX316T_SANITIZE=ON -DPX316T_WERROR=ON "${launcher[@]}" >/dev/null
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan -j "$jobs" --output-on-failure

echo "== parallel-port board build (build-lpt)"
# The build's board reaches only the programs' main files and the command
# line's tests; every library and every other test is the same as in the
# normal build, whose objects the compiler cache shares.
cmake -S . -B build-lpt -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPX316T_LINK_KIND=LPT -DPX316T_WERROR=ON "${launcher[@]}" >/dev/null
cmake --build build-lpt -j "$jobs" --target px316t px316t-cli px316t-board-emulator test_cli
build-lpt/tests/test_cli

echo "== Windows: Qt-free folders cross-built with MinGW-w64, tests under wine (build-windows)"
scripts/windows-test.sh

echo "== normal build (build)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPX316T_WERROR=ON "${launcher[@]}" >/dev/null
cmake --build build -j "$jobs"

echo "== Debian package from the normal build"
scripts/package.sh --check build

echo "== benchmarks (one smoke run each)"
for bench in bench_refresh bench_startup bench_resize bench_usb_transfer bench_lpt_transfer; do
  echo "-- $bench"
  build/bench/$bench 2>"build/$bench.stderr" || { cat "build/$bench.stderr"; echo "$bench failed" >&2; exit 1; }
done

echo "== normal build tests"
ctest --test-dir build -j "$jobs" --output-on-failure
