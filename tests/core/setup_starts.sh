#!/usr/bin/env bash
# The real program with its real store, started as a user would, in English and in Polish: it
# gets through its start-up checks, shows the welcome page in the user's language with no
# message box, and ends with exit code 0 when its window is closed and the question answered.
# usage: setup_starts.sh SETUP_EXE DRIVER_EXE
set -u
SETUP=$1 DRIVER=$2
# The frame's class name is a text of the store: take it from the content, not from here.
CLASS=$(awk '$1 == "94" { $1 = ""; sub(/^ +/, ""); print; exit }' "$KBD_SOURCE_DIR/content/strings/common.txt")
[ -n "$CLASS" ] || { echo "FAIL: no class name (string 94) in the content"; exit 1; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
d() { "$WINE" "$DRIVER" "$CLASS" "$@" 2>&1 | tr -d '\r'; return "${PIPESTATUS[0]}"; }

# The prefix's first program starts its services, which keep their output open.
"$WINE" "$DRIVER" "$CLASS" gone </dev/null >/dev/null 2>&1

declare -A cancel
for lang in en_US pl_PL; do
  env LANG=$lang.UTF-8 LC_ALL=$lang.UTF-8 "$WINE" "$SETUP" >/dev/null 2>&1 &
  pid=$!
  d page welcome >/dev/null || fail "$lang: the welcome page did not appear"
  d nobox >/dev/null || fail "$lang: a message box is open at start"
  cancel[$lang]=$(d text 300)
  [ -n "${cancel[$lang]}" ] || fail "$lang: the Cancel button has no text"
  d close >/dev/null || fail "$lang: could not close the frame"
  d answer yes >/dev/null || fail "$lang: no close question"
  d gone >/dev/null || fail "$lang: the frame did not go"
  wait $pid
  rc=$?
  [ $rc -eq 0 ] || fail "$lang: exit code $rc"
  echo "$lang: welcome page shown, Cancel reads '${cancel[$lang]}', exit code $rc"
done
[ "${cancel[en_US]}" != "${cancel[pl_PL]}" ] || fail "the Polish user saw the English text"
[ $failures -eq 0 ] || exit 1
echo "the real program starts, shows its welcome page in the user's language and ends cleanly"
