#!/usr/bin/env bash
# Measures the plug-ins' processing cost in one run, each figure as a ratio to an outside
# reference (LSP "Compressor Stereo", VST 2.4, from Debian's lsp-plugins-vst) measured in the
# same run, since timings on a shared machine drift.
#
#   bench/run-bench.sh [--seconds S] [--repeat R] [--callgrind]
#
# --callgrind also counts instructions per stereo frame under valgrind (repeatable where
# timings are not): only what runs inside the host's block call is counted (the plug-in's
# processing and the host's sample conversion), divided by the frames processed.
set -euo pipefail
cd "$(dirname "$0")/.."
host=build/orv-host
seconds=5
repeat=5
callgrind=0
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    --repeat) repeat=$2; shift 2 ;;
    --callgrind) callgrind=1; shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
[ -x "$host" ] || { echo "build first: cmake --build build" >&2; exit 1; }
reference=/usr/lib/vst/lsp-plugins/compressor-stereo.so
[ -f "$reference" ] || reference=""

ns_of() {  # plug-in, then orv-host options; prints the minimum ns per stereo frame
  "$host" bench "$@" --seconds "$seconds" --repeat "$repeat" | sed -n 's/^bench-result ns_min=\([0-9.]*\).*/\1/p'
}
instructions_of() {  # plug-in, rate, then orv-host options; prints instructions per frame
  local plugin=$1 rate=$2; shift 2
  local total
  total=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null --toggle-collect='orvhost::BlockRunner::run(int)' \
      "$host" bench "$plugin" --rate "$rate" "$@" --seconds 2 --repeat 1 2>&1 | sed -n 's/.*Collected : \([0-9]*\).*/\1/p')
  awk -v t="$total" -v r="$rate" 'BEGIN { printf "%.1f", t / (2 * r) }'
}

variants=("normal:" "FAT:--set 1=1" "Smooth:--set 26=1" "Smooth+FAT:--set 26=1 --set 1=1" "power-off:--set 0=0")
kestrel_variants=("stereo Draft:" "stereo Smooth:--set 27=1" "mono Draft:--set 28=0" "mono Smooth:--set 28=0 --set 27=1")

printf '%-28s %8s %10s %10s %9s' "plug-in / variant" "rate" "ns/frame" "realtime" "ratio"
[ $callgrind = 1 ] && printf ' %12s %9s' "instr/frame" "ratio"
printf '\n'
for rate in 44100 96000; do
  ref_ns=""
  ref_ins=""
  if [ -n "$reference" ]; then
    ref_ns=$(ns_of "$reference" --rate $rate)
    printf '%-28s %8s %10.1f %10.0f %9s' "LSP Compressor Stereo" $rate "$ref_ns" "$(awk -v n="$ref_ns" -v r=$rate 'BEGIN { print 1e9 / n / r }')" "1.00"
    if [ $callgrind = 1 ]; then
      ref_ins=$(instructions_of "$reference" $rate)
      printf ' %12s %9s' "$ref_ins" "1.00"
    fi
    printf '\n'
  fi
  run_set() {  # label prefix, plug-in, precision flag, variants...
    local prefix=$1 plugin=$2 precision=$3; shift 3
    for v in "$@"; do
      local name=${v%%:*} opts=${v#*:}
      # shellcheck disable=SC2086
      local ns; ns=$(ns_of "$plugin" --rate $rate $precision $opts)
      local ratio="-"
      [ -n "$ref_ns" ] && ratio=$(awk -v a="$ns" -v b="$ref_ns" 'BEGIN { printf "%.2f", a / b }')
      printf '%-28s %8s %10.1f %10.0f %9s' "$prefix $name" $rate "$ns" "$(awk -v n="$ns" -v r=$rate 'BEGIN { print 1e9 / n / r }')" "$ratio"
      if [ $callgrind = 1 ]; then
        # shellcheck disable=SC2086
        local ins; ins=$(instructions_of "$plugin" $rate $precision $opts)
        local iratio="-"
        [ -n "$ref_ins" ] && iratio=$(awk -v a="$ins" -v b="$ref_ins" 'BEGIN { printf "%.2f", a / b }')
        printf ' %12s %9s' "$ins" "$iratio"
      fi
      printf '\n'
    done
  }
  run_set "Borealis 32-bit" borealis "" "${variants[@]}"
  run_set "Borealis 64-bit" borealis "--double" "${variants[@]}"
  if [ -f build/OrvKestrel.so ]; then
    run_set "Kestrel" kestrel "" "${kestrel_variants[@]}"
  fi
done
