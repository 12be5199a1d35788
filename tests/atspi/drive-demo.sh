#!/usr/bin/env bash
# Starts "tiltdeck --demo SITE" on a private X display, session bus and
# accessibility bus, drives it with tiltdeck_atspi and checks the simulated
# devices it leaves. Everything it starts goes at the end, however it ends.
#   drive-demo.sh BIN_DIR SITE.json
# Exit status 77 (skipped) when no X server or accessibility bus can start.
set -uo pipefail
bin="$1"
site="$2"
skip() { echo "SKIPPED: $*"; exit 77; }
for tool in Xvfb dbus-daemon; do command -v "$tool" >/dev/null || skip "$tool is not installed"; done
launcher=""
for dir in /usr/libexec /usr/lib/at-spi2-core /usr/libexec/at-spi2-core; do
  [ -x "$dir/at-spi-bus-launcher" ] && launcher="$dir/at-spi-bus-launcher" && break
done
[ -n "$launcher" ] || skip "at-spi-bus-launcher (at-spi2-core) is not installed"

scratch=$(mktemp -d)
# Each background job is its own process group, so a job goes with all
# that it started.
set -m
jobs_started=()
teardown() {
  for pid in "${jobs_started[@]}"; do kill -TERM -- "-$pid" 2>/dev/null; done
  sleep 0.2
  for pid in "${jobs_started[@]}"; do kill -KILL -- "-$pid" 2>/dev/null; done
  rm -rf "$scratch"
}
trap teardown EXIT
trap 'exit 1' INT TERM

# Waits up to 10 s for a file that a starting server writes.
await_file() {
  for _ in $(seq 100); do
    [ -s "$1" ] && return 0
    kill -0 "$2" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config" XDG_RUNTIME_DIR="$scratch/run"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
jobs_started+=($!)
await_file "$scratch/display" $! || skip "Xvfb cannot start: $(tail -1 "$scratch/xvfb.log")"
export DISPLAY=":$(cat "$scratch/display")"

dbus-daemon --session --nofork --print-address=3 3>"$scratch/bus" 2>"$scratch/dbus.log" &
jobs_started+=($!)
await_file "$scratch/bus" $! || skip "no session bus: $(tail -1 "$scratch/dbus.log")"
export DBUS_SESSION_BUS_ADDRESS="$(head -1 "$scratch/bus")"

"$launcher" --launch-immediately >"$scratch/a11y.log" 2>&1 &
jobs_started+=($!)

export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 TILTDECK_DEMO_STATE="$scratch/state.json"
"$bin/tiltdeck" --demo "$site" >"$scratch/tiltdeck.log" 2>&1 &
app=$!
jobs_started+=($app)

status=0
timeout 100 "$bin/tiltdeck_atspi" drive 3.5 "ALD #2" || status=1
if [ $status -eq 0 ]; then
  # File > Exit ends the program, which then saves the simulated site.
  for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$app" 2>/dev/null; then
    echo "FAIL  tiltdeck still runs 10 s after File > Exit"
    status=1
  else
    wait "$app"
    code=$?
    [ $code -eq 0 ] || { echo "FAIL  tiltdeck ended with status $code"; status=1; }
  fi
fi
# The RET of ALD #1 moved, the other one stayed where it was.
if [ $status -eq 0 ]; then
  "$bin/tiltdeck_atspi" check-state "$scratch/state.json" KA0000801230001 35 || status=1
  "$bin/tiltdeck_atspi" check-state "$scratch/state.json" KA0000801230002 20 || status=1
fi
if [ $status -ne 0 ]; then
  echo "--- tiltdeck's output"
  tail -20 "$scratch/tiltdeck.log"
  echo "--- Xvfb on $DISPLAY"
  tail -5 "$scratch/xvfb.log"
fi
exit $status
