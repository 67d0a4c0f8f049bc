#!/usr/bin/env bash
# The game's message boxes in its own picture: with no ranking server set, "send the best play"
# says so at once (before any question or the entry form) in a box drawn over the records page,
# in a window and in full screen, answered with the keys the game's menus use. (A pad answering
# a box is tested in-process with SDL's virtual joystick: tests/sdl/PictureBoxPadTest.cpp.)
# Usage: tests/e2e/boxes_e2e.sh [BUILD_DIR]
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
. "$REPO/tests/e2e/lib.sh" "$@"

e2e_start_x 1024x768
e2e_workdir
cp "$GAME" "$WORK/nimbulon"
GAME="$WORK/nimbulon"
cp -r "$BUILD/locale" "$WORK/locale"   # the catalogue beside the program, as in the build tree
# In English, so the words checked are the player's; no server.txt at all.
printf '[CONFIG]\nLANGUAGE=en\n' >"$WORK/nimbulon.ini"

log_count() { grep -c -- "$1" "$WORK/data/log.txt" 2>/dev/null || true; }
wait_count() {  # wait_count PATTERN COUNT
  for _ in $(seq 300); do [ "$(log_count "$1")" -ge "$2" ] && return 0; sleep 0.1; done
  echo "  (waited for $2 log lines matching '$1')"
  return 1
}
SHOWN='PictureDialogs(.*) - .* : メッセージ表示 '
ANSWERED='PictureDialogs(.*) - .* : メッセージの答え '
key() { press "$1" 0.3; }

e2e_start_game
expect "the window titled Nimbulon opens" test -n "$WIN"
e2e_to_title
key Down         # "score (1st lap)"
key z
wait_count 'ranking_1lap_b.dat' 1
sleep 0.5
shot records_page

key Down; key Down; key Down   # "send the best play"
key z
expect "a box is shown at once" wait_count "$SHOWN" 1
expect "it says no ranking server is set and where to set one" \
  grep -q "$SHOWN"'Sending the score: No ranking server is set: see .*data/server.txt$' "$WORK/data/log.txt"
sleep 0.5
shot no_server
# The box lies over the middle of the playfield; the side panels are as they were.
diff=$(compare -metric AE -fuzz 5% "$SHOTS/records_page.png" "$SHOTS/no_server.png" null: 2>&1 | cut -d' ' -f1)
expect "the box is drawn in the game's picture ($diff pixels differ)" greater "$diff" 20000
expect "the side panels are untouched" \
  test "$(compare -metric AE -fuzz 5% "$SHOTS/records_page.png[160x600+0+0]" "$SHOTS/no_server.png[160x600+0+0]" null: 2>&1 | cut -d' ' -f1)" = 0
key z            # Button1 answers it
expect "the Button1 key answers the box" wait_count "${ANSWERED}Sending the score -> OK" 1
sleep 1.0
expect "no question and no entry form followed" test "$(log_count "$SHOWN")" = 1
shot after_box
diff=$(compare -metric AE -fuzz 5% "$SHOTS/records_page.png" "$SHOTS/after_box.png" null: 2>&1 | cut -d' ' -f1)
expect "the records page is back ($diff pixels differ)" test "${diff%.*}" -lt 3000

# Full screen: the box is in the picture there too, and Escape answers it without ending the game.
key F11
sleep 1.0
key Down         # "get the ranking list"
key z
expect "a box in full screen" wait_count "$SHOWN" 2
sleep 0.5
import -window root "$SHOTS/no_server_full_screen.png" 2>/dev/null
expect "full screen covers the screen" test "$(identify -format '%wx%h' "$SHOTS/no_server_full_screen.png")" = 1024x768
key Escape
expect "Escape answers the box" wait_count "${ANSWERED}Updating the ranking -> OK" 1
sleep 0.5
expect "and the game goes on" kill -0 "$GAME_PID"

press Escape
e2e_wait_exit 10
expect "Escape then ends the program with status 0" test "$GAME_STATUS" = "0"
