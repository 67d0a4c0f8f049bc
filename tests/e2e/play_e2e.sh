#!/usr/bin/env bash
# A play in a real window under Xvfb: from the title into "play 1st lap", fire held for some
# seconds, a screenshot of the play, then Escape.
# Usage: play_e2e.sh [BUILD_DIR]
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
. "$REPO/tests/e2e/lib.sh" "$@"

e2e_open_game
e2e_to_title
shot title
press z          # the cursor starts on "play 1st lap"
e2e_wait_log "$LOG_PLAY"
sleep 0.5
xdotool keydown z
sleep 1.0
xdotool keydown Right; sleep 1.2; xdotool keyup Right
xdotool keydown Left; sleep 1.6; xdotool keyup Left
sleep 1.2
shot play
xdotool keyup z
sleep 0.2

# The playfield strip is columns 160..639 of the window.
expect "the play screen is not blank" greater "$(region_spread "$SHOTS/play.png" 480x600+160+0)" 0.02
expect "the playfield differs from the title" \
  greater "$(compare -metric AE "$SHOTS/title.png" "$SHOTS/play.png" null: 2>&1 | cut -d' ' -f1)" 20000
# The status line "x0000" with the item icon at the top left of the playfield.
expect "the status line is drawn at the top left" \
  greater "$(region_spread "$SHOTS/play.png" 80x40+160+36)" 0.05
# The ship near the bottom of the field (it starts at y 500 and fires upwards).
expect "the ship and its shots show in the lower field" \
  greater "$(region_spread "$SHOTS/play.png" 480x200+160+380)" 0.05
expect "the play scene was entered" grep -q 'GameMain コンストラクタ' "$WORK/data/log.txt"

press Escape
e2e_wait_exit 10
expect "Escape ends the program with status 0" test "$GAME_STATUS" = "0"
