#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (in build-fuzz/) and runs each for a bounded time on a
# temporary copy of its seed corpus, so the repository is never changed. Prints the executions
# of every target and exits nonzero when any target crashes or fails a check.
#
#   tools/run-fuzz.sh              every target, 20 s each
#   FUZZ_SECONDS=120 tools/run-fuzz.sh bank_chunk_fuzzer
#
# A crashing input is kept under build-fuzz/fuzz/crashes/<target>/; replay it with
#   build-fuzz/fuzz/<target> <file>
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${FUZZ_SECONDS:-20}
dir=build-fuzz

# clang-14 and its runtime libraries (libFuzzer and the sanitizers), when missing.
missing=()
for p in clang-14 libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
tools/install-deps.sh

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
CC=clang-14 CXX=clang++-14 cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORV_FUZZ=ON \
  -DORV_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)" --target fuzzers

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(grep -v '^$' "$dir/fuzz/fuzzers.txt")
fi

work=$(mktemp -d /tmp/orv-run-fuzz-XXXXXX)
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"

status=0
summary=()
for t in "${targets[@]}"; do
  exe="$dir/fuzz/$t"
  if [ ! -x "$exe" ]; then
    echo "run-fuzz: no fuzz target $t" >&2
    status=1
    continue
  fi
  corpus="$work/corpus-$t"
  mkdir -p "$corpus"
  # A target's seeds live in fuzz/corpus/<target>/ or, for targets of other subsystems, in a
  # folder named in the target's own .cmake file; copy whatever exists.
  if [ -d "fuzz/corpus/$t" ]; then cp -R "fuzz/corpus/$t/." "$corpus/"; fi
  crashes="$dir/fuzz/crashes/$t"
  mkdir -p "$crashes"
  log="$work/$t.log"
  echo "== $t: ${seconds} s"
  set +e
  # Each target keeps its own per-user store; the fuzzers never touch the real one.
  XDG_CONFIG_HOME="$work/config-$t" "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$crashes/" "$corpus" >"$log" 2>&1
  rc=$?
  set -e
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  execs=${execs:-0}
  if [ $rc -ne 0 ]; then
    tail -n 60 "$log"
    echo "run-fuzz: $t FAILED (exit $rc) after $execs executions; inputs in $crashes" >&2
    summary+=("$t: FAILED after $execs executions")
    status=1
  else
    summary+=("$t: $execs executions in ${seconds} s")
  fi
done

echo "== fuzz summary"
printf '  %s\n' "${summary[@]}"
exit $status
