#!/usr/bin/env bash
# Runs the x86_64 setup program; a message box nobody answers would hang it, and the harness's
# time limit would end the test as failed.
set -u
exe="$KBD_BUILD_DIR/setup.exe"
[ -f "$exe" ] || { echo "missing $exe"; exit 1; }
timeout 30 "$WINE" "$exe"
rc=$?
if [ $rc -ne 0 ]; then
  echo "setup.exe ended with exit code $rc (124: it did not end within 30 s, probably a message box)"
  exit 1
fi
echo "setup.exe started and ended with exit code 0"
