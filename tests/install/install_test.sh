#!/usr/bin/env bash
# The installed program as a user meets it:
#   1. cmake --install into a temporary prefix puts exactly the files of an installed desktop
#      application there, and nothing outside it; the desktop entry and the AppStream metadata
#      pass their validators, the icon and the manual pages are sound;
#   2. the prefix is moved elsewhere (it must not matter where it lies) and the installed
#      quillon-tool reads the installed novel as the build tree's does;
#   3. the installed quillon-reader, started under Xvfb from a folder without the novel, with HOME
#      and XDG_CONFIG_HOME in fresh folders and the prefix's bin not writable (as root the program
#      runs as "nobody"), shows the book: the text copied out of its view (Ctrl+A, Ctrl+C) is the
#      novel's; after Close its settings file is under XDG_CONFIG_HOME, not beside the program.
#
#   install_test.sh BUILD_DIR DOCUMENT_TEXT
set -euo pipefail
build=$(realpath "$1")
document_text=$(realpath "$2")
novel=TheBlitheWanderingsOfQuillonFenwright.rtf
id=net.quillonfenwright.QuillonReader
work=$(mktemp -d /tmp/quillon-install-XXXXXX)
chmod 755 "$work"
source "$(dirname "$0")/../app/x_session.sh"
reader_pid=""
cleanup() {
  [ -n "$reader_pid" ] && kill "$reader_pid" 2>/dev/null
  stop_x_session
  chmod -R u+w "$work" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "install test: $*" >&2
  exit 1
}

