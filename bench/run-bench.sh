#!/usr/bin/env bash
# Measures the plug-ins' processing cost, each figure also as a ratio to an outside reference
# (LSP "Compressor Stereo", VST 2.4, from Debian's lsp-plugins-vst) measured in the same run,
# since timings on a shared machine drift.
#
#   bench/run-bench.sh [--seconds S] [--repeat R] [--callgrind] [--only REGEX]
#                      [--paths both|wide|sse2] [--save FILE] [--baseline FILE]
#
# Every measurement first processes 1 s of the signal unmeasured (warm-up), then measures.
# Timings: the minimum thread CPU time over R passes of S seconds, in ns per stereo frame.
# --callgrind also counts instructions per stereo frame under valgrind (repeatable where
#   timings are not): only the plug-in's own process call is counted (orv-host calls it through
#   orvhost_measured_float / orvhost_measured_double), over 2 s after the warm-up.
# --paths        which code paths of the plug-ins to measure (default both): the wide path
#                (AVX2+FMA, what a processor that has them runs) and the SSE2 baseline, which
#                orv-host selects with --sse2. LSP has one path and is measured once per rate.
# --only REGEX   measures only the variants whose label matches (the reference is always measured).
# --save FILE    writes the figures in a machine-readable form (one line per rate and variant).
# --baseline FILE  adds "before" columns read from a file written earlier with --save.
# --reference-build DIR  measures each variant also with the plug-ins of another build tree
#                (the code before a change) in the same run, alternating with this build's, and
#                gives the ratios to those in place of the ratios to LSP.
#   bench/before-cost-work.tsv holds the figures of the plug-ins before their cost work began
#   (same script, same machine kind), for `--callgrind --baseline bench/before-cost-work.tsv`.
set -euo pipefail
cd "$(dirname "$0")/.."
host=build/orv-host
seconds=5
repeat=5
callgrind=0
only=""
save=""
baseline=""
paths=both
warmup=1
reference_build=""
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    --repeat) repeat=$2; shift 2 ;;
    --callgrind) callgrind=1; shift ;;
    --only) only=$2; shift 2 ;;
    --paths) paths=$2; shift 2 ;;
    --save) save=$2; shift 2 ;;
    --baseline) baseline=$2; shift 2 ;;
    --reference-build) reference_build=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
[ -x "$host" ] || { echo "build first: cmake --build build" >&2; exit 1; }
[ -z "$baseline" ] || [ -f "$baseline" ] || { echo "no baseline file $baseline" >&2; exit 2; }
case "$paths" in
  both) path_list=(wide sse2) ;;
  wide|sse2) path_list=("$paths") ;;
  *) echo "--paths takes both, wide or sse2" >&2; exit 2 ;;
esac
reference=/usr/lib/vst/lsp-plugins/compressor-stereo.so
[ -f "$reference" ] || reference=""
if [ -n "$reference_build" ]; then
  [ -f "$reference_build/OrvBorealis.so" ] || { echo "no plug-ins in $reference_build" >&2; exit 2; }
  reference=""
fi
ref_label=LSP
[ -z "$reference_build" ] || ref_label=xref

ns_of() {  # plug-in, then orv-host options; prints the minimum ns per stereo frame
  "$host" bench "$@" --warmup "$warmup" --seconds "$seconds" --repeat "$repeat" |
    sed -n 's/^bench-result ns_min=\([0-9.]*\).*/\1/p'
}
instructions_of() {  # plug-in, then orv-host options; prints instructions per frame
  local out total frames
  out=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null \
      --toggle-collect=orvhost_measured_float --toggle-collect=orvhost_measured_double \
      "$host" bench "$@" --warmup "$warmup" --seconds 2 --repeat 1 2>&1)
  total=$(printf '%s\n' "$out" | sed -n 's/.*Collected : \([0-9]*\).*/\1/p')
  frames=$(printf '%s\n' "$out" | sed -n 's/^bench-result .*frames=\([0-9]*\).*/\1/p')
  awk -v t="$total" -v f="$frames" 'BEGIN { if (f > 0) printf "%.1f", t / f; else print "nan" }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0 && a == a + 0) printf "%.2f", a / b; else print "-" }'; }
before() {  # rate, label, field (3 instr, 4 ns, 5 instr ratio, 6 ns ratio) from the baseline file
  # (files written before the plug-ins had two code paths have no seventh column, the path)
  [ -n "$baseline" ] || { echo "-"; return; }
  awk -F'\t' -v r="$1" -v l="$2" -v f="$3" -v p="$path" \
    '$1 == r && $2 == l && (NF < 7 || $7 == p) { v = $f } END { print (v == "" ? "-" : v) }' "$baseline"
}
loadavg() { cut -d' ' -f1-3 /proc/loadavg 2>/dev/null || echo "?"; }

