#!/bin/sh
# Without a voice the reader says why in a message box and ends with exit code 1, showing no window.
# espeak-ng is pointed at an empty data folder; the box is answered with Return under Xvfb.
set -u
reader=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/nodata/espeak-ng-data"
export ESPEAK_DATA_PATH="$work/nodata" XDG_RUNTIME_DIR="$work"

xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
  cd "$1" || exit 90
  "$2" & pid=$!
  box=""
  for i in $(seq 1 100); do
    box=$(xdotool search --name "^Quillon Reader$" 2>/dev/null | head -n 1)
    [ -n "$box" ] && break
    sleep 0.2
  done
  [ -n "$box" ] || { echo "no message box appeared"; kill $pid; exit 91; }
  if xdotool search --name "Vocalizer for" >/dev/null 2>&1; then
    echo "the reader window was shown"; kill $pid; exit 92
  fi
  xdotool windowactivate --sync "$box" key Return 2>/dev/null || xdotool key Return
  wait $pid
  echo "exit $?"
' sh "$work" "$reader" > "$work/out.txt" 2>&1
cat "$work/out.txt"
grep -q "^exit 1$" "$work/out.txt"
