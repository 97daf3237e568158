#!/usr/bin/env bash
# Runs one test signal through the Linux plug-ins (orv-host with the .so files) and through the
# Windows DLLs (orv-host.exe under Wine), in several settings, and compares the results.
# usage: compare_audio.sh LINUX_BUILD WINDOWS_BUILD WINE WORK_FOLDER
set -euo pipefail
linux=$1 windows=$2 wine=$3 work=$4
mkdir -p "$work"
cd "$work"
"$wine" "$windows/orv-windows-tests.exe" --write-signal signal.wav

rm -f summary.txt
status=0
run() {  # name plug-in [options...]
  local name=$1 plugin=$2
  shift 2
  "$linux/orv-host" process "$plugin" signal.wav "linux-$name.wav" "$@" >/dev/null
  "$wine" "$windows/orv-host.exe" process "$plugin" signal.wav "windows-$name.wav" "$@" >/dev/null
  local result
  if result=$("$wine" "$windows/orv-windows-tests.exe" --compare "linux-$name.wav" "windows-$name.wav"); then
    echo "$plugin $name: $result" | tee -a summary.txt
  else
    echo "$plugin $name: MISMATCH $result" | tee -a summary.txt
    status=1
  fi
}
run default borealis
run heavy borealis --set 5=0.7 --set 6=0.9 --set 2=1 --set 3=1 --set 4=1 --set 12=1
run fat-auto borealis --set 1=1 --set 5=0.6 --set 6=0.8 --set 8=1 --set 10=1 --set 24=1
run smooth borealis --set 26=1 --set 5=0.6 --set 6=0.8 --set 21=0.6
run double borealis --double --set 5=0.7 --set 6=0.9 --set 4=1
# The same settings on the SSE2 baseline path (the runs above take the widest path the
# processor has, on both systems alike).
run default-sse2 borealis --sse2
run fat-auto-sse2 borealis --sse2 --set 1=1 --set 5=0.6 --set 6=0.8 --set 8=1 --set 10=1 --set 24=1
run smooth-sse2 borealis --sse2 --set 26=1 --set 5=0.6 --set 6=0.8 --set 21=0.6
run double-sse2 borealis --sse2 --double --set 5=0.7 --set 6=0.9 --set 4=1
if [ -f "$linux/OrvKestrel.so" ] && [ -f "$windows/OrvKestrel.dll" ]; then
  run default kestrel
  run heavy kestrel --set 5=0.7 --set 6=0.9 --set 2=1 --set 3=1
  run smooth-sse2 kestrel --sse2 --set 27=1 --set 5=0.7 --set 6=0.9
fi
exit $status
