#!/usr/bin/env bash
# Builds the two-thread host with ThreadSanitizer in build-tsan/ and runs it: one thread
# processes audio through both engines while another loads presets and banks and sets every
# parameter. Prints a summary; exits nonzero when ThreadSanitizer reports anything or the host
# itself fails. Usage: tools/run-tsan.sh [seconds per plug-in, default 3]
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
seconds="${1:-3}"
dir=build-tsan
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" -DCMAKE_C_FLAGS="-fsanitize=thread" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=thread" \
  -DCMAKE_MODULE_LINKER_FLAGS="-fsanitize=thread" >/dev/null
# Only the host and the two engines it links.
cmake --build "$dir" -j"$(nproc)" --target orv_tsan_host >/dev/null

log="$dir/tsan-report.txt"
config="$(mktemp -d)"
trap 'rm -rf "$config"' EXIT
status=0
XDG_CONFIG_HOME="$config" TSAN_OPTIONS="halt_on_error=0 exitcode=66 history_size=4 second_deadlock_stack=1" \
  timeout 150 "$dir/orv_tsan_host" "$seconds" >"$log" 2>&1 || status=$?
reports=$(grep -c '^WARNING: ThreadSanitizer' "$log" || true)
grep -v '^WARNING: ThreadSanitizer\|^  \|^    \|^SUMMARY\|^==\|^$' "$log" | grep -v '^[A-Z][a-z]* of size\|^Previous\|^Location\|^Thread\|^Mutex' || true
if [ "$reports" -gt 0 ] || [ "$status" -ne 0 ]; then
  echo "ThreadSanitizer: $reports report(s), host exit status $status; details in $log"
  grep -A12 -m3 '^WARNING: ThreadSanitizer' "$log" || true
  exit 1
fi
echo "ThreadSanitizer: clean (two threads, ${seconds} s per plug-in)"
