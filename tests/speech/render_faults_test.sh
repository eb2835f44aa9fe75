#!/usr/bin/env bash
# quillon-tool render when a write fails or a stop signal comes: exit 1, 130 or 143, a message
# that names the chapter file, and no file under a final name that is partial (each one is the same
# as in a whole rendering), nor a temporary file left behind; subtitles only beside complete files.
#   render_faults_test.sh QUILLON_TOOL WORK_DIR
set -euo pipefail
tool=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# A short first chapter, a long second one (about ten minutes of audio), a short third.
{
  printf '%s\r\n' 'CHAPTER 1' 'They set out early, before the town was awake.' ''
  printf '%s\r\n' 'CHAPTER 2'
  for i in $(seq 1 60); do
    printf '%s\r\n' "The road wound on past field and farm, and the travellers talked of the weather, the price of bread and the long way still ahead, until stop $i came into sight."
  done
  printf '%s\r\n' '' 'CHAPTER 3' 'Home at last.' '~~~'
} >"$work/book.txt"

for format in wav flac ogg; do
  "$tool" render "$work/book.txt" --out "$work/whole-$format" --format "$format" --jobs 1 \
    2>/dev/null </dev/null
done

# Samples of an audio file (Ogg streams carry a random serial number, so they are compared so).
samples() { soxi -s "$1"; }
same_as_whole() {  # same_as_whole FILE FORMAT
  local whole="$work/whole-$2/$(basename "$1")"
  [ -f "$whole" ] || return 1
  if [ "$2" = ogg ]; then
    [ "$(samples "$1")" = "$(samples "$whole")" ]
  else
    cmp -s "$1" "$whole"
  fi
}
# Every file under a final name is whole; nothing hidden (a temporary file) is left.
check_folder() {  # check_folder DIR FORMAT WHAT
  local f
  for f in "$1"/*."$2"; do
    [ -e "$f" ] || continue
    same_as_whole "$f" "$2" || fail "$3: $(basename "$f") is not whole"
  done
  for f in "$1"/*.vtt; do # subtitles stand beside a complete file, as in a whole rendering
    [ -e "$f" ] || continue
    [ -f "${f%.vtt}.$2" ] || fail "$3: $(basename "$f") without its audio"
    cmp -s "$f" "$work/whole-$2/$(basename "$f")" || fail "$3: $(basename "$f") differs"
  done
  [ -z "$(cd "$1" && ls -A | grep '^\.' || true)" ] || fail "$3: left $(cd "$1" && ls -A | grep '^\.')"
}

# A file-size limit between the first chapter's size and the second's: the second cannot be
# written. With two writers the third may still be completed beside it.
#   format jobs
cases=(
  "wav  1"
  "wav  2"
  "flac 1"
  "flac 2"
  "ogg  1"
  "ogg  2"
)
for row in "${cases[@]}"; do
  read -r format jobs <<<"$row"
  out="$work/limited-$format-$jobs"
  first=$(stat -c %s "$work/whole-$format/01-chapter-01.$format")
  second=$(stat -c %s "$work/whole-$format/02-chapter-02.$format")
  limit_kb=$((first / 1024 + 2))
  [ $((limit_kb * 1024)) -lt "$second" ] || fail "the second chapter is too small for the test"
  status=0
  (ulimit -f "$limit_kb" && exec "$tool" render "$work/book.txt" --out "$out" --format "$format" \
    --jobs "$jobs" 2>"$out.err" </dev/null) || status=$?
  what="limit $limit_kb KiB, $format, --jobs $jobs"
  [ "$status" = 1 ] || fail "$what: exit $status"
  grep -q "^Cannot write the audio file $out/02-chapter-02.$format: " "$out.err" ||
    fail "$what: $(cat "$out.err")"
  grep -qx "Removed, not complete: $out/02-chapter-02.$format" "$out.err" ||
    fail "$what: $(cat "$out.err")"
  grep -q "^[12] files\? in $out, " "$out.err" || fail "$what: no summary: $(cat "$out.err")"
  [ -f "$out/01-chapter-01.$format" ] || fail "$what: the first chapter is missing"
  [ -e "$out/02-chapter-02.$format" ] && fail "$what: the second chapter is there"
  check_folder "$out" "$format" "$what"
done

# A stop signal while the second chapter is written: the first stays, the second is removed.
#   signal exit
signals=(
  "INT  130"
  "TERM 143"
)
for row in "${signals[@]}"; do
  read -r signal code <<<"$row"
  out="$work/stopped-$signal"
  mkdir -p "$out"
  "$tool" render "$work/book.txt" --out "$out" --jobs 1 2>"$out.err" </dev/null &
  pid=$!
  for ((i = 0; i < 1200; i++)); do # the second chapter's temporary file is there
    ls -A "$out" | grep -q '^\.02-chapter-02\.wav\.......\.part$' && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  kill "-$signal" "$pid" 2>/dev/null || fail "SIG$signal: the rendering ended before the signal"
  status=0
  wait "$pid" || status=$?
  [ "$status" = "$code" ] || fail "SIG$signal: exit $status: $(cat "$out.err")"
  grep -qx "Interrupted by SIG$signal." "$out.err" || fail "SIG$signal: $(cat "$out.err")"
  grep -qx "Removed, not complete: $out/02-chapter-02.wav" "$out.err" ||
    fail "SIG$signal: $(cat "$out.err")"
  grep -q "^1 file in $out, .* of audio, " "$out.err" || fail "SIG$signal: $(cat "$out.err")"
  [ "$(ls "$out" | tr '\n' ' ')" = "01-chapter-01.vtt 01-chapter-01.wav " ] ||
    fail "SIG$signal: left $(ls "$out")"
  check_folder "$out" wav "SIG$signal"
done

# A temporary file a killed rendering left is removed by the next one; others' files are kept.
out="$work/stale"
mkdir -p "$out"
echo partial >"$out/.03-chapter-02.wav.Xy12Za.part"
echo partial >"$out/.03-chapter-02.wav.Xy12Za.part~"
echo mine >"$out/.notes.txt.Xy12Za.part"
"$tool" render "$work/book.txt" --out "$out" --format flac --jobs 1 2>/dev/null </dev/null
[ "$(cd "$out" && LC_ALL=C ls -A | tr '\n' ' ')" = ".notes.txt.Xy12Za.part 01-chapter-01.flac \
01-chapter-01.vtt 02-chapter-02.flac 02-chapter-02.vtt 03-chapter-03.flac 03-chapter-03.vtt " ] ||
  fail "stale temporary files: $(cd "$out" && ls -A)"
# Books: a stop signal while the chapters are made, and a book that cannot be written whole (a
# file-size limit at half its size): exit 130, 143 or 1, the reason, and nothing left in the folder,
# neither the book nor its working folder nor a temporary file.
for format in epub m4b; do
  "$tool" render "$work/book.txt" --out "$work/book-$format" --format "$format" 2>/dev/null </dev/null
  size=$(stat -c %s "$work/book-$format/book.$format")
  for row in "${signals[@]}"; do
    read -r signal code <<<"$row"
    out="$work/book-$format-$signal"
    mkdir -p "$out"
    "$tool" render "$work/book.txt" --out "$out" --format "$format" 2>"$out.err" </dev/null &
    pid=$!
    for ((i = 0; i < 1200; i++)); do # a chapter is being made
      ls -A "$out"/.book.$format.parts.* 2>/dev/null | grep -q '\.part$' && break
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.05
    done
    kill "-$signal" "$pid" 2>/dev/null || fail "$format, SIG$signal: the rendering ended before the signal"
    status=0
    wait "$pid" || status=$?
    [ "$status" = "$code" ] || fail "$format, SIG$signal: exit $status: $(cat "$out.err")"
    grep -qx "Interrupted by SIG$signal." "$out.err" || fail "$format, SIG$signal: $(cat "$out.err")"
    grep -q "^0 files in $out, no audio, " "$out.err" || fail "$format, SIG$signal: $(cat "$out.err")"
    [ -z "$(ls -A "$out")" ] || fail "$format, SIG$signal: left $(ls -A "$out")"
  done
  out="$work/book-$format-limited"
  status=0
  (ulimit -f $((size / 2048)) && exec "$tool" render "$work/book.txt" --out "$out" \
    --format "$format" 2>"$out.err" </dev/null) || status=$?
  [ "$status" = 1 ] || fail "$format, limited: exit $status: $(cat "$out.err")"
  grep -q "^Cannot write the \(audio \)\?file $out/[^:]*: .*File too large" "$out.err" ||
    fail "$format, limited: $(cat "$out.err")"
  [ -z "$(ls -A "$out")" ] || fail "$format, limited: left $(ls -A "$out")"
done
# A document with nothing read aloud makes no book (an empty one would not be a valid book).
printf '\r\n~~~\r\nNever read.\r\n' >"$work/nothing.txt"
for format in epub m4b; do
  out="$work/nothing-$format"
  status=0
  "$tool" render "$work/nothing.txt" --out "$out" --format "$format" 2>"$out.err" </dev/null ||
    status=$?
  [ "$status" = 1 ] || fail "$format, nothing read: exit $status"
  grep -qx "Nothing in $work/nothing.txt is read aloud: no book is written." "$out.err" ||
    fail "$format, nothing read: $(cat "$out.err")"
  [ -z "$(ls -A "$out")" ] || fail "$format, nothing read: left $(ls -A "$out")"
done
echo "render faults ok"
