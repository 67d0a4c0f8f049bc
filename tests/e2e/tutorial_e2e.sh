#!/usr/bin/env bash
# The tutorial in a real window under Xvfb: from the title into "tutorial", the mentor and the
# first page's words on their panel in the text box, each staying until Button1; the mentor's
# first words, then the grow lesson's words, which stay while no stock is earned. Then the
# lessons done as a player would from the bottom left corner (where this seed's bullets pass by):
# the stock earned, the shrink spent when its lesson shows with the hint to wait for the wall, the
# survival, the closing words, "tutorial complete" until Button1, and back to the title. The
# script follows the screen and the log rather than the clock, so a slow machine only makes it
# wait longer. (The faces by bullet size and the failures are checked frame by frame by the unit
# tests.)
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
expect "the first page's words show on their panel" until_shown 60 tutorial_page panel_shown tutorial_page
# Its first line stays while the ship stands still.
sleep 3
expect "the first line waits for the player" e2e_until 5 shot_then tutorial_page_wait panel_shown tutorial_page_wait
page_done() { grep -q 'チュートリアル：最初のページを終了' "$WORK/data/log.txt"; }
page_waits() { ! page_done; }
expect "the first page does not end by itself" page_waits
# To the bottom left corner, with Button2 held long enough for the bullets to grow and a stock.
xdotool keydown Left keydown Down keydown x; sleep 4; xdotool keyup x keyup Down keyup Left; sleep 0.3
press_until() { key z; "$@"; }  # one Button1 press (half a second), then the check
expect "Button1 reads through the first page" e2e_until 60 press_until page_done
expect "the mentor's first words show on their panel" until_shown 60 tutorial_intro panel_shown tutorial_intro
# The first words end at frame 660 (or at Button1) and the grow lesson talks from 721; with the
# stock earned the shrink lesson follows from 841, its hint to wait for the wall in a second box.
HINT=200x16+300+236
hint_shown() { panel_shown "$1" && greater 0.45 "$(region_mean "$SHOTS/$1.png" "$HINT")"; }
key z
expect "the shrink lesson shows with its hint to wait for the wall" until_shown 60 tutorial_shrink hint_shown tutorial_shrink
press x 0.2
complete() { grep -q 'チュートリアル完了' "$WORK/data/log.txt"; }
# The survival takes 20 seconds; Button1 then moves past the closing words.
expect "the lessons are passed and \"tutorial complete\" shows" e2e_until 120 press_until complete
expect "\"tutorial complete\" stays on its panel" until_shown 10 tutorial_complete panel_shown tutorial_complete
sleep 2
expect "it waits for Button1" test "$(grep -cE "$LOG_TITLE" "$WORK/data/log.txt")" = 1
key z
expect "Button1 goes back to the title" e2e_wait_log "$LOG_TITLE" 30 2

press Escape
e2e_wait_exit 10
expect "Escape ends the program with status 0" test "$GAME_STATUS" = "0"
