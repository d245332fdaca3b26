#!/usr/bin/env bash
# usage: restart.sh RESTART_TEST.exe   (under wine-run.sh)
# Stages, restarts the prefix (wineboot -r carries out the replace-at-restart requests), then
# checks what the restart left.
set -u
program=$1
timeout 60 "$WINE" "$program" --gtest_filter='BeforeRestart.*' --gtest_brief=1 \
  || { echo "FAILED: before the restart"; exit 1; }
timeout 60 "$WINE" wineboot -r || { echo "FAILED: wineboot -r"; exit 1; }
timeout 60 "$WINE" "$program" --gtest_filter='AfterRestart.*' --gtest_brief=1 \
  || { echo "FAILED: after the restart"; exit 1; }
echo "the restart carried out every request"
