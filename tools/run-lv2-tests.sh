#!/usr/bin/env bash
# The LV2 bundles of both plug-ins, checked as users get them: built (build-lv2), installed
# with `cmake --install --component lv2` into a folder of their own, and from there:
#   1. lv2ls and lv2info list both plug-ins with every port, and lilv reads the Turtle files
#      without a warning or an error;
#   2. the lilv test host (tests/lv2: ports, presets, the same sound as the VST build, state,
#      the editor UI) against the installed bundles;
#   3. lv2apply processes a file with each plug-in;
#   4. jalv shows both editors and a click reaches the plug-in (tools/lv2-jalv-ui-check.sh);
#   5. Ardour 7 renders, saves, reopens and renders again (tools/lv2-ardour-render.sh);
#   6. the lilv test host once more under AddressSanitizer + UndefinedBehaviorSanitizer
#      (build-lv2-sanitize).
#
#   tools/run-lv2-tests.sh [--no-sanitize] [--no-ardour]
# Installs what it needs with apt-get: the build's packages (tools/install-deps.sh) and
# lv2-dev liblilv-dev lilv-utils jalv jackd2 xdotool x11-utils python3 ardour.
set -uo pipefail
cd "$(dirname "$0")/.."
sanitize=1 ardour=1
for option in "$@"; do
  case "$option" in
    --no-sanitize) sanitize=0 ;;
    --no-ardour) ardour=0 ;;
    *) echo "usage: $0 [--no-sanitize] [--no-ardour]" >&2; exit 2 ;;
  esac
done

tools/install-deps.sh || exit 1
packages=(lv2-dev liblilv-dev lilv-utils jalv jackd2 xdotool x11-utils python3)
[ $ardour = 1 ] && packages+=(ardour)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" || exit 1
fi

work="$PWD/build-lv2/lv2-checks"
passed=0 failed=0
summary=()
result() {  # result <name> <exit status>
  if [ "$2" -eq 0 ]; then
    passed=$((passed + 1)); summary+=("PASS  $1")
  else
    failed=$((failed + 1)); summary+=("FAIL  $1")
  fi
}

# build <folder> [cmake options]: configures and builds the bundles and their tests, installs them.
build() {
  local dir="$1"; shift
  mkdir -p "$dir"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_LV2_DIR="$PWD/$dir/lv2-installed" "$@" \
    $(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache) \
    > "$dir/configure.log" 2>&1 || { cat "$dir/configure.log"; return 1; }
  cmake --build "$dir" -j"$(nproc)" --target OrvBorealis_lv2 OrvKestrel_lv2 lv2_test || return 1
  rm -rf "$dir/lv2-installed"
  cmake --install "$dir" --component lv2
}

echo "=== LV2: build and install (build-lv2) ==="
mkdir -p build-lv2
build build-lv2
result "build and cmake --install of OrvBorealis.lv2 and OrvKestrel.lv2" $?
installed="$PWD/build-lv2/lv2-installed"
export LV2_PATH="$installed"
mkdir -p "$work"

