#!/usr/bin/env bash
# The window, the credit, the title and a clean exit, in a real window under Xvfb.
# Usage: foundation_e2e.sh [BUILD_DIR]
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
. "$REPO/tests/e2e/lib.sh" "$@"

e2e_open_game

# The logo fades in over its first frames: the credit is shot once it shows.
logo_shown() { shot credit && greater "$(region_mean "$SHOTS/credit.png" 200x73+300+264)" 0.03; }
geometry() { xdotool getwindowgeometry "$WIN" 2>/dev/null | sed -n 's/.*Geometry: //p'; }

expect "the credit scene loads" e2e_wait_log "$LOG_CREDIT"
e2e_until 20 logo_shown
# Side panels: the left one is the panel picture, the right one its mirror image.
convert "$SHOTS/credit.png" -crop 160x600+0+0 +repage "$WORK/left.png"
convert "$SHOTS/credit.png" -crop 160x600+640+0 +repage -flop "$WORK/right.png"
expect "the left side panel is painted" greater "$(region_spread "$SHOTS/credit.png" 160x600+0+0)" 0.02
expect "the right side panel is the left one mirrored" \
  test "$(compare -metric AE "$WORK/left.png" "$WORK/right.png" null: 2>&1 | cut -d' ' -f1)" = "0"
expect "the credit logo shows in the middle of the playfield" \
  greater "$(region_mean "$SHOTS/credit.png" 200x73+300+264)" 0.03
expect "the playfield around the logo is black" \
  test "$(region_mean "$SHOTS/credit.png" 480x150+160+0)" = "0"

e2e_skip_credit
expect "the title scene follows the credit" e2e_wait_log "$LOG_TITLE"
expect "its menu shows the cursor" e2e_until 30 title_ready
shot title
expect "the title's menu area is drawn" \
  greater "$(region_spread "$SHOTS/title.png" 200x200+250+330)" 0.02
# Logo and menu over the sky, against a black field with the credit's logo: far more than the
# animated cursor.
expect "the title differs from the credit" \
  greater "$(compare -metric AE "$SHOTS/credit.png" "$SHOTS/title.png" null: 2>&1 | cut -d' ' -f1)" 100000

press Escape
e2e_wait_exit 10
expect "Escape ends the program with status 0" test "$GAME_STATUS" = "0"

LOG="$WORK/data/log.txt"
first=$(head -n1 "$LOG")
last=$(tail -n1 "$LOG")
expect "the log begins with the constract line" \
  grep -qE '^Log\([0-9]{6}\) - [0-9a-f]{8} : ########## constract log ##########$' <<<"$first"
expect "the log ends with the destract line" \
  grep -qE '^Log\([0-9]{6}\) - [0-9a-f]{8} : ##########  destract log ##########$' <<<"$last"
# Any such line is printed, so a failure says what failed.
expect "nothing is logged as failed" bash -c "! grep '失敗' '$LOG'"

# Full screen from the configuration file beside the program: the picture fills the desktop
# (1280 x 720 here), scaled to fit and letterboxed at the sides.
e2e_stop "$XVFB_PID"
e2e_start_x 1280x720
cp "$GAME" "$WORK/nimbulon"
printf '[CONFIG]\nFULL_SCREEN=2\n' >"$WORK/nimbulon.ini"
GAME="$WORK/nimbulon"
WIN=""
e2e_start_game
e2e_wait_log "$LOG_CREDIT"
# The game's own window, not the screen: a window that stayed 800 x 600 fails here.
covers_desktop() { test "$(geometry)" = "1280x720"; }
expect "full screen: the game's window covers the desktop" e2e_until 20 covers_desktop
# The scaled picture is drawn (its logo fades in), then the whole screen is shot.
scaled_logo_shown() { WIN=root shot fullscreen && greater "$(region_mean "$SHOTS/fullscreen.png" 240x88+520+316)" 0.03; }
e2e_until 20 scaled_logo_shown
expect "the bars beside the scaled picture are black" test "$(region_mean "$SHOTS/fullscreen.png" 150x720+0+0)" = "0"
expect "the scaled side panel fills the picture's left edge" \
  greater "$(region_spread "$SHOTS/fullscreen.png" 180x720+170+0)" 0.02
press Escape
e2e_wait_exit 10
expect "Escape ends the full-screen program with status 0" test "$GAME_STATUS" = "0"
