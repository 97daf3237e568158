#!/usr/bin/env bash
# Builds Orv Borealis and the command-line host, then runs audio through the plug-in: the given
# file, or the built-in demo signal when none is given. Output: build/orv-demo.wav
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target orv-host OrvBorealis
./build/orv-host process borealis "$@" build/orv-demo.wav --preset "Gentle Master" --report
echo "wrote build/orv-demo.wav"
