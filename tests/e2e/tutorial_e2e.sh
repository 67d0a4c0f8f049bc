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
shot_then() { shot "$1"; shift; "$@"; }
until_shown() { local seconds=$1 name=$2; shift 2; e2e_until "$seconds" shot_then "$name" "$@"; }

# The mentor's pale lower body, 40 x 30 window pixels below its face (the mentor stands at
# (240, 200) of the playfield): every pixel light, a lavender white (blue above red above green).
# Nothing in the first stage is drawn there in these colours.
MENTOR=40x30+380+250
mentor_shown() {
  local rgb
  rgb=$(convert "$SHOTS/$1.png" -crop "$MENTOR" +repage \
    -format '%[fx:minima.r] %[fx:minima.g] %[fx:minima.b] %[fx:mean.r] %[fx:mean.g] %[fx:mean.b]' info: 2>/dev/null)
  awk -v v="$rgb" 'BEGIN { n = split(v, c, " "); exit !(n == 6 && c[1] > 0.6 && c[2] > 0.6 && c[3] > 0.7 &&
    c[6] > c[4] + 0.03 && c[4] > c[5]) }'
}

. "$REPO/tests/e2e/menus.sh"
e2e_open_game
e2e_to_title
# The entries shown before the first lap is cleared: "play 1st lap" (row 340), its score, the
# old version's pair (420, 440), "tutorial" (460), "exit".
expect "the title's cursor reaches \"tutorial\" and the play begins" enter_play 8
expect "the tutorial loads its own picture, the mentor's" e2e_wait_log 'ID= = 79$' 30
expect "the pale mentor stands in the field" until_shown 30 mentor mentor_shown mentor
expect "the mentor's first words show on their panel" until_shown 60 tutorial_intro panel_shown tutorial_intro
# The first words end at frame 660 and the grow lesson talks from 721, repeating until a stock
# is earned.
grow_words() {
  panel_shown tutorial_grow && greater "$(compare -metric AE "$SHOTS/tutorial_intro.png" "$SHOTS/tutorial_grow.png" \
    -crop 420x60+190+100 null: 2>&1 | cut -d' ' -f1)" 300
}
expect "the grow lesson's words follow the first ones" until_shown 60 tutorial_grow grow_words

press Escape
e2e_wait_exit 10
expect "Escape ends the program with status 0" test "$GAME_STATUS" = "0"
