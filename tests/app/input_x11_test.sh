#!/usr/bin/env bash
# Input during a reading on the real program: Xvfb, xdotool, real sound on the private PipeWire
# server's clock sink (the fixture "pipewire_server"; PULSE_SERVER names it).
#   input_x11_test.sh QUILLON_READER SOUND_WATCH NOVEL
# 1. The novel, read with both cores kept busy: 20 times "&Read", then "&Stop" (the mouse and
#    Alt+S in turn) at a moment 2 to 12 s into the reading; the sound must end within the rest of
#    the sentence being spoken and one more.
# 2. "&Close" during a reading, 10 times: the sound ends at once, no sentence begins after it, the
#    program ends with exit code 0 and its settings file written; figures for both.
# 3. 20 runs of "&Go To Bookmark", "&Read", "&Stop", "&Close" with no other input end by themselves.
# 4. A one-line document of 300 KB: "&Stop" takes effect after the sentence being spoken and one
#    more.
# 5. Alt+R held for 10,000 presses during a reading, then "&Stop": no crash, memory bounded, and
#    the sound ends as after any Stop.
# The sound comes from the sink's monitor (SOUND_WATCH says when it starts and ends); when each
# sentence started and ended, from the program's own note of it (QUILLON_SPEECH_LOG). Moments are
# drawn from a fixed seed. Figures are printed as "figure:" lines. Every wait is bounded.
# QUILLON_INPUT_PARTS (e.g. "2 4") runs only those parts.
set -euo pipefail
reader=$(realpath "$1")
sound_watch=$(realpath "$2")
novel=$(realpath "$3")
monitor=quillon_clock.monitor
work=$(mktemp -d /tmp/quillon-input-XXXXXX)
source "$(dirname "$0")/x_session.sh"

