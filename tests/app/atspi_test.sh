#!/usr/bin/env bash
# The real reader under Xvfb on a session bus of its own with the accessibility bus, as a screen
# reader sees it (tests/app/atspi_check.py); sound goes to the private PipeWire server (the fixture
# "pipewire_server"; PULSE_SERVER names it).
#   atspi_test.sh QUILLON_READER
set -euo pipefail
reader=$(realpath "$1")
work=$(mktemp -d /tmp/quillon-atspi-XXXXXX)
source "$(dirname "$0")/x_session.sh"
cleanup() {
  stop_x_session
  rm -rf "$work"
}
trap cleanup EXIT

[ -n "${PULSE_SERVER:-}" ] || { echo "atspi test: no sound server" >&2; exit 1; }
mkdir -p "$work/prog" "$work/run" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime HOME=$work
cp "$reader" "$work/prog/quillon-reader"
{
  echo "CHAPTER 1"
  for i in $(seq 1 40); do echo "Line $i is read aloud, one sentence after another."; done
  echo "~~~"
} >"$work/run/TheBlitheWanderingsOfQuillonFenwright.rtf"
start_xvfb
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS
# The accessibility bus is started on demand by the session bus.
dbus-run-session -- /usr/bin/python3 "$(dirname "$0")/atspi_check.py" "$work/prog/quillon-reader" "$work"
echo "atspi test: passed"