heavy="--set 2=1 --set 3=1 --set 4=1 --set 8=1 --set 10=1 --set 12=1 --set 6=0.8 --set 5=0.6"
variants=(
  "Borealis normal:borealis:"
  "Borealis FAT:borealis:--set 1=1"
  "Borealis Smooth:borealis:--set 26=1"
  "Borealis Smooth+FAT:borealis:--set 26=1 --set 1=1"
  "Borealis power-off:borealis:--set 0=0"
  "Borealis heavy:borealis:$heavy"
  "Borealis heavy+Classic:borealis:$heavy --set 24=1"
  "Borealis 64-bit normal:borealis:--double"
  "Borealis 64-bit FAT:borealis:--double --set 1=1"
  "Kestrel stereo Draft:kestrel:"
  "Kestrel stereo Smooth:kestrel:--set 27=1"
  "Kestrel mono Draft:kestrel:--set 28=0"
  "Kestrel mono Smooth:kestrel:--set 28=0 --set 27=1"
  "Kestrel power-off:kestrel:--set 0=0"
)

[ -z "$save" ] || : >"$save"
echo "load average at start: $(loadavg) ($(nproc 2>/dev/null || echo ?) cores); timings: min of $repeat x $seconds s"
[ -z "$baseline" ] || echo "before: $baseline"
for rate in 44100 96000; do
  ref_ns="" ref_ins=""
  if [ -n "$reference" ]; then
    ref_ns=$(ns_of "$reference" --rate $rate)
    [ $callgrind = 1 ] && ref_ins=$(instructions_of "$reference" --rate $rate)
  fi
  for path in "${path_list[@]}"; do
    path_opt=""
    path_name="AVX2+FMA path"
    if [ "$path" = sse2 ]; then path_opt="--sse2"; path_name="SSE2 path"; fi
    echo
    printf '%-26s' "$rate Hz, $path_name"
    [ $callgrind = 1 ] && printf ' %11s %6s %7s %7s' "instr/frame" "x$ref_label" "before" "x$ref_label"
    printf ' %9s %6s %7s %7s\n' "ns/frame" "x$ref_label" "before" "x$ref_label"
    row() {  # label, instructions, ns
      local label=$1 ins=$2 ns=$3 iratio nratio
      iratio=$(ratio "$ins" "$ref_ins")
      nratio=$(ratio "$ns" "$ref_ns")
      printf '%-26s' "$label"
      [ $callgrind = 1 ] && printf ' %11s %6s %7s %7s' "$ins" "$iratio" "$(before $rate "$label" 3)" "$(before $rate "$label" 5)"
      printf ' %9s %6s %7s %7s\n' "$ns" "$nratio" "$(before $rate "$label" 4)" "$(before $rate "$label" 6)"
      [ -z "$save" ] || printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$rate" "$label" "${ins:--}" "$ns" "$iratio" "$nratio" "$path" >>"$save"
    }
    [ -n "$reference" ] && row "LSP Compressor Stereo" "$ref_ins" "$ref_ns"
    for v in "${variants[@]}"; do
      label=${v%%:*}
      rest=${v#*:}
      plugin=${rest%%:*}
      opts=${rest#*:}
      [ -z "$only" ] || [[ "$label" =~ $only ]] || continue
      [ "$plugin" != kestrel ] || [ -f build/OrvKestrel.so ] || continue
      if [ -n "$reference_build" ]; then
        # The same variant of the reference build, measured just before this one.
        local_plugin="$reference_build/OrvBorealis.so"
        [ "$plugin" = borealis ] || local_plugin="$reference_build/OrvKestrel.so"
        # shellcheck disable=SC2086
        ref_ns=$(ns_of "$local_plugin" --rate $rate $opts $path_opt)
        # shellcheck disable=SC2086
        [ $callgrind = 1 ] && ref_ins=$(instructions_of "$local_plugin" --rate $rate $opts $path_opt)
      fi
      # shellcheck disable=SC2086
      ns=$(ns_of "$plugin" --rate $rate $opts $path_opt)
      ins=""
      # shellcheck disable=SC2086
      [ $callgrind = 1 ] && ins=$(instructions_of "$plugin" --rate $rate $opts $path_opt)
      row "$label" "$ins" "$ns"
    done
  done
  if [ -n "$reference" ]; then
    # The reference again at the end of the rate: how far the machine's load moved the timings.
    ref_ns_end=$(ns_of "$reference" --rate $rate)
    printf '%-26s %s ns/frame at the end (%s of the first timing)\n' "LSP Compressor Stereo" "$ref_ns_end" \
      "$(ratio "$ref_ns_end" "$ref_ns")"
  fi
done
echo
echo "load average at end: $(loadavg)"
