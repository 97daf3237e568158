#!/usr/bin/env bash
# Both editors inside Ardour 7's own window (not the headless tools), under a private X server
# with the dummy audio backend playing a swelling sine sweep into two tracks, one per plug-in,
# monitoring their inputs. Ardour opens each plug-in's own GUI as it restores a session whose
# plug-in windows were left open (the same window a double-click in the mixer strip opens).
# Checks, for each plug-in:
#   - Ardour shows the editor embedded at the editor's size, its window as wide as the editor;
#   - the editor's meters move with the audio (switched to the input meters by a click);
#   - synthetic clicks (XTEST) on the editor's meter source and Power switches change those
#     parameters as Ardour holds them: the session Ardour saves (Ctrl+S) has the new values;
#   - a preset chosen in Ardour's own preset list reaches the editor: its controls redraw, and
#     Ardour holds the preset's values;
#   - Ardour quits cleanly (Ctrl+Q) with both editors open.
# Screenshots are left in the work folder.
#
#   tools/lv2-ardour-gui-check.sh <folder with the installed bundles> <work folder>
# Needs: ardour (ardour, ardour7-lua), xvfb, xdotool, x11-utils, imagemagick, python3.
# Not run by tools/run-lv2-tests.sh: it drives Ardour's GUI at screen positions.
set -uo pipefail
if [ $# -ne 2 ]; then echo "usage: $0 <folder with the installed bundles> <work folder>" >&2; exit 2; fi
. "$(dirname "$0")/ardour-dummy-work.sh"
ardour_work "$1" "$2" || exit 2
device="$ardour_device"

xvfb="" ardour=""
cleanup() {
  [ -n "$ardour" ] && kill "$ardour" 2>/dev/null
  sleep 1
  [ -n "$ardour" ] && kill -9 "$ardour" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The session: a track per plug-in, monitoring its input (the dummy backend's sweep).
{ ardour_engine_lua 1024; cat; } > "$work/create.lua" <<LUA
local s = create_session("$work/session", "session", 48000)
assert(s, "cannot create the session")
for _, uri in ipairs({"urn:orv-tonekraft:borealis", "urn:orv-tonekraft:kestrel"}) do
  local t = s:new_audio_track(2, 2, nil, 1, uri:match("[^:]+\$"), ARDOUR.PresentationInfo.max_order,
                              ARDOUR.TrackMode.Normal, true):front()
  local p = ARDOUR.LuaAPI.new_plugin(s, uri, ARDOUR.PluginType.LV2, "")
  assert(not p:isnil(), "Ardour does not find " .. uri)
  assert(t:add_processor_by_index(p, 0, nil, true) == 0, "cannot add " .. uri)
end
-- The monitoring control changes in the process thread, some time after it is set.
for r in s:get_routes():iter() do
  local t = r:to_track()
  if not t:isnil() then
    local m = t:monitoring_control()
    for _ = 1, 50 do
      if m:get_value() == ARDOUR.MonitorChoice.MonitorInput then break end
      m:set_value(ARDOUR.MonitorChoice.MonitorInput, PBD.GroupControlDisposition.NoGroup)
      ARDOUR.LuaAPI.usleep(100000)
    end
    assert(m:get_value() == ARDOUR.MonitorChoice.MonitorInput, "cannot monitor the input of " .. r:name())
  end
end
s:save_state("", false, false, false, false, false)
close_session()
LUA
if ! timeout 120 ardour7-lua "$work/create.lua" > "$work/create.log" 2>&1; then
  echo "FAIL: ardour7-lua cannot make the session"; grep -v "MIDI buffer" "$work/create.log" | tail -15; exit 1
fi

# values <session file>: "<route> <processor id> <symbol>=<value> ..." per plug-in, as Ardour
# holds the parameters (the processor's controllables).
values() {
  python3 - "$1" <<'PY'
import sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
for route in root.iter("Route"):
    for p in route.findall("Processor"):
        if p.get("type") == "lv2" and (p.get("unique-id") or "").startswith("urn:orv-tonekraft:"):
            c = " ".join("%s=%s" % (x.get("symbol"), x.get("value")) for x in p.findall("Controllable"))
            m = [x.get("value") for x in route.findall("Controllable") if x.get("name") == "monitor"]
            print(route.get("name"), route.get("id"), p.get("id"), "monitor=%s" % (m[0] if m else ""), c)
PY
}
values "$work/session/session.ardour" > "$work/values-before.txt"
if [ "$(wc -l < "$work/values-before.txt")" -ne 2 ]; then
  echo "FAIL: the session does not hold both plug-ins"; cat "$work/values-before.txt"; exit 1
fi
if [ "$(grep -c " monitor=1 " "$work/values-before.txt")" -ne 2 ]; then
  echo "FAIL: the tracks of the session do not monitor their inputs"; cat "$work/values-before.txt"; exit 1
fi

# Ardour's configuration: no first-run wizard, and the engine the session was made with started
# without the Audio/MIDI setup dialog.
touch "$work/config/ardour7/.a7"
cat > "$work/config/ardour7/config" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="hide-dummy-backend" value="0"/>
    <Option name="try-autostart-engine" value="1"/>
  </Config>
  <Extra>
    <AudioMIDISetup>
      <EngineStates>
        <State backend="None (Dummy)" driver="Normal Speed" device="$device" input-device="" output-device="" sample-rate="48000" buffer-size="1024" n-periods="0" input-latency="0" output-latency="0" lm-input="" lm-output="" active="1" use-buffered-io="0" midi-option="1 in, 1 out, Silence" lru="1">
          <MIDIDevices/>
        </State>
      </EngineStates>
    </AudioMIDISetup>
  </Extra>
</Ardour>
XML
# The session as a user leaves it: the mixer shown and each plug-in's own window open (Ardour
# keeps a processor's window as P-<route id>-<processor id> in the session's GUI state).
python3 - "$work/session" "$work/values-before.txt" <<'PY' || exit 1
import sys, xml.etree.ElementTree as ET
folder, values = sys.argv[1], sys.argv[2]
tree = ET.parse(folder + "/session.ardour")
root = tree.getroot()
if root.find("Extra") is None: ET.SubElement(root, "Extra")
extra = root.find("Extra")
if extra.find("UI") is None: ET.SubElement(extra, "UI")
ui = extra.find("UI")
for n, line in enumerate(open(values)):
    name, route, proc = line.split()[:3]
    ET.SubElement(ui, "Window", {"name": "P-%s-%s" % (route, proc), "visible": "1", "x-off": "1420",
                                 "y-off": str(560 * n), "x-size": "-1", "y-size": "-1", "custom-ui": "1"})
tree.write(folder + "/session.ardour", encoding="UTF-8", xml_declaration=True)
with open(folder + "/instant.xml", "w") as f:
    f.write('<?xml version="1.0" encoding="UTF-8"?>\n<instant>\n  <LastUsedSnapshot name="session"/>\n'
            '  <Main x="0" y="0" w="1348" h="713" current-tab="mixer"/>\n</instant>\n')
PY

# A private X server on a free display.
exec 5> "$work/display"
Xvfb -displayfd 5 -screen 0 1920x1200x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
exec 5>&-
if [ ! -s "$work/display" ]; then echo "FAIL: Xvfb does not start"; cat "$work/xvfb.log"; exit 1; fi
export DISPLAY=":$(cat "$work/display")"

ardour -n -a "$work/session" > "$work/ardour.log" 2>&1 &
ardour=$!
shot() { import -window root "$work/$1.png" 2>/dev/null && echo "screenshot: $work/$1.png"; }
# window <name pattern> <seconds>: the visible top-level window whose name matches, waiting for it.
window() {
  local w=""
  for _ in $(seq $(($2 * 10))); do
    w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    [ -n "$w" ] && { echo "$w"; return 0; }
    kill -0 "$ardour" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
main=$(window "^\*?session - Ardour$" 120) || { fail "Ardour shows no session window"; shot no-session; tail -20 "$work/ardour.log"; exit 1; }
declare -A top
for name in Borealis Kestrel; do
  top[$name]=$(window "^[a-z]*: Orv $name \\(" 30) || fail "Ardour does not open the editor of Orv $name"
done
sleep 3
shot opened
# Anything else on screen (a dialog from Ardour) is reported.
xdotool search --onlyvisible --name "." 2>/dev/null | while read -r w; do
  n=$(xdotool getwindowname "$w" 2>/dev/null)
  case "$n" in "session - Ardour" | "*session - Ardour" | *": Orv Borealis ("* | *": Orv Kestrel ("* | Ardour) ;;
    *) echo "note: another window is open: \"$n\"" ;;
  esac
done
[ "$failures" -eq 0 ] || exit "$failures"

# geometry <window>: "<x> <y> <width> <height>" on the screen.
geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
                           /Width:/ { w = $2 } /Height:/ { h = $2 } END { print x, y, w, h }'
}
# editor <top-level window>: the deepest window under it, which the editor draws in.
editor() {
  python3 - "$1" <<'PY'
import re, subprocess, sys
def children(w):
    out = subprocess.run(["xwininfo", "-children", "-id", w], capture_output=True, text=True).stdout
    parts = re.split(r"\d+ child(?:ren)?:", out)
    return re.findall(r"^\s+(0x[0-9a-f]+) .*?\s(\d+)x(\d+)\+", parts[-1], re.M) if len(parts) > 1 else []
w, path = sys.argv[1], []
while True:
    below = [c for c in children(w) if (c[1], c[2]) != ("1", "1")]
    if not below: break
    w = below[0][0]
    path.append(w)
print(" ".join(path))
PY
}
# frames <name> <x> <y> <width> <height>: how many of 6 pictures of a screen area, 0.4 s apart,
# differ from the one before.
frames() {
  local n=0 i
  for i in 0 1 2 3 4 5; do
    import -window root -crop "$4x$5+$2+$3" +repage "$work/$1-$i.png" 2>/dev/null
    if [ "$i" -gt 0 ]; then
      local d
      d=$(compare -metric AE "$work/$1-$((i - 1)).png" "$work/$1-$i.png" null: 2>&1)
      [ "${d%%.*}" -gt 0 ] 2>/dev/null && n=$((n + 1))
    fi
    sleep 0.4
  done
  echo "$n"
}

declare -A expected=([Borealis]="450 460" [Kestrel]="450 378")
# Editor positions (at 100 %) of the meter source switch's "Pre" and of Power.
declare -A pre=([Borealis]="213 66" [Kestrel]="224 64")
declare -A power=([Borealis]="52 398" [Kestrel]="50 318")
declare -A editorOf
for name in Borealis Kestrel; do
  read -r -a path <<< "$(editor "${top[$name]}")"
  if [ "${#path[@]}" -lt 2 ]; then fail "$name: no editor window inside Ardour's"; continue; fi
  ed="${path[-1]}"
  editorOf[$name]="$ed"
  read -r tx ty tw th <<< "$(geometry "${top[$name]}")"
  read -r sx sy sw sh <<< "$(geometry "${path[0]}")"
  read -r ex ey ew eh <<< "$(geometry "$ed")"
  echo "$name: Ardour's window ${tw}x${th}, the embedding area ${sw}x${sh}, the editor ${ew}x${eh} (expected ${expected[$name]/ /x})"
  [ "$ew $eh" = "${expected[$name]}" ] || fail "$name: the editor is ${ew}x${eh}, not ${expected[$name]/ /x}"
  [ "$sw $sh" = "$ew $eh" ] || fail "$name: Ardour embeds the ${ew}x${eh} editor in ${sw}x${sh}"
  [ "$tw" = "$ew" ] || fail "$name: Ardour's window is $tw wide, the editor $ew"
  # Gain reduction is shown first; the input swells and sweeps, so the input meters move.
  read -r px py <<< "${pre[$name]}"
  xdotool mousemove --window "$ed" "$px" "$py" click 1
  # The needles swing over to the new source first; without audio they come to rest.
  sleep 3
  # The left meter's face and needle, above its hold readouts (which count down without audio).
  moved=$(frames "$name-meter" $((ex + 52)) $((ey + 32)) 140 48)
  echo "$name: the meters changed in $moved of 5 pictures"
  [ "$moved" -ge 3 ] || fail "$name: the editor's meters do not move with the audio"
  read -r px py <<< "${power[$name]}"
  xdotool mousemove --window "$ed" "$px" "$py" click 1
  sleep 1
done
shot clicked

# save <values file>: Ardour saves the session (Ctrl+S over its window); the plug-ins'
# parameters as Ardour holds them go to the file.
save() {
  local before now
  before=$(stat -c %y "$work/session/session.ardour")
  read -r mx my mw mh <<< "$(geometry "$main")"
  xdotool mousemove $((mx + mw / 2)) $((my + mh - 120))
  for _ in 1 2 3; do
    xdotool key ctrl+s
    for _ in $(seq 50); do
      now=$(stat -c %y "$work/session/session.ardour")
      if [ "$now" != "$before" ]; then
        sleep 0.5
        values "$work/session/session.ardour" > "$1"
        return 0
      fi
      sleep 0.1
    done
  done
  return 1
}

# The parameters Ardour holds must show the clicks, and nothing else.
if ! save "$work/values-after.txt"; then
  fail "Ardour did not save the session"
else
  python3 - "$work/values-before.txt" "$work/values-after.txt" <<'PY' || failures=$((failures + 1))
import sys
def read(path):
    out = {}
    for line in open(path):
        f = line.split()
        out[f[0]] = dict(kv.split("=", 1) for kv in f[3:])
    return out
before, after = read(sys.argv[1]), read(sys.argv[2])
bad = 0
for route in ("borealis", "kestrel"):
    b, a = before.get(route, {}), after.get(route, {})
    print("%s in Ardour: power %s -> %s, meters %s -> %s" % (route, b.get("power"), a.get("power"),
                                                             b.get("meters"), a.get("meters")))
    if not (b.get("power") == "1" and a.get("power") == "0"):
        print("FAIL: %s: the click on Power did not reach Ardour" % route); bad = 1
    if not (b.get("meters") == "1" and a.get("meters") == "0"):
        print("FAIL: %s: the click on the meter source did not reach Ardour" % route); bad = 1
    others = [k for k in b if k not in ("power", "meters", "monitor") and b[k] != a.get(k)]
    if others:
        print("FAIL: %s: other parameters changed too: %s" % (route, ", ".join(others))); bad = 1
sys.exit(bad)
PY
fi

# The other way: a preset chosen in the preset list of Ardour's plug-in window (the fifth,
# Gentle Master) sets the ports, and the editor shows the new settings.
preset="Gentle Master"
for name in Borealis Kestrel; do
  ed="${editorOf[$name]:-}"
  [ -n "$ed" ] || continue
  read -r ex ey ew eh <<< "$(geometry "$ed")"
  # The editor's controls, below its meters and above its preset bar.
  area="${ew}x$((eh - 190))+$ex+$((ey + 150))"
  import -window root -crop "$area" +repage "$work/$name-controls-before.png" 2>/dev/null
  xdotool mousemove --window "${top[$name]}" 195 17 click 1
  sleep 1
  xdotool key Down Down Down Down Down Return
  sleep 0.3
  read -r mx my mw mh <<< "$(geometry "$main")"
  xdotool mousemove $((mx + mw / 2)) $((my + mh - 120))
  sleep 1.5
  import -window root -crop "$area" +repage "$work/$name-controls-after.png" 2>/dev/null
  d=$(compare -metric AE "$work/$name-controls-before.png" "$work/$name-controls-after.png" null: 2>&1)
  echo "$name: $d pixels of the editor's controls changed with Ardour's preset"
  [ "${d%%.*}" -gt 500 ] 2>/dev/null || fail "$name: the editor does not show the preset Ardour chose"
done
shot preset
if ! save "$work/values-preset.txt"; then
  fail "Ardour did not save the session"
else
  python3 - "$work/values-preset.txt" "$bundles" "$preset" "$work/session/session.ardour" <<'PY' || failures=$((failures + 1))
import re, sys, xml.etree.ElementTree as ET
values, bundles, preset, session = sys.argv[1:]
bad = 0
labels = {}
for route in ET.parse(session).getroot().iter("Route"):
    for p in route.findall("Processor"):
        lv2 = p.find("lv2")
        if lv2 is not None: labels[route.get("name")] = lv2.get("last-preset-label")
for line in open(values):
    f = line.split()
    route, held = f[0], dict(kv.split("=", 1) for kv in f[3:])
    ttl = open("%s/Orv%s.lv2/presets.ttl" % (bundles, route.capitalize())).read()
    block = [b for b in ttl.split("a pset:Preset") if 'rdfs:label "%s"' % preset in b]
    want = dict(re.findall(r'lv2:symbol "(\w+)" ;\s*pset:value ([-0-9.eE+]+)', block[0])) if block else {}
    off = [k for k, v in want.items()
           if k not in held or abs(float(held[k]) - float(v)) > 1e-4 * max(1.0, abs(float(v)))]
    print("%s in Ardour: preset \"%s\", %d of %d parameters as the preset has them" %
          (route, labels.get(route), len(want) - len(off), len(want)))
    if labels.get(route) != preset or not want or off:
        print("FAIL: %s: Ardour did not apply the preset (%s)" % (route, ", ".join(off))); bad = 1
sys.exit(bad)
PY
fi

# Ardour quits with both editors open.
xdotool key ctrl+q
status=""
for _ in $(seq 300); do
  if ! kill -0 "$ardour" 2>/dev/null; then wait "$ardour"; status=$?; break; fi
  sleep 0.1
done
if [ -z "$status" ]; then
  shot not-quitting
  fail "Ardour does not quit"
elif [ "$status" -ne 0 ]; then
  fail "Ardour ended with status $status"; grep -v "MIDI buffer" "$work/ardour.log" | tail -15
else
  echo "Ardour quit with status 0"
fi
ardour=""
if grep -iE "error|lv2.*fail|crash" "$work/ardour.log" | grep -v "MIDI buffer"; then
  fail "Ardour's log reports errors"
fi
[ "$failures" -eq 0 ] && echo "Ardour 7: both editors open embedded at their size, their meters move, clicks on their switches reach Ardour and Ardour's presets reach them"
exit "$failures"
