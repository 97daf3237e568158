#!/usr/bin/env bash
# Builds everything and runs the whole test suite (CTest + GoogleTest).
#   --sanitize  build and run it with AddressSanitizer + UndefinedBehaviorSanitizer
#   --clang     build it with clang-14 instead of the default compiler (GCC)
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
sanitize=0 clang=0
for option in "$@"; do
  case "$option" in
    --sanitize) sanitize=1 ;;
    --clang) clang=1 ;;
    *) echo "usage: $0 [--sanitize] [--clang]" >&2; exit 2 ;;
  esac
done
dir=build
args=(-DCMAKE_BUILD_TYPE=Release)
if [ $sanitize = 1 ]; then
  dir=build-sanitize
  args=(-DCMAKE_BUILD_TYPE=Debug -DORV_SANITIZE=ON)
fi
if [ $clang = 1 ]; then
  dir=$dir-clang
  args+=(-DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14)
fi
# Sanitizer settings apply to the build too: the art generator runs during it.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
if command -v ccache >/dev/null; then
  args+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" "${args[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" --timeout 300
