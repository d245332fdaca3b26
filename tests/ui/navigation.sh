#!/usr/bin/env bash
# The wizard driven from outside on a fresh prefix: every page forward and back, the licence box
# gating Next, the language switch, the close question, the expert rows, and screenshots.
# usage: navigation.sh SETUP_EXE DRIVER_EXE SCREENSHOT_DIR
set -u
SETUP=$1 DRIVER=$2 SHOTS=$3
. "$(dirname "$0")/drive.sh"

start_wizard

# Welcome page in install mode, language 0.
same "welcome title" "EN Welcome to FixLay" text 308
same "welcome body" "EN Install body text" text 309
same "language label" "EN interface language" text 307
same "cancel text" "EN Cancel" text 300
same "next text" "EN Next" text 1
same "next shown and enabled" "110" state 1
same "uninstall hidden" "000" state 315
same "modify hidden" "000" state 2003
same "document button hidden" "000" state 2
same "language list" $'*0 EN English\n0x1 EN Polish' items 2002
shot welcome-0

# The close question: No keeps the page.
step "cancel" click 300
same "close question" "EN Close the wizard?" answer no
same "still on the welcome page" "" page welcome
d nobox || fail "a message box stayed open"

# The language switch changes every text of the page, the list included.
step "choose Polish" choose 2002 1
same "welcome title, language 1" "PL ż Welcome to FixLay" text 308
same "welcome body, language 1" "PL ż Install body text" text 309
same "language label, language 1" "PL ż interface language" text 307
same "cancel, language 1" "PL ż Cancel" text 300
same "next, language 1" "PL ż Next" text 1
same "language list, language 1" $'0 PL ż English\n*0x1 PL ż Polish' items 2002
shot welcome-1

step "next" click 1
same "licence page" "" page licence
same "licence title, language 1" "PL ż Licence title" text 311
starts_with "licence text, language 1" "PL licencja: pierwszy wiersz, zażółć" text 306
shot licence-1
step "back" click 301
same "back on welcome" "" page welcome

# Switching back restores the first texts.
step "choose English" choose 2002 0
same "welcome title again" "EN Welcome to FixLay" text 308
same "language list again" $'*0 EN English\n0x1 EN Polish' items 2002

# The licence box gates Next; the text shows without the byte-order mark.
step "next" click 1
same "licence page" "" page licence
starts_with "licence text, language 0" "EN licence: the first line of the fixture licence." text 306
same "accept box clear" "110" state 305
same "next disabled" "100" state 1
step "tick" click 305
same "accept box ticked" "111" state 305
same "next enabled" "110" state 1
step "untick" click 305
same "next disabled again" "100" state 1
step "tick again" click 305
same "next enabled again" "110" state 1
shot licence-0

# Back and Next again keep the acceptance.
step "back" click 301
same "welcome" "" page welcome
step "next" click 1
same "licence again" "" page licence
same "acceptance kept" "111" state 305
same "next still enabled" "110" state 1
step "next" click 1
same "setup page" "" page setup

# Setup page (the options shown by Windows version are checked by setup_versions.sh).
same "install label" "EN Install" text 206
same "input language label" "EN Input language of FixLay" text 313
starts_with "default label" "EN Make " text 1200
same "expert 2 button hidden" "000" state 304
same "layout flag shown" "110" state 1213
same "variant list" $'*0 EN Variant A\n0x1 EN Variant B\n0x2 EN Variant C' items 1214
shot setup-0

# The input-language list holds the user's languages, one of them selected.
langs=$(d items 1202)
echo "$langs"
grep -q '^\*' <<<"$langs" || fail "no input language selected"

# Next has no meaning on the setup page: the frame's WMU_NEXT leaves it in place.
step "WMU_NEXT to the frame" post 1027
sleep 1
same "still the setup page" "" page setup

