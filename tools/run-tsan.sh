#!/usr/bin/env bash
# Builds the two-thread hosts with ThreadSanitizer in build-tsan/ and runs them: one thread
# processes audio through both engines while another loads presets and banks and sets every
# parameter; then, for each plug-in, the audio thread automates every parameter in every block
# while the interface thread opens, idles and closes the editor in a window on an X server
# (a private Xvfb is started here when there is no DISPLAY). Prints a summary; exits nonzero
# when ThreadSanitizer reports anything or a host itself fails.
# Usage: tools/run-tsan.sh [seconds per plug-in and part, default 3]
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
# Only the hosts and what they link.
jobs=$(nproc)
[ "$jobs" -gt 2 ] && jobs=2
cmake --build "$dir" -j"$jobs" --target orv_tsan_host orv_tsan_editor_borealis orv_tsan_editor_kestrel >/dev/null

log="$dir/tsan-report.txt"
config="$(mktemp -d)"
xvfb_pid=
cleanup() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$config"
}
trap cleanup EXIT
# The editors open in a window on an X server: without a display, a private Xvfb of our own.
if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
  for n in $(seq $((100 + $$ % 200)) 7 499); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -nolisten tcp -screen 0 640x480x24 >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.05; done
    if [ -e "/tmp/.X11-unix/X$n" ]; then export DISPLAY=":$n"; break; fi
    kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; xvfb_pid=
  done
fi
status=0
: >"$log"
run() {
  XDG_CONFIG_HOME="$config" TSAN_OPTIONS="halt_on_error=0 exitcode=66 history_size=4 second_deadlock_stack=1" \
    timeout 150 "$@" >>"$log" 2>&1 || status=$?
}
run "$dir/orv_tsan_host" "$seconds" 7
run "$dir/orv_tsan_editor_borealis" "$seconds" 8
run "$dir/orv_tsan_editor_kestrel" "$seconds" 8
reports=$(grep -c '^WARNING: ThreadSanitizer' "$log" || true)
grep -v '^WARNING: ThreadSanitizer\|^  \|^    \|^SUMMARY\|^==\|^$' "$log" | grep -v '^[A-Z][a-z]* of size\|^Previous\|^Location\|^Thread\|^Mutex' || true
if [ "$reports" -gt 0 ] || [ "$status" -ne 0 ]; then
  echo "ThreadSanitizer: $reports report(s), host exit status $status; details in $log"
  grep -A12 -m3 '^WARNING: ThreadSanitizer' "$log" || true
  exit 1
fi
where="offscreen"
[ -n "${DISPLAY:-}" ] && where="on X display $DISPLAY"
echo "ThreadSanitizer: clean (two threads, ${seconds} s per plug-in and part, editors $where)"
