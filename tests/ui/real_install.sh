#!/usr/bin/env bash
# The shipped program's sources with the real store, driven as a person would: install through
# the wizard, restart, find the layout in the system folders, start the program again, remove
# the layout, restart, find nothing left of it. Names come from the content, not from here.
# usage: real_install.sh SETUP_EXE DRIVER_EXE SCREENSHOT_DIR
set -u
SETUP=$1 DRIVER=$2 SHOTS=$3
mkdir -p "$SHOTS"
strings_dir="$KBD_SOURCE_DIR/content/strings"
text() { awk -v id="$1" '$1 == id { $1 = ""; sub(/^ +/, ""); gsub(/\\\\/, "\\"); print; exit }' "$strings_dir"/common.txt "$strings_dir"/setup.txt; }
CLASS=$(text 94) LIBRARY=$(text 83) LAYOUTS=$(text 3) PARENT=$(text 9) FOLDER=$(text 10)
KEY=$(text 85)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
d() { "$WINE" "$DRIVER" "$CLASS" "$@" 2>&1 | tr -d '\r'; return "${PIPESTATUS[0]}"; }
shot() { import -display "$DISPLAY" -window root "$SHOTS/$1.png" 2>/dev/null; }
layout_key_exists() { "$WINE" reg query "HKLM\\$LAYOUTS" 2>/dev/null | tr -d '\r' | grep -qi "\\\\$KEY\$"; }
start() {
  env LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 "$WINE" "$SETUP" >/dev/null 2>&1 &
  pid=$!
  d page welcome >/dev/null || fail "$1: the welcome page did not appear"
}
finish_run() {
  d close >/dev/null; d gone >/dev/null || fail "$1: the frame did not go"
  wait $pid; local rc=$?
  [ $rc -eq 0 ] || fail "$1: exit code $rc"
}
[ -n "$CLASS" ] && [ -n "$LIBRARY" ] && [ -n "$KEY" ] || { echo "FAIL: names missing from the content"; exit 1; }
"$WINE" "$DRIVER" "$CLASS" gone </dev/null >/dev/null 2>&1

# Install.
start install
d click 1 >/dev/null; d page licence >/dev/null || fail "no licence page"
d click 305 >/dev/null; d click 1 >/dev/null; d page setup >/dev/null || fail "no setup page"
# Expert page 1: Caps Lock becomes a left Control key; the choice must reach the record.
d click 303 >/dev/null; d page expert1 >/dev/null || fail "no expert page"
d click 1312 >/dev/null
# The click is posted: wait until the page has enabled the row's list.
for _ in $(seq 50); do [ "$(d state 1412)" = "110" ] && break; sleep 0.2; done
index=$(d items 1412 | grep -n '^\*\?0xa2 ' | cut -d: -f1)
[ -n "$index" ] || fail "the Caps Lock list offers no left Control key"
d choose 1412 $((index - 1)) >/dev/null || fail "could not choose the left Control key"
d click 301 >/dev/null; d page setup >/dev/null || fail "no way back to the setup page"
d click 206 >/dev/null
d page done >/dev/null || fail "the installation did not reach the done page: $(d answer ok)"
shot install-done
finish_run install
layout_key_exists || fail "the layout is not registered under $KEY"
record="HKLM\\$(text 7)\\$(text 8)\\$(text 10)\\$(text 36)\\$(text 89)"
assignments=$("$WINE" reg query "$record" /v "$(text 157)" 2>/dev/null | tr -d '\r')
grep -qi '3A00A200' <<<"$assignments" || fail "the Caps Lock choice is not in the record: $assignments"
program="$WINEPREFIX/drive_c/Program Files/$PARENT/$FOLDER"
[ -n "$(ls -A "$program" 2>/dev/null)" ] || fail "the program folder $program is empty or missing"

"$WINE" wineboot -r >/dev/null 2>&1; "$WINE" wineboot -u >/dev/null 2>&1 || true
for dir in system32 syswow64; do
  [ -s "$WINEPREFIX/drive_c/windows/$dir/$LIBRARY" ] || fail "$LIBRARY is not in $dir after the restart"
done

# Remove.
start uninstall
[ "$(d state 315)" = "110" ] || fail "the installed copy was not recognised (no uninstall button)"
d click 315 >/dev/null
d answer yes >/dev/null || fail "no uninstall question"
d page done >/dev/null || fail "the removal did not reach the done page"
shot uninstall-done
finish_run uninstall
layout_key_exists && fail "the layout is still registered after the removal"
"$WINE" wineboot -r >/dev/null 2>&1
for dir in system32 syswow64; do
  [ -e "$WINEPREFIX/drive_c/windows/$dir/$LIBRARY" ] && fail "$LIBRARY is still in $dir after the restart"
done

[ $failures -eq 0 ] || exit 1
echo "installed through the wizard, found after the restart, removed, gone after the restart"
