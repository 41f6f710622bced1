#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite
# headless: once under AddressSanitizer and UndefinedBehaviorSanitizer, then in
# the normal build, whose CTest summary ends the output.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

echo "== sanitizer build (build-asan)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPX316T_SANITIZE=ON >/dev/null
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan -j "$jobs" --output-on-failure

echo "== normal build (build)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build -j "$jobs" --output-on-failure
