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
# On this processor the plug-ins choose the baseline themselves; the wide path's test skips.
qemu-x86_64 -cpu Nehalem "$build/code_path_test"
for plugin in borealis kestrel; do
  qemu-x86_64 -cpu Nehalem "$build/orv-host" process "$plugin" --demo "$build/baseline-cpu-$plugin.wav" --report
done
