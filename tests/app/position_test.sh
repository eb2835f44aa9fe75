#!/usr/bin/env bash
# The real reader under Xvfb with stored window positions: one whose caption can be reached on the
# screen is used as stored; one beyond X11's 16-bit coordinates is brought into range, and one
# whose caption would lie off the screen comes onto it, so the window lies where the program thinks
# it does. Each window is then moved and must take the click on "&Close", end with exit code 0 and
# store where it was.
#   position_test.sh QUILLON_READER
set -euo pipefail
reader=$(realpath "$1")
work=$(mktemp -d /tmp/quillon-position-XXXXXX)
source "$(dirname "$0")/x_session.sh"
reader_pid=""
cleanup() {
  [ -n "$reader_pid" ] && kill "$reader_pid" 2>/dev/null
  stop_x_session
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "position test: $*" >&2
  exit 1
}

mkdir -p "$work/prog" "$work/run" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime HOME=$work
cp "$reader" "$work/prog/quillon-reader"
printf 'CHAPTER 1\nA short book.\n~~~\n' >"$work/run/TheBlitheWanderingsOfQuillonFenwright.rtf"
start_xvfb

# stored Left, stored Top, where X11 shows the window (the outer size is 780 x 600)
cases=(
  "100         50          100    50"
  "-300        12          -300   12"
  "-4000       12          0      12"
  "31987       32167       586    168"
  "2147483647  0           586    0"
  "0           40000       0      168"
  "\$FFFFFFFF  0x7FFFFFFF  0      168"
  "-2147483648 5           0      5"
)
for row in "${cases[@]}"; do
  read -r left top want_x want_y <<<"$row"
  printf '[Metrics]\r\nLeft=%s\r\nTop=%s\r\n' "$left" "$top" >"$work/prog/quillon-reader.INI"
  (cd "$work/run" && exec ../prog/quillon-reader) >"$work/reader.log" 2>&1 &
  reader_pid=$!
  window=$(wait_for_window "$reader_pid") || fail "$left,$top: no window"
  geometry=""
  for ((i = 0; i < 50; i++)); do
    eval "$(xdotool getwindowgeometry --shell "$window")"
    geometry="$X $Y"
    [ "$geometry" = "$want_x $want_y" ] && break
    sleep 0.1
  done
  [ "$geometry" = "$want_x $want_y" ] || fail "$left,$top: shown at $geometry, not $want_x $want_y"

  # Moved onto the screen, as a user would with the desktop's keys, it takes the click on Close.
  xdotool windowmove "$window" 40 30
  for ((i = 0; i < 50; i++)); do
    eval "$(xdotool getwindowgeometry --shell "$window")"
    [ "$X $Y" = "40 30" ] && break
    sleep 0.1
  done
  close_reader "$window" "$reader_pid" || fail "$left,$top: the window took no click on Close"
  reader_pid=""
  [ "$reader_code" = 0 ] || fail "$left,$top: exit code $reader_code"
  tr -d '\r' <"$work/prog/quillon-reader.INI" | grep -qx 'Left=40' || fail "$left,$top: Left not stored"
  tr -d '\r' <"$work/prog/quillon-reader.INI" | grep -qx 'Top=30' || fail "$left,$top: Top not stored"
  [ "$(grep -c '^\[Metrics\]' "$work/prog/quillon-reader.INI")" = 1 ] || fail "two Metrics sections"
  echo "$left,$top: shown at $geometry; moved, closed with the click, stored 40,30"
done
echo "position test: passed"
