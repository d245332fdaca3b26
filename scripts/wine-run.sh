#!/usr/bin/env bash
# usage: wine-run.sh [--timeout SECONDS] [--keep] [--desktop] -- COMMAND [ARGS...]
#
# Runs COMMAND in a fresh 64-bit Wine prefix of its own (a copy of the template made by
# wine-prefix.sh, named by KBD_WINE_TEMPLATE) on a private Xvfb display, with a hard time limit.
# COMMAND ending in .exe is started with wine64; anything else (a test script) is run as it is,
# with WINE, WINEPREFIX and DISPLAY set so it can start Windows programs itself.
# Afterwards the prefix's wineserver and the Xvfb are killed and the prefix is removed
# (kept with --keep or KBD_WINE_KEEP=1, for looking at it after a failure).
# --desktop uses the display in DISPLAY when one answers, instead of a private Xvfb.
# Exit code: the command's, or 124 when the time limit ran out.
set -uo pipefail

limit=${KBD_WINE_TIMEOUT:-120}
keep=${KBD_WINE_KEEP:-0}
desktop=0
while [ $# -gt 0 ]; do
  case "$1" in
    --timeout) limit=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    --desktop) desktop=1; shift ;;
    --) shift; break ;;
    *) break ;;
  esac
done
[ $# -ge 1 ] || { echo "usage: $0 [--timeout SECONDS] [--keep] [--desktop] -- COMMAND [ARGS...]" >&2; exit 2; }

here=$(cd "$(dirname "$0")" && pwd)
template=${KBD_WINE_TEMPLATE:?KBD_WINE_TEMPLATE must name the template prefix}
"$here/wine-prefix.sh" "$template" || exit 1

export WINE=/usr/lib/wine/wine64
export WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
runs="$(dirname "$template")/runs"
mkdir -p "$runs"
export WINEPREFIX
WINEPREFIX=$(mktemp -d "$runs/prefix.XXXXXX") || exit 1

# Large program files of the template are shared by hard link (nothing replaces them in place);
# everything else, the registry above all, is a private copy.
(cd "$template" && find . -mindepth 1 -maxdepth 1 ! -name drive_c -exec cp -a -t "$WINEPREFIX" {} +) || exit 1
mkdir -p "$WINEPREFIX/drive_c"
(cd "$template/drive_c" && find . -mindepth 1 -maxdepth 1 ! -name windows -exec cp -a -t "$WINEPREFIX/drive_c" {} +) || exit 1
cp -al "$template/drive_c/windows" "$WINEPREFIX/drive_c/windows" || exit 1
(cd "$template/drive_c/windows" && find . -type f -size -65k -print0 \
  | tar --null --warning=no-file-changed -cf - -T - | (cd "$WINEPREFIX/drive_c/windows" && tar --unlink-first -xf -))
[ -f "$WINEPREFIX/system.reg" ] || { echo "wine-run: could not copy the template prefix" >&2; exit 1; }

xvfb_pid=""
cleanup() {
  timeout 20 env WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  if [ "$keep" = 1 ]; then
    echo "wine-run: prefix kept at $WINEPREFIX" >&2
  else
    rm -rf "$WINEPREFIX"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ "$desktop" = 1 ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  export KBD_DESKTOP=1
else
  export KBD_DESKTOP=0
  # A private display: -displayfd makes Xvfb pick a free number and tell it once it is ready.
  fifo=$(mktemp -u "$runs/display.XXXXXX")
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  display=""
  read -r -t 20 display <"$fifo" || true
  rm -f "$fifo"
  if [ -z "$display" ]; then
    echo "wine-run: Xvfb did not start within 20 s" >&2
    exit 1
  fi
  export DISPLAY=":$display"
fi

case "$1" in
  *.exe|*.EXE) cmd=("$WINE" "$@") ;;
  *) cmd=("$@") ;;
esac

timeout --kill-after=10 "$limit" "${cmd[@]}"
rc=$?
if [ $rc -eq 124 ] || [ $rc -eq 137 ]; then
  echo "wine-run: TIMEOUT: '$*' did not finish within $limit s and was killed" >&2
  rc=124
fi
exit $rc