step "variant C" choose 1214 2
step "to expert page 1" click 303
same "expert page 1" "" page expert1
same "row 1 label" "Key280" text 1301
same "row 12 label" "Key174" text 1312
same "row 1 unchecked, list empty" "" items 1401
same "row 1 list disabled" "100" state 1401
same "rows beyond 14 hidden" "000" state 1315
same "button to page 2 hidden" "000" state 304
same "page label" "EN Keys" text 303

# Caps Lock takes VK_LCONTROL.
step "tick Caps Lock" click 1312
caps=$(d items 1412)
[ "$(wc -l <<<"$caps")" = 26 ] || fail "Caps Lock list: expected 26 choices, got: $caps"
grep -q '^\*0x14 Key174$' <<<"$caps" || fail "Caps Lock list does not show its default: $caps"
grep -q '^0xa2 Key282$' <<<"$caps" || fail "Caps Lock list lacks VK_LCONTROL: $caps"
index=$(grep -n '0xa2 Key282$' <<<"$caps" | cut -d: -f1)
step "choose VK_LCONTROL" choose 1412 $((index - 1))
# Left Shift checked shows its own default; it is normalised away when leaving.
step "tick Left Shift" click 1301
grep -q '^\*0xa0 Key280$' <<<"$(d items 1401)" || fail "Left Shift does not show VK_LSHIFT"
shot expert1-0
step "back to setup" click 301
same "setup page again" "" page setup
same "variant kept" $'0 EN Variant A\n0x1 EN Variant B\n*0x2 EN Variant C' items 1214

step "to expert page 1 again" click 303
same "expert page 1 again" "" page expert1
same "caps lock checked" "111" state 1312
same "caps lock single choice" "*0xa2 Key282" items 1412
same "left shift normalised away" "110" state 1301
step "open the caps lock list" dropdown 1412
caps=$(d items 1412)
[ "$(wc -l <<<"$caps")" = 26 ] || fail "Caps Lock list after opening: expected 26 choices"
grep -q '^\*0xa2 Key282$' <<<"$caps" || fail "opening the list changed its value: $caps"

# Unticking keeps the choice for re-ticking.
step "untick Caps Lock" click 1312
same "caps lock list disabled" "100" state 1412
step "tick Caps Lock again" click 1312
grep -q '^\*0xa2 Key282$' <<<"$(d items 1412)" || fail "re-ticking lost the choice"

# Expert page 2 has no button on these pages; shown through the frame's message, it shows no
# rows and leads back to page 1.
step "WMU_EXPERT2 to the frame" post 1030
same "expert page 2" "" page expert2
same "row 1 hidden" "000" state 1501
same "list 1 hidden" "000" state 1601
same "row 20 hidden" "000" state 1520
same "page label" "EN Scan codes" text 304
same "button to page 1" "110" state 303
# A row's list holds the whole choice list from the start; ticking the (hidden) row must not
# cost it a real choice, and shows the key's own scan code.
step "tick row 1 of page 2" click 1501
rows=$(d items 1601)
[ "$(wc -l <<<"$rows")" = 23 ] || fail "page 2 row 1: expected 23 choices, got: $rows"
grep -q '^0xff Disabled$' <<<"$rows" || fail "page 2 row 1 lost the key-disabled choice: $rows"
grep -q '^\*0x3a Key174$' <<<"$rows" || fail "page 2 row 1 does not show its own key: $rows"
step "to page 1" click 303
same "expert page 1 from page 2" "" page expert1
same "caps lock still checked" "111" state 1312

# All the way back.
step "back to setup" click 301
same "setup" "" page setup
step "back" click 301
same "licence" "" page licence
step "back" click 301
same "welcome" "" page welcome

# Closing from the title bar asks; Yes ends the program.
step "close" close
same "close question" "EN Close the wizard?" answer yes
step "frame gone" gone
wait "$wizard_pid"
rc=$?
[ $rc -eq 0 ] || fail "the program ended with exit code $rc"

finish
