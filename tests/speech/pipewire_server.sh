#!/bin/sh
# A private PipeWire sound server, as current desktops run it (pipewire, wireplumber and
# pipewire-pulse on a session bus of its own), with one null sink that plays by the system clock,
# for tests and benchmarks that time sound.
#   pipewire_server.sh start DIR   starts it; clients reach it with PULSE_SERVER=unix:DIR/native
#   pipewire_server.sh stop DIR    stops it (nothing to stop is fine)
# The sink is "quillon_clock" (the default sink), its monitor "quillon_clock.monitor". Everything
# the server writes stays in DIR; it works as root, without a desktop session and without systemd. The PulseAudio
# null sink (pulse_server.sh) renders ahead of the clock: use this one wherever timing matters.
set -eu
command=$1
mkdir -p "$2"
dir=$(cd "$2" && pwd)
export HOME="$dir/home" XDG_RUNTIME_DIR="$dir/xdg" XDG_CONFIG_HOME="$dir/config"
export XDG_STATE_HOME="$dir/state" XDG_DATA_HOME="$dir/data"
export PIPEWIRE_RUNTIME_DIR="$XDG_RUNTIME_DIR" PULSE_RUNTIME_PATH="$XDG_RUNTIME_DIR/pulse"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/bus"
unset PULSE_SERVER PIPEWIRE_REMOTE DISPLAY WAYLAND_DISPLAY
sink=quillon_clock
here=$(cd "$(dirname "$0")" && pwd)

# Starts a daemon in the background, detached from the caller's output (CTest waits for it), and
# remembers its process id.
daemon() {  # daemon NAME command...
  name=$1
  shift
  setsid "$@" >"$dir/$name.log" 2>&1 </dev/null &
  echo $! >"$dir/$name.pid"
}

wait_until() {  # wait_until TENTHS command...
  tries=$1
  shift
  i=0
  until "$@" >/dev/null 2>&1; do
    i=$((i + 1))
    if [ "$i" -gt "$tries" ]; then
      return 1
    fi
    sleep 0.1
  done
}

fail() {
  echo "pipewire_server: $*" >&2
  for log in "$dir"/*.log; do
    [ -f "$log" ] || continue
    echo "== $log" >&2
    tail -n 20 "$log" >&2 || true
  done
  "$0" stop "$dir"
  exit 1
}

case "$command" in
  start)
    "$0" stop "$dir"
    rm -rf "$dir"
    mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$XDG_STATE_HOME" "$XDG_DATA_HOME"
    chmod 700 "$XDG_RUNTIME_DIR"
    daemon dbus dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS"
    wait_until 100 test -S "$dir/bus" || fail "the session bus did not start"
    daemon pipewire pipewire
    wait_until 100 test -S "$XDG_RUNTIME_DIR/pipewire-0" || fail "pipewire did not start"
    # The session manager with the test's own configuration: no device monitors and no
    # Bluetooth, whose seat tracking needs systemd-logind (absent in containers and chroots).
    mkdir -p "$XDG_CONFIG_HOME/wireplumber"
    cp -R "$here/wireplumber/." "$XDG_CONFIG_HOME/wireplumber/"
    daemon wireplumber wireplumber --config-file=quillon-test.conf
    daemon pipewire-pulse pipewire-pulse
    wait_until 300 test -S "$XDG_RUNTIME_DIR/pulse/native" || fail "pipewire-pulse did not start"
    ln -sf "$XDG_RUNTIME_DIR/pulse/native" "$dir/native"
    export PULSE_SERVER="unix:$dir/native"
    wait_until 300 pactl info || fail "the sound server does not answer"
    pactl load-module module-null-sink sink_name=$sink sink_properties=node.driver=true \
      >"$dir/module" || fail "no null sink"
    wait_until 100 sh -c "pactl list short sinks | grep -q '$sink'" || fail "the sink did not appear"
    pactl set-default-sink $sink
    wait_until 100 sh -c "pactl get-default-sink | grep -qx '$sink'" ||
      fail "the sink did not become the default"
    ;;
  stop)
    for name in pipewire-pulse wireplumber pipewire dbus; do
      [ -f "$dir/$name.pid" ] || continue
      pid=$(cat "$dir/$name.pid")
      kill "$pid" 2>/dev/null || true
      i=0
      while kill -0 "$pid" 2>/dev/null && [ "$i" -lt 50 ]; do
        i=$((i + 1))
        sleep 0.1
      done
      kill -9 "$pid" 2>/dev/null || true
      rm -f "$dir/$name.pid"
    done
    ;;
  *)
    echo "usage: $0 start|stop DIR" >&2
    exit 64
    ;;
esac
