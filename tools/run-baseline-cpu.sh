#!/usr/bin/env bash
# The baseline code path on a processor without AVX: the built plug-ins render the reference set
# under qemu emulating an SSE4.2-era Intel processor (Nehalem, no AVX, no FMA). A plug-in that
# let any wide-path code slip into its baseline stops with an illegal instruction here.
#
#   tools/run-baseline-cpu.sh [BUILD_DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
command -v qemu-x86_64 >/dev/null || { echo "qemu-x86_64 is missing: apt-get install qemu-user" >&2; exit 1; }
[ -x "$build/code_path_test" ] || { echo "build the tests first: $build/code_path_test is missing" >&2; exit 1; }
# A function compiled into both a path's baseline object and its wide object under one name is
# kept once by the linker, in either form: the baseline could then run the wide one's AVX code.
for engine in borealis kestrel; do
  dir="$build/$engine/CMakeFiles/orv_${engine}_engine.dir"
  shared=$(comm -12 <(nm "$dir/kernel_paths.cpp.o" | awk '$2 ~ /^[WVu]$/ && $3 !~ /^DW\.ref/ {print $3}' | sort) \
                    <(nm "$dir/kernel_paths_wide.cpp.o" | awk '$2 ~ /^[WVu]$/ && $3 !~ /^DW\.ref/ {print $3}' | sort))
  if [ -n "$shared" ]; then
    echo "$engine: functions compiled into both code paths under one name:" >&2
    echo "$shared" | c++filt >&2
    exit 1
  fi
done
echo "no function is shared between the code paths' objects"
# On this processor the plug-ins choose the baseline themselves; the wide path's test skips.
qemu-x86_64 -cpu Nehalem "$build/code_path_test"
for plugin in borealis kestrel; do
  qemu-x86_64 -cpu Nehalem "$build/orv-host" process "$plugin" --demo "$build/baseline-cpu-$plugin.wav" --report
done
