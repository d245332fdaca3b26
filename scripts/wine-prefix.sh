#!/usr/bin/env bash
# usage: wine-prefix.sh TEMPLATE_DIR
# Creates the template 64-bit Wine prefix once (wineboot -i) and reuses it while the Wine version
# is unchanged. Test runs never use it directly: wine-run.sh gives each suite a copy of its own.
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 TEMPLATE_DIR" >&2; exit 2; }
template=$1
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || { echo "wine-prefix: $wine not found (run scripts/install-deps.sh)" >&2; exit 1; }
# The marker changes with the Wine version and with what this script adds to the prefix.
version="$("$wine" --version 2>/dev/null || echo unknown) keys-1"

if [ -f "$template/.kbd-template" ] && [ "$(cat "$template/.kbd-template")" = "$version" ]; then
  exit 0
fi

rm -rf "$template" "$template.tmp"
mkdir -p "$(dirname "$template")"
export WINEPREFIX="$template.tmp" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
if ! timeout 180 "$wine" wineboot -i >/dev/null 2>&1; then
  echo "wine-prefix: wineboot -i failed or took longer than 180 s" >&2
  timeout 10 wineserver -k 2>/dev/null || true
  exit 1
fi
# Windows always has these two keys; a fresh Wine prefix lacks them, and the installer opens them
# (it does not create them) as it would on Windows.
for key in 'HKLM\SYSTEM\CurrentControlSet\Control\Keyboard Layouts' \
           'HKLM\SYSTEM\CurrentControlSet\Control\Keyboard Layout'; do
  if ! timeout 60 "$wine" reg add "$key" /f >/dev/null 2>&1; then
    echo "wine-prefix: could not add $key" >&2
    timeout 10 wineserver -k 2>/dev/null || true
    exit 1
  fi
done
timeout 60 wineserver -w || true
echo "$version" > "$WINEPREFIX/.kbd-template"
mv "$WINEPREFIX" "$template"
