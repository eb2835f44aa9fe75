#!/usr/bin/env bash
# The Debian package made from the build: it depends on what the programs use without linking it
# (espeak-ng's voices, a font) and not on qt6-qpa-plugins (only the VNC plugin; libqt6gui6, which
# dpkg-shlibdeps finds, holds the X11 one); it recommends a sound server, the Wayland plugin,
# xdg-utils and the fonts; lintian reports neither an error nor a warning.
#   package_test.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
work=$(mktemp -d /tmp/quillon-package-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "package test: $*" >&2
  exit 1
}

(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || fail "cpack: $(tail -5 "$work/cpack.log")"
deb=$(ls "$work"/quillon-reader_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
recommends=$(dpkg-deb -f "$deb" Recommends)
has() {  # has FIELD_TEXT ITEM: the item is one of the field's alternatives
  tr ',|' '\n\n' <<<"$1" | sed 's/^ *//; s/ *(.*//; s/ *$//' | grep -qx "$2"
}
for item in espeak-ng-data libqt6gui6 fonts-liberation2 fonts-dejavu-core; do
  has "$depends" "$item" || fail "Depends lacks $item: $depends"
done
has "$depends" qt6-qpa-plugins && fail "Depends names qt6-qpa-plugins: $depends"
for item in pipewire-pulse pulseaudio qt6-wayland xdg-utils fonts-liberation2; do
  has "$recommends" "$item" || fail "Recommends lacks $item: $recommends"
done
lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 || fail "lintian: $(cat "$work/lintian.log")"
echo "Depends: $depends"
echo "Recommends: $recommends"
echo "package test: passed"
