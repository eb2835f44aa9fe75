#!/usr/bin/env bash
# The real reader on Wayland: a headless weston of its own, Qt's Wayland plugin, no X display. Driven
# through AT-SPI (tests/app/atspi_check.py), it starts, reads (sound at the private PipeWire
# server's monitor; the fixture "pipewire_server", PULSE_SERVER names it), stops and closes with
# exit code 0; the window position stored before the run is the same after it.
#   wayland_test.sh QUILLON_READER SOUND_WATCH
set -euo pipefail
reader=$(realpath "$1")
sound_watch=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/quillon-wayland-XXXXXX)
weston_pid=""
watch_pid=""
cleanup() {
  [ -n "$watch_pid" ] && kill -- "-$watch_pid" 2>/dev/null
  [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null && wait "$weston_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "wayland test: $*" >&2
  tail -n 20 "$work"/*.log >&2 2>/dev/null || true
  exit 1
}

[ -n "${PULSE_SERVER:-}" ] || fail "no sound server: run with the pipewire_server fixture"
mkdir -p "$work/prog" "$work/run" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime HOME=$work
unset DISPLAY
cp "$reader" "$work/prog/quillon-reader"
{
  echo "CHAPTER 1"
  for i in $(seq 1 40); do echo "Line $i is read aloud, one sentence after another."; done
  echo "~~~"
} >"$work/run/TheBlitheWanderingsOfQuillonFenwright.rtf"
settings=$work/prog/quillon-reader.INI
printf '[Metrics]\nLeft=100\nTop=50\n' >"$settings"

socket=quillon-wayland-$$
weston --backend=headless-backend.so --socket="$socket" --idle-time=0 >"$work/weston.log" 2>&1 &
weston_pid=$!
for ((i = 0; i < 100; i++)); do
  [ -S "$XDG_RUNTIME_DIR/$socket" ] && break
  kill -0 "$weston_pid" 2>/dev/null || fail "weston did not start"
  sleep 0.1
done
[ -S "$XDG_RUNTIME_DIR/$socket" ] || fail "weston did not start within 10 s"
export WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland

sound_log=$work/sound.txt
setsid bash -c "parec --raw --format=s16le --rate=16000 --channels=1 --latency-msec=20 \
  -d quillon_clock.monitor 2>'$work/parec.log' | '$sound_watch' 1200 >'$sound_log'" &
watch_pid=$!

unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS
dbus-run-session -- /usr/bin/python3 "$here/atspi_check.py" "$work/prog/quillon-reader" "$work" \
  "$sound_log" 2>"$work/bus.log" || fail "the reading through AT-SPI failed"
# Qt was told to use Wayland and there is no X display: it ran there or not at all.
metrics=$(tr -d '\r' <"$settings" | grep -E '^(Left|Top)=' | tr '\n' ' ')
[ "$metrics" = "Left=100 Top=50 " ] || fail "the stored position changed: $metrics"
echo "stored position unchanged: $metrics"
echo "wayland test: passed"
