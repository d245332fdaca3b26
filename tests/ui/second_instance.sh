#!/usr/bin/env bash
# A second copy started while the wizard is open ends at once and brings the first to the front.
# usage: second_instance.sh SETUP_EXE DRIVER_EXE SCREENSHOT_DIR
set -u
SETUP=$1 DRIVER=$2 SHOTS=$3
. "$(dirname "$0")/drive.sh"

start_wizard
out=$(d focus-away start "Z:${SETUP//\//\\}")
echo "$out"
grep -qx 'foreground-before 0' <<<"$out" || fail "the wizard was still in front before the second start"
grep -qx 'exit 0' <<<"$out" || fail "the second copy did not end with exit code 0"
grep -qx 'foreground-after 1' <<<"$out" || fail "the first wizard did not come to the front"
same "first wizard still on its page" "" page welcome
end_wizard
finish
