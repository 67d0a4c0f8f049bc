#!/usr/bin/env bash
# The tutorial in a real window under Xvfb: from the title into "tutorial", the mentor and its
# words in the text box, the grow lesson with Button2 held (large bullets, the mentor's second
# face), the shrink lesson with Button2 tapped (small bullets, the third face).
# Usage: tutorial_e2e.sh [BUILD_DIR]   (E2E_SHOTS=folder keeps the screenshots)
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
. "$REPO/tests/e2e/lib.sh" "$@"

e2e_start_x
e2e_workdir
e2e_start_game
expect "the window titled Nimbulon opens" test -n "$WIN"

sleep 1.0
press z          # skip the credit
sleep 1.0
for _ in 1 2 3 4; do press Down; done   # "play 1st lap" down to "tutorial"
press z
sleep 4.0        # well inside the first words (frames 61..659)
shot tutorial_intro
sleep 8.0        # past frame 660: the words are gone, the slow bullets begin
shot tutorial_quiet
sleep 1.5        # the grow lesson's words (frames 721..779, repeated until a stock is earned)
shot tutorial_grow
xdotool keydown x
sleep 1.6        # held past one second: the bullets grow
shot tutorial_large
sleep 1.2
xdotool keyup x  # the stock is earned after one second of large bullets
sleep 1.5
shot tutorial_shrink_lesson
press x 0.08     # a tap spends the stock: small bullets
sleep 0.3
shot tutorial_small

# The text box is (30, 100)-(450, 200) of the playfield, window columns 190..610.
box=420x100+190+100
expect "the mentor's words show in the text box" \
  greater "$(compare -metric AE "$SHOTS/tutorial_intro.png" "$SHOTS/tutorial_quiet.png" -crop "$box" null: 2>&1 | cut -d' ' -f1)" 500
expect "the grow lesson has words of its own" \
  greater "$(compare -metric AE "$SHOTS/tutorial_intro.png" "$SHOTS/tutorial_grow.png" -crop "$box" null: 2>&1 | cut -d' ' -f1)" 500
# The mentor's face (64 x 64 at playfield (240, 201)) changes with the bullet size.
face=64x64+368+169
expect "large bullets change the mentor's face" \
  greater "$(compare -metric AE "$SHOTS/tutorial_quiet.png" "$SHOTS/tutorial_large.png" -crop "$face" null: 2>&1 | cut -d' ' -f1)" 800
expect "small bullets change it again" \
  greater "$(compare -metric AE "$SHOTS/tutorial_large.png" "$SHOTS/tutorial_small.png" -crop "$face" null: 2>&1 | cut -d' ' -f1)" 800
expect "the tutorial was entered" grep -q 'GameMain コンストラクタ' "$WORK/data/log.txt"

press Escape
e2e_wait_exit 10
expect "Escape ends the program with status 0" test "$GAME_STATUS" = "0"
