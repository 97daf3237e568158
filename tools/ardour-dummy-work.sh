# For the Ardour 7 scripts (sourced, not run): a work folder with a configuration of its own,
# and the Lua that starts Ardour's dummy audio backend.
#
#   ardour_work BUNDLES WORK      # empties WORK; sets work (its absolute path), exports
#                                 # LV2_PATH=BUNDLES and XDG_CONFIG_HOME under it
#   ardour_engine_lua [BUFFER]    # prints the Lua that starts the dummy backend at 48000 Hz
#                                 # (BUFFER frames per cycle when given)
ardour_device="Sine Sweep Swell"  # the dummy backend's swelling sine sweep

ardour_work() {
  bundles="$(cd "$1" && pwd)" || return 1
  work="$2"
  rm -rf "$work"
  mkdir -p "$work/config/ardour7"
  work="$(cd "$work" && pwd)"
  export LV2_PATH="$bundles"
  # Nothing from the user's configuration; the dummy backend shown.
  export XDG_CONFIG_HOME="$work/config"
  cat > "$work/config/ardour7/config" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="hide-dummy-backend" value="0"/>
  </Config>
</Ardour>
XML
}

ardour_engine_lua() {
  cat <<LUA
local be = AudioEngine:set_backend("None (Dummy)", "", "")
assert(be, "no dummy backend")
be:set_device_name("$ardour_device")
be:set_sample_rate(48000)
LUA
  [ -n "${1:-}" ] && echo "be:set_buffer_size($1)"
  echo 'assert(AudioEngine:start(false) == 0, "the dummy backend does not start")'
}
