#!/usr/bin/env bash
# Practice in a real window under Xvfb: a player whose first-lap plays reached stage 3 (the
# progress file) chooses "practice" on the title, then "1st lap  stage 3": the play begins at
# stage 3 (its boss picture loads) with "PRACTICE" on the bottom line, and left through the pause
# menu it keeps nothing: no last or best play file, the progress file as it was.
# Usage: practice_e2e.sh [BUILD_DIR]   (E2E_SHOTS=folder keeps the screenshots)
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
. "$REPO/tests/e2e/lib.sh" "$@"
. "$REPO/tests/e2e/menus.sh"

e2e_start_x
e2e_workdir
printf '4 3\n' >"$WORK/data/progress.txt"
cp "$WORK/data/progress.txt" "$WORK/progress.before"
e2e_start_game
expect "the window titled Nimbulon opens" test -n "$WIN"
e2e_to_title

# "practice" stands at row 520, under "exit" and "options".
expect "the title's cursor reaches \"practice\"" e2e_cursor_to 520
key z
no_play() { ! grep -q "$LOG_PLAY" "$WORK/data/log.txt"; }
expect "\"practice\" opens a page, not a play" no_play
# Its entries: "1st lap  stage 1" to "stage 3", "1st lap [old]  stage 1", "back".
sleep 1
shot practice_page
key Down; key Down; key z
expect "choosing \"1st lap  stage 3\" starts a play" e2e_wait_log "$LOG_PLAY" 30
expect "the play begins at stage 3: its boss picture loads" e2e_wait_log 'ID= = 75$' 30
# "PRACTICE" in the font's light glyphs on the bottom line of the field (window x 160 on).
practice_shown() {
  shot practice_play
  greater "$(convert "$SHOTS/practice_play.png" -crop 70x14+160+585 +repage -colorspace Gray -fx 'u>0.7' \
    -format '%[fx:mean*w*h]' info: 2>/dev/null)" 40
}
expect "\"PRACTICE\" shows on the bottom line" e2e_until 20 practice_shown

# Pause, "return to title".
key c; key Down; key z
expect "the pause menu's \"return to title\" leads back to the title" e2e_wait_log "$LOG_TITLE" 30 2
expect "no last play was kept" test ! -e "$WORK/data/lastplay_1lap_b.rep"
expect "no best play was kept" test ! -e "$WORK/data/bestplay_1lap_b.rep"
expect "the progress file is as it was" cmp -s "$WORK/progress.before" "$WORK/data/progress.txt"

press Escape
e2e_wait_exit 10
expect "Escape ends the program with status 0" test "$GAME_STATUS" = "0"
