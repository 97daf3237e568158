#!/usr/bin/env bash
# Builds everything and runs the whole test suite (CTest + GoogleTest).
# Pass --sanitize to build and run it with AddressSanitizer + UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
dir=build
args=(-DCMAKE_BUILD_TYPE=Release)
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-sanitize
  args=(-DCMAKE_BUILD_TYPE=Debug -DORV_SANITIZE=ON)
fi
cmake -S . -B "$dir" "${args[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" --timeout 300
