#!/usr/bin/env bash
# The real reader under Xvfb on two screen sizes at three scale factors, each time with a stored
# position that would put the caption off the screen: the whole window must lie on the screen, the
# click on "&Close" must end it with exit code 0, and the position it was moved to is stored.
#   scaling_test.sh QUILLON_READER
set -euo pipefail
reader=$(realpath "$1")
work=$(mktemp -d /tmp/quillon-scaling-XXXXXX)
source "$(dirname "$0")/x_session.sh"
reader_pid=""
cleanup() {
  [ -n "$reader_pid" ] && kill "$reader_pid" 2>/dev/null
  stop_x_session
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "scaling test: $*" >&2
  exit 1
}

mkdir -p "$work/prog" "$work/run" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime HOME=$work
cp "$reader" "$work/prog/quillon-reader"
printf 'CHAPTER 1\nA short book.\n~~~\n' >"$work/run/TheBlitheWanderingsOfQuillonFenwright.rtf"

# screen, stored Left and Top (the caption above the screen, or wholly beyond its far corner)
for screen in 1366x768 1920x1080; do
  start_xvfb "$screen"
  screen_w=${screen%x*} screen_h=${screen#*x}
  for factor in 1 1.5 2; do
    for stored in "-3 -30" "5000 4000"; do
      read -r left top <<<"$stored"
      what="$screen at $factor, stored $left,$top"
      printf '[Metrics]\nLeft=%s\nTop=%s\n' "$left" "$top" >"$work/prog/quillon-reader.INI"
      (cd "$work/run" && QT_SCALE_FACTOR=$factor exec ../prog/quillon-reader) >"$work/reader.log" 2>&1 &
      reader_pid=$!
      window=$(wait_for_window "$reader_pid") || fail "$what: no window"
      # The window is mapped before the last move may have reached the server: wait until it lies
      # wholly on the screen, at most 5 s.
      on_screen=no
      for ((i = 0; i < 50; i++)); do
        eval "$(xdotool getwindowgeometry --shell "$window")"
        if ((X >= 0 && Y >= 0 && X + WIDTH <= screen_w && Y + HEIGHT <= screen_h && WIDTH > 300)); then
          on_screen=yes
          break
        fi
        sleep 0.1
      done
      [ "$on_screen" = yes ] || fail "$what: the window at $X,$Y, $WIDTH x $HEIGHT, leaves the screen"
      # The centre of "&Close" in the designed 772 x 573 client area, scaled with the window.
      close_reader "$window" "$reader_pid" $((687 * WIDTH / 772)) $((545 * HEIGHT / 573)) ||
        fail "$what: the window took no click on Close"
      reader_pid=""
      [ "$reader_code" = 0 ] || fail "$what: exit code $reader_code"
      # Stored in the window's own pixels, which the scale factor divides.
      stored_left=$(sed -n 's/^Left=//p' "$work/prog/quillon-reader.INI" | tr -d '\r')
      stored_top=$(sed -n 's/^Top=//p' "$work/prog/quillon-reader.INI" | tr -d '\r')
      [ "$stored_left,$stored_top" != "$left,$top" ] || fail "$what: the off-screen position stayed"
      echo "$what: shown at $X,$Y, $WIDTH x $HEIGHT; closed; stored $stored_left,$stored_top"
    done
  done
  stop_x_session
done
echo "scaling test: passed"
