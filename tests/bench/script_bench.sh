#!/usr/bin/env bash
# Time and peak memory of `quillon-tool script` on the inputs that cost the most per byte: one line
# of 1,000, 10,000 and 100,000 short sentences, and 20 MB of empty lines (CR LF and LF).
#
#   script_bench.sh TOOL [OTHER_TOOL]
#   SENTENCES="1000 10000" script_bench.sh ...   # fewer lengths (a slow build takes minutes)
#
# With a second tool (an older build, say), every input is run by both, one after the other, and
# their figures stand side by side, so that a busy machine slows both alike. The scripts the two
# print are compared byte for byte. Elapsed and user seconds and the peak resident set come from
# /usr/bin/time (GNU time).
set -euo pipefail

tools=("$(realpath "$1")")
[ $# -ge 2 ] && tools+=("$(realpath "$2")")
command -v /usr/bin/time >/dev/null || { echo "script_bench: needs GNU time (/usr/bin/time)" >&2; exit 1; }

work=$(mktemp -d /tmp/quillon-script-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

# One line of N sentences "Sentence number I is here.", then the end marker.
sentences() {
  awk -v n="$1" 'BEGIN { for (i = 1; i <= n; i++) printf "Sentence number %d is here.%s", i, (i < n ? " " : "\r\n"); printf "~~~\r\n" }'
}
lengths=${SENTENCES:-1000 10000 100000}
inputs=()
for n in $lengths; do
  sentences "$n" >"$work/line$n.txt"
  inputs+=("line$n")
done
inputs+=(empty-crlf empty-lf)
{ yes $'\r' || true; } | head -n $((10 * 1024 * 1024)) >"$work/empty-crlf.txt" # CR LF ten million times
head -c $((20 * 1024 * 1024)) /dev/zero | tr '\0' '\n' >"$work/empty-lf.txt"

printf '%-16s' "input"
for t in "${tools[@]}"; do printf ' | %-34s' "$t"; done
printf '\n'
for input in "${inputs[@]}"; do
  printf '%-16s' "$input"
  outputs=()
  for i in "${!tools[@]}"; do
    out="$work/$input.$i.jsonl"
    /usr/bin/time -f '%e s (user %U s), %M KB peak' -o "$work/time" \
      "${tools[$i]}" script "$work/$input.txt" >"$out"
    printf ' | %-34s' "$(cat "$work/time")"
    outputs+=("$out")
  done
  if [ ${#outputs[@]} -eq 2 ] && ! cmp -s "${outputs[0]}" "${outputs[1]}"; then
    printf ' | SCRIPTS DIFFER'
  fi
  printf '\n'
done
