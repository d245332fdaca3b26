#!/usr/bin/env bash
# The built documents: valid PDF (qpdf), the expected headings in their text (pdftotext), pages
# that render (pdftoppm), and the same bytes from a second, independent run of the generator.
#   check_docs.sh KBDDOCS CONTENT FONTDIR BUILTDOCS
set -euo pipefail
[ $# -eq 4 ] || { echo "usage: check_docs.sh KBDDOCS CONTENT FONTDIR BUILTDOCS" >&2; exit 2; }
kbddocs=$1 content=$2 fonts=$3 built=$4
layout=$content/layout/layout.kbd
ucd=$content/layout/unicode/UnicodeData-5.2.0.txt
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

for doc in manual chart; do
  pdf=$built/$doc.pdf
  [ -s "$pdf" ] || { fail "$pdf is missing"; continue; }
  qpdf --check "$pdf" > "$work/$doc.qpdf" 2>&1 || { cat "$work/$doc.qpdf" >&2; fail "qpdf --check $pdf"; }
  grep -q "No syntax or stream encoding errors" "$work/$doc.qpdf" || fail "qpdf reports errors in $pdf"
  pdftotext -enc UTF-8 "$pdf" "$work/$doc.txt" || fail "pdftotext $pdf"
  # every page renders without a complaint from poppler
  pdftoppm -r 20 -png "$pdf" "$work/$doc" 2> "$work/$doc.render" || fail "pdftoppm $pdf"
  [ ! -s "$work/$doc.render" ] || { cat "$work/$doc.render" >&2; fail "poppler complained about $pdf"; }
  ls "$work/$doc"-*.png > /dev/null 2>&1 || fail "no page of $pdf rendered"
  # the dates are the fixed ones
  pdfinfo "$pdf" | grep -q "^CreationDate:.*2020" || fail "$pdf does not carry the fixed creation date"
done

expect() {   # expect DOC TEXT
  grep -qF -- "$2" "$work/$1.txt" || fail "$1.pdf lacks the text: $2"
}
for h in "Contents" "Before you install" "Installing step by step" "The welcome page" "The licence page" \
         "The setup page" "The expert page" "Installing and restarting" "Variants" "QWERTY" "QWERTZ" "Dvorak" \
         "Set 0: every character directly" "Set 1: accent keys" "Changing the options" "Removing the layout" \
         "When something goes wrong" "ą ć ę ł ń ó ś ź ż"; do
  expect manual "$h"
done
for h in "QWERTY" "QWERTZ" "Dvorak" "Set 0" "Set 1" "Zestaw 0" "Zestaw 1" "Accent keys of set 1" "How to read a key"; do
  expect chart "$h"
done

# Reproducible: a second run gives the same bytes as the build.
for doc in manual chart page; do
  out=$work/again-$doc.pdf
  [ $doc = page ] && out=$work/again-page.html
  "$kbddocs" $doc "$content/docs" "$layout" "$ucd" "$fonts" "$out" || fail "kbddocs $doc failed"
  built_file=$built/$doc.pdf
  [ $doc = page ] && built_file=$built/page.html
  cmp -s "$out" "$built_file" || fail "$doc: a second run gives other bytes than the build"
done

# The page: one drawing per variant and set, labelled with the library's display name.
grep -q '^<!DOCTYPE html>' "$built/page.html" || fail "page.html has no doctype"
while read -r set row name; do
  grep -qF "aria-label=\"$name\"" "$built/page.html" || fail "page.html has no drawing of $name"
done < <(sed -n '/^\[display\]/,/^\[/{/^[0-9]/p}' "$layout")

# Bad input is named with file and line, with exit code 1; usage errors give 2.
mkdir -p "$work/bad"
cp "$content/docs/chart.txt" "$work/bad/chart.txt"
printf '%% Title\n\nText with *unbalanced bold.\n' > "$work/bad/manual.txt"
set +e
"$kbddocs" manual "$work/bad" "$layout" "$ucd" "$fonts" "$work/bad/out.pdf" 2> "$work/bad/err"
rc=$?
"$kbddocs" manual "$work/bad" 2> /dev/null
rc2=$?
set -e
[ $rc -eq 1 ] || fail "unbalanced markup: exit code $rc, not 1"
grep -qF "manual.txt:3:" "$work/bad/err" || fail "unbalanced markup: no file and line in: $(cat "$work/bad/err")"
[ $rc2 -eq 2 ] || fail "usage error: exit code $rc2, not 2"

[ $failed -eq 0 ] && echo "documents checked: manual.pdf, chart.pdf, page.html"
exit $failed
