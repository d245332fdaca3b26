#!/usr/bin/env bash
# The Install button calls the installer; the fixture store has none of the texts an installation
# needs, so the installation fails: the page says so (message 143) and the program ends at once,
# without the close question and without the done page.
# usage: install_failure.sh SETUP_EXE DRIVER_EXE SCREENSHOT_DIR
set -u
SETUP=$1 DRIVER=$2 SHOTS=$3
. "$(dirname "$0")/drive.sh"

start_wizard
step "next" click 1
same "licence" "" page licence
step "accept" click 305
step "next" click 1
same "setup" "" page setup
step "install" click 206
same "failure message" "EN Install failed" answer ok
step "frame gone without a question" gone
wait "$wizard_pid"
rc=$?
[ $rc -eq 0 ] || fail "the program ended with exit code $rc"
finish
