#!/usr/bin/env bash
# The welcome page with an installed copy of this version (a record seeded in the registry):
# Uninstall with the question answered No and Yes, and Modify straight to the setup page. The
# stored key assignments reach the expert page.
# usage: installed.sh SETUP_EXE DRIVER_EXE SCREENSHOT_DIR
set -u
SETUP=$1 DRIVER=$2 SHOTS=$3
. "$(dirname "$0")/drive.sh"

record='HKLM\Software\KbdWizardFixture\Layout'
seed() {
  "$WINE" reg add "$record" /v "$1" /t "$2" /d "$3" /f >/dev/null 2>&1 || fail "reg add $1"
}
seed_install() {
  "$WINE" reg add "$record\\Install\\Setup" /v "$1" /t "$2" /d "$3" /f >/dev/null 2>&1 ||
    fail "reg add $1"
}
"$WINE" "$DRIVER" "$CLASS" gone </dev/null >/dev/null 2>&1
seed_record() {
  seed OriginalLayout REG_SZ 00000409
  seed InstallCount REG_DWORD 1
  seed TextFile REG_SZ 'C:\Program Files\Fixture\readme.txt'
  seed PageMenuLink REG_SZ 'C:\Fixture\page.url'
  seed DocSecond REG_SZ 'C:\Program Files\Fixture\chart.txt'
  seed DocSecondMenuLink REG_SZ 'C:\Fixture\chart.lnk'
  seed PageFile REG_SZ 'C:\Program Files\Fixture\index.html'
  seed DocSecondVersion REG_DWORD 1
  seed_install SetupCopy REG_SZ 'C:\Program Files\Fixture\setup.exe'
  seed_install SetupMenuLink REG_SZ 'C:\Fixture\setup.lnk'
  seed_install Version REG_DWORD 190
  # One stored assignment: Caps Lock (scan code 0x3A) gives VK_LCONTROL (0xA2).
  seed_install Keys REG_BINARY 3a00a200
}
seed_record

start_wizard
same "installed title" "EN FixLay is installed" text 308
same "installed body" "EN Installed body text" text 309
same "uninstall shown" "110" state 315
same "modify shown" "110" state 2003
same "document button shown" "110" state 2
same "next hidden" "000" state 1
shot welcome-installed-0

# Uninstall, No: nothing changes.
step "uninstall" click 315
same "uninstall question" "EN Remove Fixture Layout?" answer no
same "still welcome" "" page welcome
same "uninstall still enabled" "110" state 315

# Modify goes straight to the setup page; the licence counts as accepted.
step "modify" click 2003
same "setup page" "" page setup
same "default option hidden" "000" state 1200
same "input language hidden" "000" state 1202
same "input language label hidden" "000" state 313
same "hotkey option hidden, unchecked" "000" state 1205
same "shortcut option hidden, unchecked" "000" state 1212
same "layout flag shown" "110" state 1213
same "variant list shown" "110" state 1214
same "decimal list shown" "110" state 1215
shot setup-modify-0

step "expert page" click 303
same "expert page 1" "" page expert1
same "stored caps lock choice" "111" state 1312
same "stored caps lock value" "*0xa2 Key282" items 1412
step "back" click 301
same "setup" "" page setup
step "back" click 301
same "licence page" "" page licence
same "licence accepted" "111" state 305
same "next enabled" "110" state 1
step "back" click 301
same "welcome" "" page welcome

# Uninstall, Yes: the page's controls are disabled while it runs, then the done page reports the
# removal. Closing from the title bar there asks nothing and restarts nothing.
step "uninstall" click 315
same "uninstall question" "EN Remove Fixture Layout?" answer yes
same "done page" "" page done
same "upper text empty" "" text 1209
same "lower text" "EN Removed" text 1204
same "restart button" "EN Restart" text 1213
same "hidden check box" "000" state 1211
shot done-uninstalled-0
step "title-bar close" close
d nobox || fail "closing from the done page asked a question"
step "frame gone" gone
wait "$wizard_pid"
rc=$?
[ $rc -eq 0 ] || fail "the program ended with exit code $rc"
grep -q InitiateSystemShutdown "$trace" && fail "a restart was asked for without the restart button"

# Again, in language 1, ending with the restart button: Windows is asked to restart.
seed_record
start_wizard
step "choose language 1" choose 2002 1
step "uninstall" click 315
same "uninstall question, language 1" "PL ż Remove Fixture Layout?" answer yes
same "done page" "" page done
same "lower text, language 1" "PL ż Removed" text 1204
shot done-uninstalled-1
step "restart" click 1213
step "frame gone" gone
wait "$wizard_pid"
rc=$?
[ $rc -eq 0 ] || fail "the program ended with exit code $rc"
grep -q InitiateSystemShutdownExW "$trace" || fail "no restart was asked for: $(cat "$trace")"
finish
