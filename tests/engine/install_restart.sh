#!/usr/bin/env bash
# usage: install_restart.sh ENGINE_RESTART_PHASES.exe   (under wine-run.sh)
# One installation's life in a fresh prefix: install, restart, check the system folders,
# uninstall, restart, check that nothing is left. wineboot -r carries out the requests the
# installer left for the restart.
set -u
phases=$1

phase() {
  echo "=== $1"
  timeout 120 "$WINE" "$phases" --gtest_filter="Phase.$1" --gtest_brief=1 \
    || { echo "FAILED: phase $1"; exit 1; }
}
restart() {
  echo "=== restart"
  timeout 120 "$WINE" wineboot -r >/dev/null 2>&1 || { echo "FAILED: wineboot -r"; exit 1; }
  timeout 60 wineserver -w 2>/dev/null || true
}

phase Install
restart
phase AfterInstallRestart
phase Uninstall
restart
phase AfterUninstallRestart
echo "install, restart, uninstall and restart passed"