echo "=== LV2: lv2ls and lv2info ==="
status=0
lv2ls > "$work/lv2ls.txt" 2> "$work/lv2ls.err" || status=1
cat "$work/lv2ls.txt"
for uri in urn:orv-tonekraft:borealis urn:orv-tonekraft:kestrel; do
  grep -qx "$uri" "$work/lv2ls.txt" || { echo "lv2ls does not list $uri"; status=1; }
  name=${uri##*:}
  lv2info "$uri" > "$work/lv2info-$name.txt" 2> "$work/lv2info-$name.err" || status=1
  ports=$(grep -c "^	Port [0-9]*:" "$work/lv2info-$name.txt")
  symbols=$(grep -c "Symbol:" "$work/lv2info-$name.txt")
  presets=$(sed -n '/Presets:/,/Port 0:/p' "$work/lv2info-$name.txt" | grep -c "^	         ")
  echo "$uri: $ports ports, $symbols symbols, $presets presets"
  [ "$ports" -ge 29 ] && [ "$ports" -eq "$symbols" ] || { echo "lv2info shows too few ports for $uri"; status=1; }
  [ "$presets" -eq 16 ] || { echo "lv2info shows $presets presets for $uri"; status=1; }
done
# lilv reports every problem of a Turtle file on the error stream.
if cat "$work"/lv2ls.err "$work"/lv2info-*.err | grep .; then
  echo "lilv reported the above while reading the bundles"; status=1
fi
result "lv2ls and lv2info: both plug-ins with every port and preset, no lilv warning" $status

echo "=== LV2: the lilv test host against the installed bundles ==="
ctest --test-dir build-lv2 -R '^BothPlugins/Lv2' --output-on-failure --timeout 300
result "lilv test host (tests/lv2)" $?

echo "=== LV2: lv2apply ==="
status=0
python3 - "$work/lv2apply-in.wav" <<'PY' || status=1
import math, struct, sys, wave
# Four channels, as the plug-ins have four audio inputs: the main pair and the side-chain pair.
w = wave.open(sys.argv[1], "wb")
w.setnchannels(4); w.setsampwidth(2); w.setframerate(48000)
frames = []
for i in range(96000):
    level = 0.9 if (i // 12000) % 2 else 0.1
    s = level * math.sin(2 * math.pi * 220 * i / 48000)
    frames.append(struct.pack("<hhhh", int(30000 * s), int(30000 * s), 0, 0))
w.writeframes(b"".join(frames)); w.close()
PY
for uri in urn:orv-tonekraft:borealis urn:orv-tonekraft:kestrel; do
  name=${uri##*:}
  out="$work/lv2apply-$name.wav"
  rm -f "$out"
  lv2apply -i "$work/lv2apply-in.wav" -o "$out" -c threshold -24 -c ratio 16 "$uri" || { echo "lv2apply failed with $uri"; status=1; continue; }
  python3 - "$work/lv2apply-in.wav" "$out" "$name" <<'PY' || status=1
import struct, sys, wave
def peak(path, channel):
    w = wave.open(path)
    n, ch = w.getnframes(), w.getnchannels()
    s = struct.unpack("<%dh" % (n * ch), w.readframes(n))[channel::ch]
    return n, max(abs(v) for v in s) / 32768.0
n_in, p_in = peak(sys.argv[1], 0)
n_out, p_out = peak(sys.argv[2], 0)
print("lv2apply %s: %d frames in, %d out; peak %.3f in, %.3f out" % (sys.argv[3], n_in, n_out, p_in, p_out))
if n_out != n_in or not (0.01 < p_out < 0.9 * p_in): sys.exit("the file was not processed")
PY
done
result "lv2apply processes a file with each plug-in" $status

echo "=== LV2: jalv with the editors ==="
tools/lv2-jalv-ui-check.sh "$installed" "$work/jalv"
result "jalv: both editors embedded at their size, a click on Power reaches the plug-in" $?

if [ $ardour = 1 ]; then
  echo "=== LV2: Ardour 7 headless ==="
  tools/lv2-ardour-render.sh "$installed" "$work/ardour"
  result "Ardour 7: render, save, reopen, render again: the same audio" $?
fi

if [ $sanitize = 1 ]; then
  echo "=== LV2: the lilv test host under AddressSanitizer + UndefinedBehaviorSanitizer ==="
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  mkdir -p build-lv2-sanitize
  if build build-lv2-sanitize -DORV_SANITIZE=ON; then
    LV2_PATH="$PWD/build-lv2-sanitize/lv2-installed" \
      ctest --test-dir build-lv2-sanitize -R '^BothPlugins/Lv2' --output-on-failure --timeout 600
    result "lilv test host under the sanitizers" $?
  else
    result "sanitizer build" 1
  fi
fi

echo "=== LV2: summary ==="
printf '%s\n' "${summary[@]}"
echo "lv2: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