# 1. The install.
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || fail "cmake --install: $(cat "$work/install.log")"
expected="./bin/quillon-reader
./bin/quillon-tool
./share/applications/$id.desktop
./share/doc/quillon-reader/changelog.gz
./share/doc/quillon-reader/copyright
./share/icons/hicolor/128x128/apps/$id.png
./share/icons/hicolor/scalable/apps/$id.svg
./share/man/man1/quillon-reader.1.gz
./share/man/man1/quillon-tool.1.gz
./share/metainfo/$id.metainfo.xml
./share/quillon-reader/$novel"
actual=$(cd "$prefix" && find . -type f -o -type l | LC_ALL=C sort)
[ "$actual" = "$expected" ] || fail "installed files differ:$(diff <(echo "$expected") <(echo "$actual"))"
while read -r path; do
  case "$path" in "$prefix"/*) ;; *) fail "installed outside the prefix: $path" ;; esac
done <"$build/install_manifest.txt"
[ -x "$prefix/bin/quillon-reader" ] && [ -x "$prefix/bin/quillon-tool" ] || fail "programs not executable"

desktop-file-validate "$prefix/share/applications/$id.desktop" >"$work/desktop.log" 2>&1 ||
  fail "desktop-file-validate: $(cat "$work/desktop.log")"
grep -q '^Exec=quillon-reader$' "$prefix/share/applications/$id.desktop" || fail "Exec"
grep -q "^Icon=$id\$" "$prefix/share/applications/$id.desktop" || fail "Icon"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >"$work/appstream.log" 2>&1 ||
  fail "appstreamcli validate: $(cat "$work/appstream.log")"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$prefix/share/metainfo/$id.metainfo.xml" ||
  fail "the metadata does not launch the desktop entry"
# A PNG of 128 x 128: the signature, then the IHDR chunk's width and height.
[ "$(od -An -tx1 -j0 -N8 "$prefix/share/icons/hicolor/128x128/apps/$id.png" | tr -d ' \n')" = 89504e470d0a1a0a ] ||
  fail "the icon is no PNG"
[ "$(od -An -tu1 -j16 -N8 "$prefix/share/icons/hicolor/128x128/apps/$id.png" | tr -s ' ')" = " 0 0 0 128 0 0 0 128" ] ||
  fail "the PNG icon is not 128 x 128"
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/$id.svg" || fail "the scalable icon is no SVG"
for page in quillon-reader quillon-tool; do
  gzip -t "$prefix/share/man/man1/$page.1.gz" || fail "$page.1.gz"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$page(1): $warnings"
  LC_ALL=C.UTF-8 man -l "$prefix/share/man/man1/$page.1.gz" 2>/dev/null | grep -q "^NAME" || fail "$page(1) shows no NAME"
done

# 2. Moved elsewhere, the installed tool reads the installed novel.
mv "$prefix" "$work/moved"
prefix=$work/moved
"$prefix/bin/quillon-tool" script "$prefix/share/quillon-reader/$novel" >"$work/installed.jsonl"
"$build/bin/quillon-tool" script "$build/bin/$novel" >"$work/built.jsonl"
cmp -s "$work/installed.jsonl" "$work/built.jsonl" || fail "the installed tool reads another novel"
[ "$(tail -n 1 "$work/installed.jsonl" | cut -c1-16)" = '{"end":"marker",' ] ||
  fail "the installed novel has no end marker: $(tail -n 1 "$work/installed.jsonl")"

# 3. The installed reader, from a folder without the novel, its bin not writable.
mkdir -p "$work/run" "$work/home" "$work/config-root" "$work/runtime"
chmod 700 "$work/runtime"
export HOME=$work/home XDG_CONFIG_HOME=$work/config-root/config XDG_RUNTIME_DIR=$work/runtime
runner=()
if [ "$(id -u)" = 0 ]; then
  chown 65534:65534 "$work/run" "$work/home" "$work/config-root" "$work/runtime"
  runner=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
else
  chmod a-w "$prefix/bin"
fi
"${runner[@]}" test -w "$prefix/bin" && fail "the prefix's bin is writable"
start_xvfb
(cd "$work/run" && exec "${runner[@]}" "$prefix/bin/quillon-reader") >"$work/reader.log" 2>&1 &
reader_pid=$!
window=$(wait_for_window "$reader_pid") || fail "no window: $(cat "$work/reader.log")"

# The view's text, copied out as a user would.
"$document_text" "$prefix/share/quillon-reader/$novel" >"$work/novel.txt"
copied=no
for ((i = 0; i < 50; i++)); do
  xdotool mousemove --window "$window" 300 300 click 1 key ctrl+a ctrl+c
  if xclip -o -selection clipboard >"$work/view.txt" 2>/dev/null && [ -s "$work/view.txt" ]; then
    copied=yes
    break
  fi
  sleep 0.1
done
[ "$copied" = yes ] || fail "nothing could be copied out of the view"
cmp -s "$work/view.txt" "$work/novel.txt" ||
  fail "the view does not hold the novel: $(wc -c <"$work/view.txt") bytes copied, $(wc -c <"$work/novel.txt") in the novel"

close_reader "$window" "$reader_pid" || fail "the reader did not end after Close"
reader_pid=""
[ "$reader_code" = 0 ] || fail "exit code $reader_code: $(cat "$work/reader.log")"
ini=$XDG_CONFIG_HOME/quillon-reader/quillon-reader.INI
[ -f "$ini" ] || fail "no settings file under XDG_CONFIG_HOME: $(cat "$work/reader.log")"
grep -q '^\[Metrics\]' "$ini" && grep -q '^LastChapter=' "$ini" || fail "settings: $(cat "$ini")"
[ -e "$prefix/bin/quillon-reader.INI" ] && fail "a settings file beside the installed program"
[ "$(cd "$prefix" && find . -type f -o -type l | LC_ALL=C sort)" = "$expected" ] ||
  fail "the program wrote into its prefix"
[ -z "$(ls -A "$work/run")" ] || fail "the program wrote into its working folder: $(ls -A "$work/run")"
echo "install test: passed ($(wc -l <"$work/installed.jsonl") sentences, $(wc -c <"$work/view.txt") bytes of view text)"
