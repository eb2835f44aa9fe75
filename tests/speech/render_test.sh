#!/bin/sh
# quillon-tool render: one file per chapter, an opening file for text before the first heading,
# subtitles beside each, the summary, and the same bytes whether chapters are made one or two at a
# time (each in a process of its own) or alone; progress on a terminal only.
#   render_test.sh QUILLON_TOOL WORK_DIR
set -eu
tool=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

printf '%s\r\n' 'A word before the first chapter.' '' 'CHAPTER 1' '' \
  '"Mary, we must go," Quillon said. "They are after us."' '' 'CHAPTER 2' '' \
  'They drove south at 6 a.m. and did not stop.' 'CHAPTER 12' 'Quiet.' '~~~' 'Never read.' \
  >"$work/book.txt"

for format in wav flac ogg; do
  "$tool" render "$work/book.txt" --out "$work/$format-1" --format "$format" --jobs 1 \
    2>"$work/summary-$format.txt" </dev/null
  files=$(cd "$work/$format-1" && LC_ALL=C ls | tr '\n' ' ')
  expected=$(for f in 01-opening 02-chapter-01 03-chapter-02 04-chapter-12; do
    printf '%s\n' "$f.$format" "$f.vtt"
  done | LC_ALL=C sort | tr '\n' ' ')
  [ "$files" = "$expected" ] ||
    fail "$format files: $files"
  grep -q "^4 files in .*of audio, wall time .* s, real-time factor" "$work/summary-$format.txt" ||
    fail "summary: $(cat "$work/summary-$format.txt")"
done

# Making two chapters at a time, in two processes, gives the same bytes (Ogg streams carry a random
# serial number, so the lossless formats make the comparison).
for format in wav flac; do
  "$tool" render "$work/book.txt" --out "$work/$format-2" --format "$format" --jobs 2 \
    2>/dev/null </dev/null
  for f in "$work/$format-1"/*; do
    cmp -s "$f" "$work/$format-2/$(basename "$f")" || fail "$(basename "$f") differs with --jobs 2"
  done
done

# Starting at the second chapter's heading leaves out what comes before it.
start=$(grep -b -o 'CHAPTER 2' "$work/book.txt" | cut -d: -f1)
"$tool" render "$work/book.txt" --out "$work/from2" --start "$start" 2>/dev/null </dev/null
[ "$(cd "$work/from2" && ls | tr '\n' ' ')" = \
  "01-chapter-02.vtt 01-chapter-02.wav 02-chapter-12.vtt 02-chapter-12.wav " ] ||
  fail "--start: $(ls "$work/from2")"
# A chapter made on its own is the same as in the whole book.
cmp -s "$work/from2/01-chapter-02.wav" "$work/wav-1/03-chapter-02.wav" ||
  fail "chapter 2 made alone differs from chapter 2 of the whole book"
cmp -s "$work/from2/02-chapter-12.vtt" "$work/wav-1/04-chapter-12.vtt" ||
  fail "chapter 12's subtitles made alone differ"

# On a terminal, progress: the chapter being made of how many, and a bar; through a pipe only the
# summary (above).
script -qec "'$tool' render '$work/book.txt' --out '$work/tty' --jobs 1" /dev/null \
  >"$work/tty.txt" </dev/null
grep -q "chapter [1-4] of 4 \[" "$work/tty.txt" || fail "no progress on a terminal: $(cat "$work/tty.txt")"
[ "$(wc -l <"$work/summary-wav.txt")" = 1 ] || fail "more than the summary through a pipe"

# Rendering again into a folder removes the chapter files of the earlier rendering (any format,
# and their subtitles), and nothing else.
again="$work/again"
mkdir -p "$again/06-chapter-03.wav"
for f in 05-opening.ogg 09-chapter-07.flac 10-chapter-12.wav 123-chapter--1.wav 05-opening.vtt notes.txt \
  1-chapter-01.wav 02-chapter-01.wav.bak 07-chapter-x.wav 08-epilogue.wav 11-opening.mp3; do
  echo keep >"$again/$f"
done
ln -s notes.txt "$again/12-chapter-04.wav"
"$tool" render "$work/book.txt" --out "$again" --start "$start" 2>/dev/null </dev/null
left=$(cd "$again" && LC_ALL=C ls | tr '\n' ' ')
[ "$left" = "01-chapter-02.vtt 01-chapter-02.wav 02-chapter-01.wav.bak 02-chapter-12.vtt 02-chapter-12.wav 06-chapter-03.wav \
07-chapter-x.wav 08-epilogue.wav 1-chapter-01.wav 11-opening.mp3 12-chapter-04.wav notes.txt " ] ||
  fail "rendering again left: $left"
cmp -s "$again/01-chapter-02.wav" "$work/from2/01-chapter-02.wav" || fail "rendering again differs"

# Bad input is reported, not a crash; a missing document exits 2 as in script.
status=0
"$tool" render "$work/missing.txt" --out "$work/x" 2>"$work/err.txt" || status=$?
[ "$status" = 2 ] || fail "a missing document exited $status"
grep -q "^Cannot open file .*missing.txt\.$" "$work/err.txt" ||
  fail "missing document: $(cat "$work/err.txt")"
status=0
"$tool" render "$work/book.txt" --out "$work/x" --format m4b --words 2>"$work/err.txt" || status=$?
[ "$status" = 64 ] && grep -qx -- "--words is for --format epub only." "$work/err.txt" ||
  fail "--words without epub: exit $status, $(cat "$work/err.txt")"
echo "render ok"
