# A JACK server on the dummy driver for the test scripts (sourced, not run).
#
#   start_dummy_jack BASE RATE PERIOD LOG   # sets jack_server (its name) and jack_pid
#   stop_dummy_jack
#   forget_dead_jack_servers                # with no jackd running: an empty JACK registry
#
# The machine's JACK registry (in /dev/shm, it outlives every process) has room for eight
# servers, and a server killed before it could leave keeps its place until a server of the
# same name starts again. So the name is the first of BASE-1 .. BASE-4 that no running server
# has, never one with a process id in it: a fixed name takes its old place back, where a fresh
# name each run would use the places up ("Too many servers already active") after eight kills.

start_dummy_jack() {
  local base="$1" rate="$2" period="$3" log="$4" k name=""
  jack_server="" jack_pid=""
  for k in 1 2 3 4; do
    jack_lsp -s "$base-$k" > /dev/null 2>&1 || { name="$base-$k"; break; }  # else another run's
  done
  [ -n "$name" ] || { echo "the JACK servers $base-1 to -4 are all running"; return 1; }
  jackd -n "$name" --no-realtime -d dummy -r "$rate" -p "$period" < /dev/null > "$log" 2>&1 &
  jack_pid=$!
  for _ in $(seq 100); do
    if jack_lsp -s "$name" > /dev/null 2>&1; then
      jack_server="$name"
      return 0
    fi
    kill -0 "$jack_pid" 2>/dev/null || break
    sleep 0.1
  done
  stop_dummy_jack
  echo "the JACK server $name did not start; it said:"
  cat "$log"
  return 1
}

# Ends the server with SIGTERM and waits for it, so it gives its registry place back.
stop_dummy_jack() {
  if [ -n "${jack_pid:-}" ] && kill -0 "$jack_pid" 2>/dev/null; then
    kill "$jack_pid"
    wait "$jack_pid" 2>/dev/null
  fi
  jack_pid=""
}

# Places kept by servers that were killed: with no jackd running on the machine the registry
# describes nothing, and the next server makes a new one.
forget_dead_jack_servers() {
  if ! grep -qsx jackd /proc/[0-9]*/comm; then
    rm -f /dev/shm/jack-shm-registry /dev/shm/jack_sem.*
  fi
}
