#!/usr/bin/env bash
# The tutorial in a real window under Xvfb: from the title into "tutorial", the mentor and its
# first words on their panel in the text box, then the grow lesson's words, which stay while no
# stock is earned. The script follows the screen rather than the clock, so a slow machine only
# makes it wait longer. (The faces by bullet size and the later lessons are checked frame by
# frame by the unit tests.)
# Usage: tutorial_e2e.sh [BUILD_DIR]   (E2E_SHOTS=folder keeps the screenshots)
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
. "$REPO/tests/e2e/lib.sh" "$@"

# A band of the text box (30, 100)-(450, 200) that lies over the pale mentor: bright without
# words, dark when the words' shaded panel covers it.
BAND=200x20+300+100

panel_shown() { greater 0.45 "$(region_mean "$SHOTS/$1.png" "$BAND")"; }
# until SECONDS NAME CHECK...: screenshots NAME until CHECK holds; false if it never does.
until_shown() {
  local deadline=$((SECONDS + $1)) name=$2; shift 2
  while [ "$SECONDS" -lt "$deadline" ]; do
    shot "$name"
    "$@" && return 0
    sleep 0.2
  done
  return 1
}

e2e_start_x
e2e_workdir
e2e_start_game
expect "the window titled Nimbulon opens" test -n "$WIN"

sleep 1.0
press z          # skip the credit
sleep 1.0
for _ in 1 2 3 4; do press Down; done   # "play 1st lap" down to "tutorial"
press z

expect "the mentor's first words show on their panel" until_shown 60 tutorial_intro panel_shown tutorial_intro
# The first words end at frame 660 and the grow lesson talks from 721, repeating until a stock
# is earned.
grow_words() {
  panel_shown tutorial_grow && greater "$(compare -metric AE "$SHOTS/tutorial_intro.png" "$SHOTS/tutorial_grow.png" \
    -crop 420x60+190+100 null: 2>&1 | cut -d' ' -f1)" 300
}
expect "the grow lesson's words follow the first ones" until_shown 60 tutorial_grow grow_words

expect "the tutorial was entered" grep -q 'GameMain コンストラクタ' "$WORK/data/log.txt"

press Escape
e2e_wait_exit 10
expect "Escape ends the program with status 0" test "$GAME_STATUS" = "0"
