#!/usr/bin/env bash
# A Windows program that hangs must end as a failed run with a clear message within the limit.
set -u
exe=$1
here=$(cd "$(dirname "$0")" && pwd)
start=$(date +%s)
out=$("$here/../../scripts/wine-run.sh" --timeout 5 -- "$exe" 2>&1)
rc=$?
elapsed=$(( $(date +%s) - start ))
if [ $rc -ne 124 ]; then
  echo "expected exit code 124 from a hung program, got $rc"; echo "$out"; exit 1
fi
if ! grep -q "TIMEOUT" <<<"$out"; then
  echo "the timeout was not reported"; echo "$out"; exit 1
fi
if [ $elapsed -gt 40 ]; then
  echo "the hung program took $elapsed s to end, limit was 5 s"; exit 1
fi
echo "hung program ended after $elapsed s with a clear message"
