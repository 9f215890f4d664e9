#!/usr/bin/env bash
# The licence line "SPDX-License-Identifier: GPL-3.0-or-later" at the top of every file git
# tracks that can hold a comment (after a #! line or an HTML doctype).
#   scripts/spdx.sh [FILE...]          adds it where it is missing
#   scripts/spdx.sh --check [FILE...]  lists the files without it and fails if there are any
set -euo pipefail
cd "$(dirname "$0")/.."
id="SPDX-License-Identifier: GPL-3.0-or-later"

check=false
if [ "${1:-}" = --check ]; then
  check=true
  shift
fi

# The line for file $1 in its own comment syntax; nothing for files that cannot hold one
# (the licence itself, JSON, fuzzing inputs, the Debian files whose format has no comments).
line_for() {
  case "$1" in
    LICENSE | *.json | tests/fuzz/corpus/* | debian/changelog | debian/copyright | \
      debian/source/format | debian/*.doc-base) ;;
    *.cpp | *.h | *.h.in) echo "// $id" ;;
    *.html | *.md | *.qrc) echo "<!-- $id -->" ;;
    *.[1-8]) echo ".\\\" $id" ;;
    *.ini) echo "; $id" ;;
    *) echo "# $id" ;;
  esac
}

if [ $# -gt 0 ]; then
  files=("$@")
else
  mapfile -t files < <(git ls-files)
fi

missing=0
for file in "${files[@]}"; do
  line=$(line_for "$file")
  # A link shares its target's line (sed -i would replace it with a copy).
  [ -n "$line" ] && [ ! -L "$file" ] || continue
  head -n 3 "$file" | grep -q "SPDX-License-Identifier:" && continue
  if $check; then
    echo "$file"
    missing=$((missing + 1))
    continue
  fi
  # A #! line or a doctype must stay first. sed reads a backslash in the text as an escape.
  text=${line//\\/\\\\}
  if head -n 1 "$file" | grep -Eq '^(#!|<!DOCTYPE)'; then
    sed -i "1a\\$text" "$file"
  else
    sed -i "1i\\$text" "$file"
  fi
done
if $check && [ "$missing" -gt 0 ]; then
  echo "spdx.sh: $missing files lack \"$id\"; scripts/spdx.sh adds it" >&2
  exit 1
fi
