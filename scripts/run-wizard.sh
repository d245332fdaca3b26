#!/usr/bin/env bash
# usage: run-wizard.sh SETUP_EXE TEMPLATE_DIR SCREENSHOT
# Starts the setup wizard under 64-bit Wine in a throw-away prefix. On a desktop (DISPLAY set
# and answering) the wizard is shown there until it is closed. Otherwise it runs on a private
# Xvfb display: after a few seconds a screenshot is saved to SCREENSHOT and the run is ended.
set -u
[ $# -eq 3 ] || { echo "usage: $0 SETUP_EXE TEMPLATE_DIR SCREENSHOT" >&2; exit 2; }
exe=$(realpath "$1") template=$2 shot=$(realpath -m "$3")
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$(dirname "$shot")"
export KBD_WINE_TEMPLATE=$template KBD_EXE=$exe KBD_SHOT=$shot

"$here/wine-run.sh" --timeout 3600 --desktop -- bash -c '
  if [ "$KBD_DESKTOP" = 1 ]; then
    echo "run-wizard: showing the wizard on $DISPLAY; close it to end"
    "$WINE" "$KBD_EXE"
    exit 0
  fi
  "$WINE" "$KBD_EXE" &
  pid=$!
  sleep 6
  if ! kill -0 $pid 2>/dev/null; then
    wait $pid; rc=$?
    echo "run-wizard: setup.exe ended by itself with exit code $rc before the screenshot"
  fi
  rm -f "$KBD_SHOT"
  import -display "$DISPLAY" -window root "$KBD_SHOT" 2>/dev/null
  if [ -s "$KBD_SHOT" ]; then
    echo "run-wizard: no desktop display; the wizard ran on a private display and its screenshot is $KBD_SHOT"
  else
    echo "run-wizard: no screenshot could be taken" >&2
    exit 1
  fi
'
