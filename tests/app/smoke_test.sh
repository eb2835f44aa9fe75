#!/usr/bin/env bash
# The real reader under Xvfb with a PulseAudio null sink: "&Read" is clicked, sound is recorded
# from the sink's monitor, "&Stop" and "&Close" are clicked; sound must have arrived, the program
# must end with exit code 0, and its settings file must hold the position and the reading state.
#
#   smoke_test.sh BIN_DIR [SCREENSHOT.png [SECONDS]]
#
# BIN_DIR holds quillon-reader, screen_grab and (when the novel has been built) the novel. The
# program is copied to a directory of its own, so its settings file starts absent. Timings and
# memory are printed as "figure:" lines.
set -euo pipefail

bin_dir=$(cd "$1" && pwd)
screenshot=${2:-}
reading_seconds=${3:-5} # how long it reads before the screenshot and "&Stop"
novel=TheBlitheWanderingsOfQuillonFenwright.rtf
caption='Vocalizer for'

work=$(mktemp -d /tmp/quillon-smoke-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "smoke test: $*" >&2
  for log in "$work"/*.log; do
    echo "== $log" >&2
    tail -n 20 "$log" >&2 || true
  done
  exit 1
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Waits up to $1 tenths of a second for the command to succeed.
wait_for() {
  local tries=$1
  shift
  for ((i = 0; i < tries; i++)); do
    if "$@" >/dev/null 2>&1; then
      return 0
    fi
    sleep 0.1
  done
  return 1
}

mkdir -p "$work/run" "$work/xdg" "$work/home"
chmod 700 "$work/xdg"
cp "$bin_dir/quillon-reader" "$work/quillon-reader"
if [ -f "$bin_dir/$novel" ]; then
  cp "$bin_dir/$novel" "$work/run/$novel"
else
  # Plain text under the novel's name loads as well.
  {
    echo "CHAPTER 1"
    for i in 1 2 3 4 5 6 7 8; do
      echo "The road wound on past field and farm, and the travellers talked of the weather. Line $i went by slowly."
    done
    echo "~~~"
  } >"$work/run/$novel"
fi

# A sound server of our own with one null sink.
export HOME=$work/home XDG_RUNTIME_DIR=$work/xdg PULSE_RUNTIME_PATH=$work/pulse
pulseaudio --daemonize=no --exit-idle-time=-1 -n \
  --load="module-null-sink sink_name=smoke" \
  --load="module-native-protocol-unix socket=$work/pulse.sock auth-anonymous=1" \
  >"$work/pulse.log" 2>&1 &
pids+=($!)
export PULSE_SERVER=unix:$work/pulse.sock
wait_for 100 pactl info || fail "the sound server did not start"
pactl set-default-sink smoke

# A screen of our own, on a display number away from those desktops and other tests pick first.
xvfb=""
for ((n = 200 + $$ % 500, tries = 0; tries < 20; n++, tries++)); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1366x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  xvfb=$!
  export DISPLAY=:$n
  if wait_for 100 xdotool getmouselocation; then
    break
  fi
  kill "$xvfb" 2>/dev/null || true
  xvfb=""
done
[ -n "$xvfb" ] || fail "Xvfb did not start"
pids+=("$xvfb")
export QT_QPA_PLATFORM=xcb

# Raw samples: nothing to finish when the recorder is stopped.
parec --device=smoke.monitor --format=s16le --rate=22050 --channels=1 \
  >"$work/heard.raw" 2>"$work/parecord.log" &
recorder=$!
pids+=($recorder)

# Start to window shown, with the novel loaded (the window is shown after loading).
started=$(now_ms)
(cd "$work/run" && exec ../quillon-reader) >"$work/reader.log" 2>&1 &
reader=$!
window=""
for ((i = 0; i < 3000; i++)); do
  window=$(xdotool search --onlyvisible --name "$caption" 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  kill -0 "$reader" 2>/dev/null || fail "the reader ended before showing its window"
  sleep 0.01
done
[ -n "$window" ] || fail "the window did not appear"
shown=$(now_ms)
echo "figure: start to window shown: $((shown - started)) ms"
sleep 1
echo "figure: resident memory after loading: $(awk '/VmRSS/ {print $2, $3}' "/proc/$reader/status")"

# Button centres inside the window's client area (96 dots per inch, the design's layout).
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; }
peak_so_far() {
  sox -t raw -r 22050 -e signed -b 16 -c 1 "$work/heard.raw" -n stat 2>&1 |
    awk '/Maximum amplitude/ {print $3}'
}
click 687 30 # "&Read"
# Wait for the first sound rather than a fixed time: a loaded machine (a sanitizer build beside
# other tests) may take seconds. A click that arrives while the new window is still settling can
# be lost; it is repeated once, after 15 s of quiet.
for ((i = 0; ; i++)); do
  awk -v p="$(peak_so_far)" 'BEGIN { exit !(p > 0.01) }' && break
  ((i < 600)) || fail "no sound arrived at the sink within a minute of clicking Read"
  ((i == 150)) && click 687 30
  sleep 0.1
done
echo "figure: Read to first sound at the sink: about $((i * 100)) ms"
sleep "$reading_seconds"
if [ -n "$screenshot" ]; then
  "$bin_dir/screen_grab" "$window" "$screenshot" || fail "no screenshot"
fi
echo "figure: resident memory while reading: $(awk '/VmRSS/ {print $2, $3}' "/proc/$reader/status")"
click 687 99 # "&Stop": handled when the sentence being spoken has ended
sleep 0.5
click 687 545 # "&Close": carried out once the reading has ended
closed=$(now_ms)
for ((i = 0; i < 1200; i++)); do # a long sentence may take a minute on a loaded machine
  kill -0 "$reader" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$reader" 2>/dev/null && fail "the reader did not end after Close"
echo "figure: Close to exit (the sentence being spoken is finished first): $(($(now_ms) - closed)) ms"
set +e
wait "$reader"
code=$?
set -e
[ "$code" -eq 0 ] || fail "exit code $code"

kill -INT "$recorder"
wait "$recorder" 2>/dev/null || true
peak=$(peak_so_far)
echo "figure: peak amplitude recorded: ${peak:-none}"
awk -v p="${peak:-0}" 'BEGIN { exit !(p > 0.01) }' || fail "no sound arrived at the sink"

ini=$work/quillon-reader.INI
[ -f "$ini" ] || fail "no settings file"
grep -q '^\[Metrics\]' "$ini" || fail "no Metrics section"
grep -q '^Left=-\?[0-9]' "$ini" || fail "no Left"
grep -q '^Top=-\?[0-9]' "$ini" || fail "no Top"
grep -q '^\[Bookmarks\]' "$ini" || fail "no Bookmarks section"
grep -q '^LastVoice=-\?[0-9]' "$ini" || fail "no LastVoice"
grep -q '^LastChapter=-\?[0-9]' "$ini" || fail "no LastChapter"
grep -q '^FirstOccurrenceOfHRInK12HasBeenRead=[01]$' "$ini" || fail "no flag"
grep -q '^Line=' "$ini" && fail "a Line without a bookmark"
grep -q '^Cursor=' "$ini" && fail "a Cursor without a bookmark"
echo "smoke test: passed"