reader_pid=""
watch_pid=""
busy_pids=()
cleanup() {
  [ -n "$reader_pid" ] && kill "$reader_pid" 2>/dev/null
  [ -n "$watch_pid" ] && kill -- "-$watch_pid" 2>/dev/null
  for pid in "${busy_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  stop_x_session
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "input test: $*" >&2
  for log in "$work"/*.log; do
    echo "== $log" >&2
    tail -n 20 "$log" >&2 || true
  done
  exit 1
}

[ -n "${PULSE_SERVER:-}" ] || fail "no sound server: run with the pipewire_server fixture"
[ -s "$novel" ] || fail "no novel at $novel"
parts=" ${QUILLON_INPUT_PARTS:-1 2 3 4 5} "
part() { [[ $parts == *" $1 "* ]]; }

mkdir -p "$work/prog" "$work/novel" "$work/short" "$work/long" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime HOME=$work
cp "$reader" "$work/prog/quillon-reader"
document=TheBlitheWanderingsOfQuillonFenwright.rtf
cp "$novel" "$work/novel/$document"
{
  echo "CHAPTER 1"
  for i in $(seq 1 30); do
    echo "Yes. No. Line $i."
  done
  echo "~~~"
} >"$work/short/$document"
{
  i=0
  line=""
  while [ ${#line} -lt 300000 ]; do
    i=$((i + 1))
    line+="The road went on past farm number $i. "
  done
  printf '%s\n~~~\n' "$line"
} >"$work/long/$document"
settings=$work/prog/quillon-reader.INI
speech_log=$work/speech.log
sound_log=$work/sound.log
: >"$speech_log"

start_xvfb
# The sink's monitor, watched for the start and the end of sound (a quiet spell of 1.2 s).
setsid bash -c "parec --raw --format=s16le --rate=16000 --channels=1 --latency-msec=20 \
  -d $monitor 2>'$work/parec.log' | '$sound_watch' 1200 >'$sound_log'" &
watch_pid=$!

# The centre of each button, in the window's coordinates.
y_of() {
  case $1 in
    read) echo 30 ;; stop) echo 99 ;; set_bookmark) echo 168 ;; go_to_bookmark) echo 238 ;;
    close) echo 545 ;;
  esac
}
click() { xdotool mousemove --window "$window" 687 "$(y_of "$1")" click 1; }
mnemonic() { # mnemonic KEY: Alt and the key, to the window with the keyboard focus
  timeout 5 xdotool windowfocus --sync "$window" || true
  xdotool key "alt+$1"
}

start_reader() { # start_reader FOLDER: the program, in FOLDER, with its window shown
  (cd "$1" && QUILLON_SPEECH_LOG=$speech_log exec "$work/prog/quillon-reader") \
    >>"$work/reader.log" 2>&1 &
  reader_pid=$!
  window=$(wait_for_window "$reader_pid") || fail "no window"
  timeout 5 xdotool windowfocus --sync "$window" || true
}


# Starts a reading with "&Read" and returns once it is heard; sound from before must have ended.
read_until_heard() {
  local speaks sounds i
  for ((i = 0; i < 100; i++)); do
    [ "$(tail -n 1 "$sound_log" | cut -d ' ' -f 1)" != loud ] && break
    sleep 0.1
  done
  speaks=$(lines "$speech_log")
  sounds=$(lines "$sound_log")
  click read
  read_started=$(wait_for_line 200 "$speech_log" "$speaks" speak) || fail "$1: the reading did not start"
  wait_for_line 200 "$sound_log" "$sounds" loud >/dev/null || fail "$1: no sound"
}

# Stops the reading the way $2 says (mouse or alt) and checks that the sound ended within the rest
# of the sentence being spoken and one more; sets stop_took to how long after the Stop it ended.
stop_and_check() {
  local what=$1 how=$2 sounds stop_at quiet_at started_after last
  sounds=$(lines "$sound_log")
  stop_at=$(now_ms)
  if [ "$how" = mouse ]; then click stop; else mnemonic s; fi
  quiet_at=$(wait_for_line 600 "$sound_log" "$sounds" quiet) || fail "$what: the sound did not end"
  # Sentences begun after the Stop reached the program (X delivers it well within 0.2 s): one at
  # most, the one after the sentence being spoken.
  started_after=$(awk -v t=$((stop_at + 200)) '$1 == "speak" && $2 > t' "$speech_log" | wc -l)
  [ "$started_after" -le 1 ] || fail "$what: $started_after sentences began after the Stop"
  # The sound ended with the last sentence, and no sentence began after it.
  last=$(tail -n 1 "$speech_log")
  [ "${last%% *}" = spoken ] || fail "$what: still speaking after the sound ended ($last)"
  [ "$quiet_at" -le $((${last#* } + 500)) ] || fail "$what: sound after the last sentence"
  stop_took=$((quiet_at - stop_at))
  # For the figures: what was left of the sentence being spoken at the Stop, and how long the one
  # after it took (0 when none came).
  stop_allowance=$(awk -v t="$stop_at" '
    $1 == "speak" { start = $2 } $1 == "spoken" && start <= t + 200 { rest = $2 - t }
    $1 == "spoken" && start > t + 200 { next_one = $2 - start }
    END { printf "%d+%d", rest, next_one }' "$speech_log")
}

# 1. The novel, both cores busy.
if part 1; then
start_reader "$work/novel"
for _ in 1 2; do
  (while :; do :; done) &
  busy_pids+=($!)
done
RANDOM=12
figures=()
for trial in $(seq 1 20); do
  how=mouse
  [ $((trial % 2)) = 0 ] && how=alt
  read_until_heard "trial $trial"
  moment=$((2000 + RANDOM % 10001)) # ms into the reading
  until [ $(($(now_ms) - read_started)) -ge "$moment" ]; do
    sleep 0.05
  done
  stop_and_check "trial $trial ($how at $moment ms)" "$how"
  figures+=("$trial:$how@${moment}ms:${stop_took}ms(${stop_allowance})")
done
for pid in "${busy_pids[@]}"; do
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
done
busy_pids=()
echo "figure: stop to sound end per trial (trial:input@moment:time(rest of the sentence+the next" \
  "one, ms)): ${figures[*]}"
fi

# 2. "&Close" during a reading, 10 times at a moment 1 to 9 s into it: the window goes at once,
#    the sound ends, no sentence begins after the Close, and the program ends with exit code 0 and
#    its settings written.
if part 2; then
if [ -n "$reader_pid" ]; then
  click close
  wait_for_exit "$reader_pid" 300 || fail "the program from before did not end"
  reader_pid=""
fi
RANDOM=24
silences=()
exits=()
for trial in $(seq 1 10); do
  start_reader "$work/novel"
  rm -f "$settings"
  read_until_heard "close $trial"
  moment=$((1000 + RANDOM % 8001))
  until [ $(($(now_ms) - read_started)) -ge "$moment" ]; do
    sleep 0.02
  done
  sounds=$(lines "$sound_log")
  close_at=$(now_ms)
  click close
  for ((i = 0; i < 6000; i++)); do # 60 s, looked at every 10 ms
    kill -0 "$reader_pid" 2>/dev/null || break
    sleep 0.01
  done
  closed_at=$(now_ms)
  kill -0 "$reader_pid" 2>/dev/null && fail "close $trial: the program did not end"
  code=0
  wait "$reader_pid" || code=$?
  reader_pid=""
  [ "$code" = 0 ] || fail "close $trial: exit code $code"
  quiet_at=$(wait_for_line 100 "$sound_log" "$sounds" quiet) || fail "close $trial: the sound went on"
  began=$(awk -v t=$((close_at + 200)) '$1 == "speak" && $2 > t' "$speech_log" | wc -l)
  [ "$began" = 0 ] || fail "close $trial: $began sentences began after the Close"
  tr -d '\r' <"$settings" | grep -q '^LastChapter=' || fail "close $trial: no reading state"
  tr -d '\r' <"$settings" | grep -q '^Left=' || fail "close $trial: no position"
  # Sound that had ended before the Close (a pause between sentences) counts as silent at once.
  silence=$((quiet_at - close_at))
  [ "$silence" -lt 0 ] && silence=0
  silences+=("$silence")
  exits+=("$((closed_at - close_at))")
done
median_and_worst() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END {
  printf "median %d ms, worst %d ms", (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2), v[NR] }'; }
echo "figure: close to silence over 10 closes: $(median_and_worst "${silences[@]}") (${silences[*]})"
echo "figure: close to exit over 10 closes: $(median_and_worst "${exits[@]}") (${exits[*]})"
fi

# 3. Go To Bookmark, Read, Stop, Close, 20 times: each program ends by itself.
if part 3; then
[ -z "$reader_pid" ] || fail "a program from before is still running"
start_reader "$work/short"
click set_bookmark
click close
wait_for_exit "$reader_pid" 300 || fail "the program did not end after Set Bookmark"
wait "$reader_pid" || fail "exit code $? after Set Bookmark"
reader_pid=""
slowest=0
for run in $(seq 1 20); do
  start_reader "$work/short"
  click go_to_bookmark
  speaks=$(lines "$speech_log")
  click read
  wait_for_line 200 "$speech_log" "$speaks" speak >/dev/null || fail "run $run: no reading"
  click stop
  close_at=$(now_ms)
  click close
  wait_for_exit "$reader_pid" 300 || fail "run $run: the program did not end by itself"
  took=$(($(now_ms) - close_at))
  [ "$took" -gt "$slowest" ] && slowest=$took
  code=0
  wait "$reader_pid" || code=$?
  reader_pid=""
  [ "$code" = 0 ] || fail "run $run: exit code $code"
done
echo "figure: Go To Bookmark, Read, Stop, Close: 20 of 20 ended, slowest $slowest ms after Close"
fi

# 4. One line of 300 KB.
if part 4; then
if [ -n "$reader_pid" ]; then
  click close
  wait_for_exit "$reader_pid" 300 || fail "the program from before did not end"
  reader_pid=""
fi
start_reader "$work/long"
read_until_heard "long line"
sleep 2
stop_and_check "long line" mouse
echo "figure: one line of 300 KB: stop to sound end $stop_took ms ($stop_allowance)"
click close
wait_for_exit "$reader_pid" 300 || fail "long line: the program did not end"
code=0
wait "$reader_pid" || code=$?
reader_pid=""
[ "$code" = 0 ] || fail "long line: exit code $code"
fi
# 5. Alt+R held: 10,000 presses during a reading, then "&Stop": the program lives, its memory stays
#    within bounds, and the sound ends within the rest of the sentence being spoken and one more.
if part 5; then
[ -n "$reader_pid" ] || start_reader "$work/novel"
read_until_heard "held Alt+R"
rss() { awk '/^VmRSS:/ { print $2 }' "/proc/$reader_pid/status"; }
rss_before=$(rss)
timeout 5 xdotool windowfocus --sync "$window" || true
timeout 120 xdotool key --delay 1 --repeat 10000 alt+r || fail "held Alt+R: xdotool did not finish"
kill -0 "$reader_pid" 2>/dev/null || fail "held Alt+R: the program ended"
stop_and_check "held Alt+R" mouse
rss_after=$(rss)
# Every kept press is an event of a few hundred bytes: far below this bound.
[ "$rss_after" -le $((rss_before + ${QUILLON_HELD_READ_GROWTH_KB:-65536})) ] ||
  fail "held Alt+R: memory grew from $rss_before kB to $rss_after kB"
echo "figure: 10,000 Alt+R presses then Stop: sound end $stop_took ms after the Stop ($stop_allowance)," \
  "memory $rss_before kB before, $rss_after kB after"
click close
wait_for_exit "$reader_pid" 300 || fail "held Alt+R: the program did not end"
code=0
wait "$reader_pid" || code=$?
reader_pid=""
[ "$code" = 0 ] || fail "held Alt+R: exit code $code"
fi
echo "input test: passed"
