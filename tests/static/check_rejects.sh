#!/usr/bin/env bash
# The static checks must fail, for the right reason, on images that break each rule.
set -u
check=$1 bad=$2 x64=$3
status=0

expect_failure() {   # description, expected text, arguments...
  local what=$1 text=$2; shift 2
  local out rc
  out=$("$check" "$@" 2>&1); rc=$?
  if [ $rc -ne 1 ]; then
    echo "FAIL: $what: exit code $rc, expected 1"; echo "$out"; status=1
  elif ! grep -q -- "$text" <<<"$out"; then
    echo "FAIL: $what: output lacks '$text'"; echo "$out"; status=1
  else
    echo "ok: $what"
  fi
}

expect_failure "console subsystem" "subsystem is not Windows GUI" i386 "$bad"
expect_failure "forbidden library" "imports from ws2_32.dll" i386 "$bad"
expect_failure "function newer than Windows 2000" "imports GetNativeSystemInfo" i386 "$bad"
expect_failure "64-bit image checked as 32-bit" "not a pei-i386 image" i386 "$x64"
tmp=$(mktemp); echo "not a program" >"$tmp"
expect_failure "not a PE file" "not a PE image" i386 "$tmp"
rm -f "$tmp"
expect_failure "missing file" "no such file" i386 /nonexistent/setup.exe
exit $status
