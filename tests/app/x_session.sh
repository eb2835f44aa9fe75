# Shell functions for tests that drive the real reader under Xvfb; source it, after setting
# $work (a scratch folder the caller removes). Every wait is bounded.
#   start_xvfb [WxH]           a screen of our own (1366x768 unless told) on a free display; sets
#                              DISPLAY
#   wait_for_window PID        prints the id of the reader's window once it is shown
#   wait_for_exit PID TENTHS   succeeds once PID has ended, within TENTHS tenths of a second
#   close_reader WINDOW PID [X Y]  clicks "&Close" (at X, Y in the window when told) until the
#                              reader PID (a child of this shell) ends, within 30 s, and sets
#                              reader_code to its exit code
#   stop_x_session             ends what start_xvfb started
#   now_ms                     the time in milliseconds
#   lines FILE                 how many lines FILE holds
#   wait_for_line TENTHS FILE SKIP WORD  waits for a line beyond the first SKIP lines of FILE that
#                              starts with WORD, and prints its second field

x_session_pids=()

now_ms() { date +%s%3N; }
lines() { wc -l <"$1"; }
wait_for_line() {
  local tenths=$1 file=$2 skip=$3 word=$4 i value
  for ((i = 0; i < tenths; i++)); do
    value=$(tail -n "+$((skip + 1))" "$file" | awk -v w="$word" '$1 == w { print $2; exit }')
    if [ -n "$value" ]; then
      echo "$value"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

start_xvfb() {
  local n tries size=${1:-1366x768}
  for ((n = 700 + $$ % 200, tries = 0; tries < 20; n++, tries++)); do
    if [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; then
      continue
    fi
    Xvfb ":$n" -screen 0 "${size}x24" -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
    local pid=$!
    export DISPLAY=:$n
    local i
    for ((i = 0; i < 100; i++)); do
      if xdotool getmouselocation >/dev/null 2>&1; then
        x_session_pids+=("$pid")
        export QT_QPA_PLATFORM=xcb
        return 0
      fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  echo "Xvfb did not start" >&2
  return 1
}

wait_for_window() {
  local pid=$1 i window
  for ((i = 0; i < 600; i++)); do
    window=$(xdotool search --onlyvisible --name 'Vocalizer for' 2>/dev/null | head -n 1 || true)
    if [ -n "$window" ]; then
      echo "$window"
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

wait_for_exit() {
  local pid=$1 tenths=$2 i
  for ((i = 0; i < tenths; i++)); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.1
  done
  return 1
}

close_reader() {
  local window=$1 pid=$2 x=${3:-687} y=${4:-545} attempt
  reader_code=""
  # A click that arrives while a new window is still settling can be lost: up to three.
  for attempt in 1 2 3; do
    xdotool mousemove --window "$window" "$x" "$y" click 1 # the centre of "&Close"
    if wait_for_exit "$pid" 100; then
      reader_code=0
      wait "$pid" || reader_code=$?
      return 0
    fi
  done
  return 1
}

stop_x_session() {
  local pid
  for pid in "${x_session_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  x_session_pids=()
}
