#!/usr/bin/env bash
# Builds both plug-ins and the command-line host (so that `cmake --install build` can follow),
# then runs audio through Orv Borealis: the given file, or the built-in demo signal when none is
# given. Output: build/orv-demo.wav, replaced on every run.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target orv-host OrvBorealis OrvKestrel
if [ $# -eq 0 ]; then set -- --demo; fi
./build/orv-host process borealis "$@" build/orv-demo.wav --preset "Gentle Master" --report
echo "wrote build/orv-demo.wav"
