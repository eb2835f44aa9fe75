#!/bin/sh
# A private PulseAudio server with a null sink for the sound tests.
#   pulse_server.sh start DIR   starts it; clients reach it with PULSE_SERVER=unix:DIR/native
#   pulse_server.sh stop DIR    stops it (nothing to stop is fine)
# Everything it writes stays in DIR; it works as root and without a desktop session.
set -eu
command=$1
mkdir -p "$2"
dir=$(cd "$2" && pwd)
export HOME="$dir/home" XDG_RUNTIME_DIR="$dir/xdg" XDG_CONFIG_HOME="$dir/config"
export PULSE_RUNTIME_PATH="$dir/runtime" PULSE_STATE_PATH="$dir/state"
unset PULSE_SERVER

case "$command" in
  start)
    "$0" stop "$dir"
    rm -rf "$dir"
    mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$PULSE_RUNTIME_PATH" "$PULSE_STATE_PATH"
    chmod 700 "$XDG_RUNTIME_DIR" "$PULSE_RUNTIME_PATH"
    pulseaudio --daemonize=yes --system=false --exit-idle-time=-1 -n --disallow-exit=no \
      --use-pid-file=yes --log-target="file:$dir/pulseaudio.log" \
      --load="module-null-sink sink_name=quillon_null" \
      --load="module-native-protocol-unix socket=$dir/native auth-anonymous=1" </dev/null
    i=0
    until PULSE_SERVER="unix:$dir/native" pactl info >/dev/null 2>&1; do
      i=$((i + 1))
      if [ "$i" -gt 300 ]; then
        echo "the sound server did not start; its log:" >&2
        cat "$dir/pulseaudio.log" >&2 || true
        exit 1
      fi
      sleep 0.1
    done
    ;;
  stop)
    if [ -f "$PULSE_RUNTIME_PATH/pid" ]; then
      pid=$(cat "$PULSE_RUNTIME_PATH/pid")
      kill "$pid" 2>/dev/null || true
      i=0
      while kill -0 "$pid" 2>/dev/null && [ "$i" -lt 50 ]; do
        i=$((i + 1))
        sleep 0.1
      done
      kill -9 "$pid" 2>/dev/null || true
      rm -f "$PULSE_RUNTIME_PATH/pid"
    fi
    ;;
  *)
    echo "usage: $0 start|stop DIR" >&2
    exit 64
    ;;
esac
