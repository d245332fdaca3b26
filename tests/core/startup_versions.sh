#!/usr/bin/env bash
# usage: startup_versions.sh PROBE_TEST.exe PATHS_TEST.exe   (under wine-run.sh)
# Runs the version-dependent start-up cases once per Windows version that Wine can report, and
# the locale-dependent ones under an English and a Polish user. The Windows version is a setting
# of the prefix, read when a process starts, so each case is a new process.
set -u
probe=$1 paths=$2
failures=0

run() {  # run VERSION LOCALE PROGRAM FILTER VAR=VALUE...
  local version=$1 locale=$2 program=$3 filter=$4
  shift 4
  "$WINE" reg add 'HKCU\Software\Wine' /v Version /d "$version" /f >/dev/null 2>&1 \
    || { echo "FAILED: could not set Windows version $version"; failures=$((failures + 1)); return; }
  echo "=== $version, $locale: $filter $*"
  if ! env LANG="$locale" LC_ALL="$locale" "$@" timeout 60 "$WINE" "$program" \
      --gtest_filter="$filter" --gtest_brief=1; then
    echo "FAILED: $version, $locale: $filter"
    failures=$((failures + 1))
  fi
}

en=en_US.UTF-8 pl=pl_PL.UTF-8
# Version code, whether a 64-bit system of that version is supported, interface language.
run win2k   $en "$probe" Probe.StartupVersion KBD_EXPECT_VERSION_CODE=50 KBD_EXPECT_SUPPORTED=0 KBD_EXPECT_UI_LANGUAGE=0
run winxp   $en "$probe" Probe.StartupVersion KBD_EXPECT_VERSION_CODE=51 KBD_EXPECT_SUPPORTED=0 KBD_EXPECT_UI_LANGUAGE=0
run win2003 $en "$probe" Probe.StartupVersion KBD_EXPECT_VERSION_CODE=52 KBD_EXPECT_SUPPORTED=1 KBD_EXPECT_UI_LANGUAGE=0
run vista   $en "$probe" Probe.StartupVersion KBD_EXPECT_VERSION_CODE=60 KBD_EXPECT_SUPPORTED=1 KBD_EXPECT_UI_LANGUAGE=0
run win7    $en "$probe" Probe.StartupVersion KBD_EXPECT_VERSION_CODE=61 KBD_EXPECT_SUPPORTED=1 KBD_EXPECT_UI_LANGUAGE=0
run win8    $en "$probe" Probe.StartupVersion KBD_EXPECT_VERSION_CODE=62 KBD_EXPECT_SUPPORTED=1 KBD_EXPECT_UI_LANGUAGE=0
run winxp   $pl "$probe" Probe.StartupVersion KBD_EXPECT_VERSION_CODE=51 KBD_EXPECT_SUPPORTED=0 KBD_EXPECT_UI_LANGUAGE=1
run win2003 $pl "$probe" Probe.StartupVersion KBD_EXPECT_VERSION_CODE=52 KBD_EXPECT_SUPPORTED=1 KBD_EXPECT_UI_LANGUAGE=1
run win7    $pl "$probe" Probe.StartupVersion KBD_EXPECT_VERSION_CODE=61 KBD_EXPECT_SUPPORTED=1 KBD_EXPECT_UI_LANGUAGE=1
# The decimal separator of the user's locale sets the default decimal variant.
run win7    $en "$paths" Paths.DecimalVariantDefaultOfTheLocale KBD_EXPECT_DECIMAL_VARIANT=1
run win7    $pl "$paths" Paths.DecimalVariantDefaultOfTheLocale KBD_EXPECT_DECIMAL_VARIANT=0
run win7    de_DE.UTF-8 "$paths" Paths.DecimalVariantDefaultOfTheLocale KBD_EXPECT_DECIMAL_VARIANT=0

[ $failures -eq 0 ] || { echo "$failures case(s) failed"; exit 1; }
echo "every version and locale case passed"
