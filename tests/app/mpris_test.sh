#!/usr/bin/env bash
# The reader as a media player, on the real window: Xvfb, a session bus of the test's own (run
# under dbus-run-session), real sound on the private PipeWire server's clock sink (the fixture
# "pipewire_server"), driven by playerctl.
#   mpris_test.sh QUILLON_READER SOUND_WATCH
# play: sound at the monitor and status Playing; pause: silence and Paused; play: the same sentence
# goes on; stop: Stopped once the stop flag takes effect; the title is the chapter's heading;
# PropertiesChanged seen for each change (dbus-monitor); Quit ends the program with exit code 0.
# Figures are printed as "figure:" lines. Every wait is bounded.
set -euo pipefail
reader=$(realpath "$1")
sound_watch=$(realpath "$2")
monitor=quillon_clock.monitor
work=$(mktemp -d /tmp/quillon-mpris-XXXXXX)
source "$(dirname "$0")/x_session.sh"
player=quillon_reader

reader_pid=""
watch_pid=""
bus_watch_pid=""
cleanup() {
  [ -n "$reader_pid" ] && kill "$reader_pid" 2>/dev/null
  [ -n "$watch_pid" ] && kill -- "-$watch_pid" 2>/dev/null
  [ -n "$bus_watch_pid" ] && kill "$bus_watch_pid" 2>/dev/null
  stop_x_session
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "mpris test: $*" >&2
  for log in "$work"/*.log; do
    echo "== $log" >&2
    tail -n 30 "$log" >&2 || true
  done
  exit 1
}
[ -n "${PULSE_SERVER:-}" ] || fail "no sound server: run with the pipewire_server fixture"
[ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || fail "no session bus: run under dbus-run-session"
status() { playerctl -p "$player" status 2>/dev/null || true; }
wait_for_status() { # wait_for_status TENTHS STATUS
  local i
  for ((i = 0; i < $1; i++)); do
    [ "$(status)" = "$2" ] && return 0
    sleep 0.1
  done
  return 1
}

mkdir -p "$work/novel" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime HOME=$work
{
  echo "CHAPTER 1"
  for i in $(seq 1 20); do
    echo "The caravan rolled slowly along the dusty road towards the distant town number $i," \
      "and nobody on board said a single word for a very long time."
  done
  echo "~~~"
} >"$work/novel/TheBlitheWanderingsOfQuillonFenwright.rtf"
speech_log=$work/speech.log
sound_log=$work/sound.log
bus_log=$work/bus.log
: >"$speech_log"

start_xvfb
setsid bash -c "parec --raw --format=s16le --rate=16000 --channels=1 --latency-msec=20 \
  -d $monitor 2>'$work/parec.log' | '$sound_watch' 300 >'$sound_log'" &
watch_pid=$!
dbus-monitor --session "type='signal',interface='org.freedesktop.DBus.Properties',member='PropertiesChanged',path='/org/mpris/MediaPlayer2'" \
  >"$bus_log" 2>&1 &
bus_watch_pid=$!

(cd "$work/novel" && QUILLON_SPEECH_LOG=$speech_log exec "$reader") >"$work/reader.log" 2>&1 &
reader_pid=$!
wait_for_window "$reader_pid" >/dev/null || fail "no window"
for ((i = 0; i < 100; i++)); do
  playerctl -l 2>/dev/null | grep -qx "$player" && break
  sleep 0.1
done
[ "$(status)" = Stopped ] || fail "status before playing: $(status)"
[ "$(playerctl -p "$player" metadata xesam:album)" = "the Blithe Wanderings of Quillon Fenwright" ] ||
  fail "album: $(playerctl -p "$player" metadata xesam:album)"

# Play: sound, Playing, the chapter's heading as the title.
sounds=$(lines "$sound_log")
playerctl -p "$player" play
wait_for_line 200 "$sound_log" "$sounds" loud >/dev/null || fail "play: no sound"
wait_for_status 50 Playing || fail "play: status $(status)"
for ((i = 0; i < 50; i++)); do
  [ "$(playerctl -p "$player" metadata xesam:title)" = "CHAPTER 1" ] && break
  sleep 0.1
done
[ "$(playerctl -p "$player" metadata xesam:title)" = "CHAPTER 1" ] ||
  fail "title: $(playerctl -p "$player" metadata xesam:title)"

# Pause in the middle of the second sentence (the heading is the first).
wait_for_line 300 "$speech_log" 0 spoken >/dev/null || fail "the heading was not spoken"
speaks=$(grep -c '^speak ' "$speech_log")
sleep 2 # into the sentence
sounds=$(lines "$sound_log")
pause_at=$(now_ms)
playerctl -p "$player" pause
quiet_at=$(wait_for_line 50 "$sound_log" "$sounds" quiet) || fail "pause: the sound went on"
wait_for_status 50 Paused || fail "pause: status $(status)"
spoken_when_paused=$(grep -c '^spoken ' "$speech_log")

# Play again: the same sentence goes on.
sounds=$(lines "$sound_log")
playerctl -p "$player" play
wait_for_line 50 "$sound_log" "$sounds" loud >/dev/null || fail "resume: no sound"
wait_for_status 50 Playing || fail "resume: status $(status)"
[ "$(grep -c '^spoken ' "$speech_log")" = "$spoken_when_paused" ] ||
  fail "resume: the paused sentence had ended"
[ "$(grep -c '^speak ' "$speech_log")" = "$speaks" ] || fail "resume: another sentence began"

# Stop: Stopped once the loop tests the flag, and the sound ends.
playerctl -p "$player" stop
wait_for_status 300 Stopped || fail "stop: status $(status)"
sounds=$(lines "$sound_log")
[ "$(tail -n 1 "$sound_log" | cut -d ' ' -f 1)" = quiet ] ||
  wait_for_line 50 "$sound_log" "$sounds" quiet >/dev/null || fail "stop: the sound went on"

# Every change was announced.
for state in Playing Paused Stopped; do
  grep -q "string \"$state\"" "$bus_log" || fail "no PropertiesChanged for $state"
done
grep -q 'string "CHAPTER 1"' "$bus_log" || fail "no PropertiesChanged for the chapter's title"

# Quit: the window closes and the program ends.
dbus-send --session --type=method_call --dest="org.mpris.MediaPlayer2.$player" \
  /org/mpris/MediaPlayer2 org.mpris.MediaPlayer2.Quit
wait_for_exit "$reader_pid" 100 || fail "quit: the program did not end"
code=0
wait "$reader_pid" || code=$?
reader_pid=""
[ "$code" = 0 ] || fail "quit: exit code $code"
silence=$((quiet_at - pause_at))
[ "$silence" -lt 0 ] && silence=0
echo "figure: pause request (playerctl) to the last sound at the monitor: $silence ms"
echo "mpris test: passed"
