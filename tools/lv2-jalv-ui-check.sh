#!/usr/bin/env bash
# Opens each plug-in's editor in jalv (jalv.gtk3, the X11 UI embedded through suil) under a
# private X server, with a JACK server of its own on the dummy driver, and checks that:
#   - the editor window is embedded at the editor's size (the UI told jalv through ui:resize),
#   - a synthetic click (XTEST) on the Power switch reaches the plug-in: a tone is compressed
#     hard before the click and passes at full level after it (recorded with jack_rec).
#
#   tools/lv2-jalv-ui-check.sh <folder with the installed bundles> <work folder>
# Needs: jalv, jackd2, xvfb, xdotool, x11-utils, python3.
set -uo pipefail
bundles="$(cd "$1" && pwd)"
work="$2"
mkdir -p "$work"
export LV2_PATH="$bundles"
export JACK_NO_AUDIO_RESERVATION=1
pids=()
. "$(dirname "$0")/jack-dummy-server.sh"
cleanup() {
  # The clients and the X server first, then the JACK server on its own, so it ends cleanly
  # and gives its registry place back.
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  [ ${#pids[@]} -gt 0 ] && wait "${pids[@]}" 2>/dev/null
  stop_dummy_jack
}
trap cleanup EXIT

# A private X server on a free display.
exec 5> "$work/display"
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
forget_dead_jack_servers
start_dummy_jack orv-lv2-check 48000 256 "$work/jackd.log" || exit 1
export JACK_DEFAULT_SERVER="$jack_server"

failures=0
# check <name> <uri> <power x> <power y>
check() {
  local name="$1" uri="$2" px="$3" py="$4"
  local log="$work/$name-jalv.log" rec="$work/$name-out.wav"
  jalv.gtk3 --jack-name "jalv-$name" -c threshold=-30 -c ratio=20 -c attack=0.1 "$uri" > "$log" 2>&1 &
  local jalv=$!
  pids+=($jalv)
  local top=""
  for _ in $(seq 100); do
    top=$(xdotool search --name "^Orv $name\$" 2>/dev/null | head -1)
    [ -n "$top" ] && break
    sleep 0.1
  done
  if [ -z "$top" ]; then
    echo "FAIL $name: jalv shows no window"; sed -n 1,20p "$log"; failures=$((failures + 1)); kill $jalv; return
  fi
  sleep 2
  # The editor's own window is the deepest one under the jalv window.
  local editor size
  read -r editor size < <(python3 - "$top" <<'PY'
import re, subprocess, sys
def children(w):
    out = subprocess.run(["xwininfo", "-children", "-id", w], capture_output=True, text=True).stdout
    parts = re.split(r"\d+ child(?:ren)?:", out)
    return re.findall(r"^\s+(0x[0-9a-f]+) .*?\s(\d+x\d+)\+", parts[-1], re.M) if len(parts) > 1 else []
w, size = sys.argv[1], ""
while True:
    below = [c for c in children(w) if c[1] != "1x1"]
    if not below: break
    w, size = below[0]
print(w, size)
PY
)
  echo "$name: editor window $editor, $size"
  case "$size" in
    [1-9][0-9][0-9]x[1-9][0-9][0-9]) ;;
    *) echo "FAIL $name: the editor window has no editor size ($size)"; failures=$((failures + 1)) ;;
  esac
  # jalv sized its window to what the UI asked for (ui:resize): as wide as the editor.
  local topWidth
  topWidth=$(xwininfo -id "$top" | awk '/Width:/ { print $2 }')
  if [ "$topWidth" != "${size%x*}" ]; then
    echo "FAIL $name: jalv's window is $topWidth wide, the editor ${size%x*}"; failures=$((failures + 1))
  fi
  # A tone into the plug-in, its output recorded; the click comes halfway.
  jack_metro -n "metro-$name" -b 240 -f 500 -A 0.7 -D 200 > "$work/$name-metro.log" 2>&1 &
  pids+=($!)
  sleep 1
  local metro
  metro=$(jack_lsp | grep "^metro-$name:" | head -1)
  jack_connect "$metro" "jalv-$name:in_l" && jack_connect "$metro" "jalv-$name:in_r"
  jack_rec -f "$rec" -d 6 "jalv-$name:out_l" > "$work/$name-rec.log" 2>&1 &
  local recorder=$!
  sleep 3
  xdotool mousemove --window "$editor" "$px" "$py" click 1
  wait $recorder
  kill $jalv 2>/dev/null
  python3 - "$rec" "$name" <<'PY' || failures=$((failures + 1))
import sys, wave, struct
w = wave.open(sys.argv[1])
rate, n, width, ch = w.getframerate(), w.getnframes(), w.getsampwidth(), w.getnchannels()
data = w.readframes(n)
fmt = {2: "h", 4: "i"}[width]
samples = struct.unpack("<%d%s" % (len(data) // width, fmt), data)[::ch]
full = float(2 ** (8 * width - 1))
def peak(a, b):
    return max(abs(s) for s in samples[int(a * rate):int(b * rate)]) / full
before, after = peak(1.0, 2.5), peak(4.5, 5.9)
print("%s: output peak %.3f before the click on Power, %.3f after it" % (sys.argv[2], before, after))
if not (after > 2.0 * before and after > 0.1):
    print("FAIL %s: the click on Power did not reach the plug-in" % sys.argv[2])
    sys.exit(1)
PY
}

check Borealis urn:orv-tonekraft:borealis 52 398
check Kestrel urn:orv-tonekraft:kestrel 50 318
if [ "$failures" -eq 0 ]; then echo "jalv: both editors open at their size and a click reaches the plug-in"; fi
exit "$failures"
