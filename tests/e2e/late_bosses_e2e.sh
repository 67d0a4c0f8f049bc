#!/usr/bin/env bash
# Stages 4 and 5 in a real window under Xvfb, in both versions: the second lap (unlocked by a
# system save), the pause menu's stage select to stage 4 (islands sinking past the pots), then
# stage 5 and the final boss, whose face must change with the bullet size. (Boss 4 comes 45
# seconds into its stage, longer than an idle ship lives; the harness tests and play_bench see
# that fight.) Screenshots land in $E2E_SHOTS (default: build/shots).
# Usage: late_bosses_e2e.sh [BUILD_DIR]   (about a minute)
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
. "$REPO/tests/e2e/lib.sh" "$@"

e2e_start_x

. "$REPO/tests/e2e/menus.sh"

# The upper field differs from stage 1's picture: the stage's own things cover it.
field_changed() {  # field_changed NAME
  shot "$1"
  greater "$(compare -metric AE -crop 480x300+160+0 "$SHOTS/$name-stage1.png" "$SHOTS/$1.png" null: 2>&1 | cut -d' ' -f1)" 10000
}
# The status line is drawn at the top left of the field: the play shows.
play_shown() { shot "$name-stage1" && greater "$(region_spread "$SHOTS/$name-stage1.png" 80x40+160+36)" 0.05; }
# The final boss is on the screen: its picture is far from the flat sky.
boss_shown() { shot "$name-master-normal" && greater "$(region_spread "$SHOTS/$name-master-normal.png" 320x310+240+46)" 0.1; }
# The face (64 x 64 around (240, 201) of the field, at window column 160 + 240) of the picture
# NAME differs from the one in each picture given after it.
FACE=64x64+368+169
face_differs() {  # face_differs NAME OTHER...
  local shot_name=$1 other; shift
  shot "$shot_name"
  for other in "$@"; do
    greater "$(compare -metric AE -crop "$FACE" "$SHOTS/$other.png" "$SHOTS/$shot_name.png" null: 2>&1 | cut -d' ' -f1)" 400 || return 1
  done
}

fight() {  # fight MODE_NAME TITLE_ENTRY
  local name=$1 entry=$2
  e2e_workdir
  SHOTS=${E2E_SHOTS:-$REPO/build/shots}
  mkdir -p "$SHOTS"
  unlocked_save "$WORK/data/system.sav"
  e2e_start_game
  expect "$name: the window opens" test -n "$WIN"
  e2e_wait_log "$LOG_CREDIT"
  e2e_skip_credit
  expect "$name: the play begins" enter_play "$entry"
  e2e_wait_log 'ID= = 72$' 30                     # stage 1's picture
  e2e_until 30 play_shown
  select_stage 4
  e2e_wait_log 'ID= = 77$' 30                     # stage 4's picture
  # Islands from frame 120, jellies from 60: the stage's own things come to cover the upper field
  # where stage 1 had only its background.
  expect "$name: stage 4 shows islands and jellies" e2e_until 60 field_changed "$name-stage4"

  select_stage 5
  e2e_wait_log 'ID= = 79$' 30                     # stage 5's picture, the final boss's
  # The final boss comes at frame 60 (old) or 180 and sprays from its face 180 frames later:
  # the three faces are taken in between, while nothing covers them.
  expect "$name: the final boss is drawn" e2e_until 60 boss_shown
  # Held for 60 frames: large bullets (for 61 frames only) and a stock; shot while still held.
  xdotool keydown x
  expect "$name: its face changes under large bullets" e2e_until 20 face_differs "$name-master-large" "$name-master-normal"
  xdotool keyup x
  # A tap spends the stock: small bullets, a face unlike both others. (A tap the game did not
  # see is tapped again; the stock is spent once.)
  small_face() {
    press x 0.2
    e2e_until 3 face_differs "$name-master-small" "$name-master-normal" "$name-master-large"
  }
  expect "$name: and again under small bullets" e2e_until 20 small_face
  local n=$SHOTS/$name-master-normal.png
  # Only the current version's boss has the hit-point gauge across the top (240 x 10 around
  # y 48): this is the version the title entry promised.
  local gauge
  gauge=$(region_mean "$n" 240x10+280+43)
  if [ "$name" = current ]; then
    expect "$name: the gauge shows" greater "$gauge" 0.5
  else
    expect "$name: no gauge" greater 0.4 "$gauge"
  fi
  press Escape
  e2e_wait_exit 10
}

fight current 0   # "play 2nd lap" is the first entry once unlocked
fight old 4       # "play 2nd lap [old]" four entries below
