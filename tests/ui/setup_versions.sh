#!/usr/bin/env bash
# The setup page's options shown by Windows version (Wine's version setting of the prefix), and
# screenshots of the pages in interface language 1.
# usage: setup_versions.sh SETUP_EXE DRIVER_EXE SCREENSHOT_DIR
set -u
SETUP=$1 DRIVER=$2 SHOTS=$3
. "$(dirname "$0")/drive.sh"

# version setting, then the expected "visible enabled" digits of 1200, 313, 1202, 1212, 1205,
# 1213, 1214, 1215.
cases=(
  "winxp64 00 00 00 11 11 11 11 11"
  "vista 11 11 11 11 11 11 11 11"
  "win7 11 11 11 11 11 11 11 11"
  "win8 11 11 11 00 11 11 11 11"
)
ids=(1200 313 1202 1212 1205 1213 1214 1215)

for c in "${cases[@]}"; do
  read -r version expect <<<"$c"
  "$WINE" reg add 'HKCU\Software\Wine' /v Version /d "$version" /f >/dev/null 2>&1
  start_wizard
  if [ "$version" = win7 ]; then
    step "choose language 1" choose 2002 1
  fi
  step "next" click 1
  step "licence" page licence
  step "accept" click 305
  step "next" click 1
  step "setup" page setup
  i=0
  for want in $expect; do
    got=$(d state "${ids[$i]}")
    [ "${got:0:2}" = "$want" ] || fail "$version: control ${ids[$i]}: expected $want, got ${got:0:2}"
    i=$((i + 1))
  done
  # Below 6.2 the shortcut option is ticked by default; from 6.2 it is on but hidden.
  if [ "$version" = win7 ]; then
    same "$version: shortcut option ticked" "111" state 1212
    same "setup title, language 1" "PL ż Input language of FixLay" text 313
    shot setup-1
    step "expert" click 303
    step "expert page" page expert1
    step "tick caps lock" click 1312
    shot expert1-1
  fi
  echo "ok: $version"
  end_wizard
done
finish
