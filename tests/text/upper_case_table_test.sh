#!/usr/bin/env bash
# Regenerates text/UpperCaseTable.inc into a temporary file and compares it with the committed one.
#   upper_case_table_test.sh <path of upper_case_table_gen>
set -euo pipefail
gen=$1
src=${KBD_SOURCE_DIR:?KBD_SOURCE_DIR is not set}
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$gen" "$src/text/UnicodeData-5.2.0.txt" > "$out"
if ! cmp -s "$out" "$src/text/UpperCaseTable.inc"; then
  echo "text/UpperCaseTable.inc differs from its regeneration:" >&2
  diff "$src/text/UpperCaseTable.inc" "$out" | head -20 >&2
  exit 1
fi
echo "text/UpperCaseTable.inc is current"
