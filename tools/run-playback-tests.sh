#!/usr/bin/env bash
# orv-host's playback through the sound card, tested against a JACK server on the dummy driver
# that this script starts and stops itself (orv-host reaches it through PortAudio's JACK host API,
# as it would a real one):
#   1. the playback engine without a device: the lock-free ring, no allocation on the audio
#      path, the recording through underruns, pauses and the end (playback_engine_test);
#   2. through the server (playback_jack_test): --play heard by a JACK client sample for sample
#      as `process` writes it, without a gap or a source underrun, for both plug-ins; --live passes a tone through
#      the plug-in; missing, busy and wrong-rate devices end with status 3; a server that goes
#      away mid-play stops playback and leaves the editor open; --list-devices shows it.
#
#   tools/run-playback-tests.sh        # builds in build-play (ORV_PLAY_BUILD=DIR for another)
# Installs what it needs with apt-get: the build's packages (tools/install-deps.sh, which has
# portaudio19-dev and libjack-jackd2-dev) and jackd2 (the server, jack_lsp).
set -uo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh || exit 1
if ! dpkg-query -W -f='${Status}' jackd2 2>/dev/null | grep -q "install ok installed"; then
  sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends jackd2 || exit 1
fi

dir="${ORV_PLAY_BUILD:-build-play}"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
echo "--- building orv-host, both plug-ins and the playback tests in $dir"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" > "$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; exit 1; }
cmake --build "$dir" -j"$(nproc)" --target orv-host OrvBorealis OrvKestrel playback_engine_test playback_jack_test || exit 1

# The server: at 44100 Hz, where the suite's own server (when it runs without this one) is at
# 48000 Hz.
. tools/jack-dummy-server.sh
stop_server() {
  if [ -n "${jack_pid:-}" ]; then
    stop_dummy_jack
    echo "--- JACK server $jack_server stopped"
  fi
}
trap stop_server EXIT
forget_dead_jack_servers
start_dummy_jack orv-ci-playback 44100 1024 "$dir/jackd.log" || exit 1
server="$jack_server"
echo "--- JACK server $server running (dummy driver, 44100 Hz, 1024-frame cycles)"
export JACK_DEFAULT_SERVER="$server"

passed=0 failed=0
summary=()
step() {  # step <name> <command...>
  local name="$1"; shift
  echo "=== $name"
  if "$@"; then
    passed=$((passed + 1)); summary+=("PASS  $name")
  else
    failed=$((failed + 1)); summary+=("FAIL  $name")
  fi
}

# One orv-host at a time on the server: the tests find its ports by its client name.
step "playback engine and ring (no device)" \
  ctest --test-dir "$dir" -R '^(SampleRing|PlaybackEngineTest)\.' --output-on-failure --timeout 120
step "playback through the JACK server" \
  ctest --test-dir "$dir" -R '^PlaybackThroughJack\.' -j1 --output-on-failure --timeout 120
step "orv-host editor --list-devices names the server" \
  bash -c "'$dir/orv-host' editor --list-devices | grep -q 'JACK Audio Connection Kit'"

echo
echo "=== playback tests: summary"
for line in "${summary[@]}"; do echo "  $line"; done
echo "playback: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
