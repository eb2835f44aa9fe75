#!/bin/sh
# Every floor includes only what lies below it: text/ nothing of the project; voices/,
# pronunciation/, speech/ and document/ only text/ and themselves; nothing below app/ and tools/
# includes them. Prints each include that breaks the rule.
# Usage: layout_test.sh SOURCE_DIR
cd "$1" || exit 2
bad=0
check() {  # check FOLDER ALLOWED_FOLDERS...
  folder=$1; shift
  allowed=$(printf '%s|' "$folder" "$@")
  hits=$(grep -rHn '#include "' "$folder" | grep -Ev "#include \"(${allowed%|})/")
  if [ -n "$hits" ]; then echo "$hits"; bad=1; fi
}
check text
check voices text
check pronunciation text
check speech text
check document text
check reading text voices pronunciation speech
exit $bad
