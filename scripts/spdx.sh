#!/usr/bin/env bash
# The licence line "SPDX-License-Identifier: GPL-3.0-or-later" at the top of every source
# file, build file and script git tracks (after a #! line).
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

# The line for file $1 in its own comment syntax: the sources, build files and scripts;
# nothing for data the programs or tools read as it is (pictures, the MIB, string tables,
# fuzzing inputs, manual pages and documents).
line_for() {
  case "$1" in
    *.cpp | *.h | *.h.in) echo "// $id" ;;
    */CMakeLists.txt | CMakeLists.txt | *.cmake | *.sh | *.py | debian/rules | .ci/run) echo "# $id" ;;
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
