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

# Waits until the play has run at least N frames (a slow machine runs the play slower than real
# time, never faster), as the log cannot tell.
wait_frames() { sleep "$(awk -v n="$1" 'BEGIN { print n / 60 }')"; }

fight() {  # fight MODE_NAME TITLE_ENTRY BOSS_ARRIVAL_FRAMES
  local name=$1 entry=$2 arrival=$3
  e2e_workdir
  SHOTS=${E2E_SHOTS:-$REPO/build/shots}
  mkdir -p "$SHOTS"
  unlocked_save "$WORK/data/system.sav"
  e2e_start_game
  expect "$name: the window opens" test -n "$WIN"
  sleep 2.0
  key z; sleep 3.0                                 # skip the credit; the title takes a moment
  expect "$name: the play begins" enter_play "$entry"
  sleep 1.0
  shot "$name-stage1"
  select_stage 4
  wait_frames 300                                  # islands from frame 120, jellies from 60
  shot "$name-stage4"
  # The stage's own things now cover the upper field where stage 1 had only its background.
  expect "$name: stage 4 shows islands and jellies" \
    greater "$(compare -metric AE -crop 480x300+160+0 "$SHOTS/$name-stage1.png" "$SHOTS/$name-stage4.png" null: 2>&1 | cut -d' ' -f1)" 10000

  select_stage 5
  # The final boss comes at frame 60 (old) or 180 and sprays from its face 180 frames later:
  # the three faces are taken in between, while nothing covers them.
  # A loaded machine runs the play slower than real time: after the earliest arrival, look again
  # until the boss is on the screen (its picture is far from the flat sky).
  wait_frames "$arrival"
  for _ in $(seq 100); do
    shot "$name-master-normal"
    greater "$(region_spread "$SHOTS/$name-master-normal.png" 320x310+240+46)" 0.1 && break
    sleep 0.1
  done
  # Held for 60 frames: large bullets (for 61 frames only) and a stock; shot while still held.
  xdotool keydown x; sleep 1.2
  shot "$name-master-large"
  xdotool keyup x
  sleep 0.3
  press x 0.05                                     # the stock spent: small bullets
  sleep 0.2
  shot "$name-master-small"
  # The face: 64 x 64 around (240, 201) of the field, at window column 160 + 240.
  local face=64x64+368+169 n=$SHOTS/$name-master-normal.png l=$SHOTS/$name-master-large.png s=$SHOTS/$name-master-small.png
  expect "$name: the final boss is drawn" greater "$(region_spread "$n" 320x310+240+46)" 0.1
  # Only the current version's boss has the hit-point gauge across the top (240 x 10 around
  # y 48): this is the version the title entry promised.
  local gauge
  gauge=$(region_mean "$n" 240x10+280+43)
  if [ "$name" = current ]; then
    expect "$name: the gauge shows" greater "$gauge" 0.5
  else
    expect "$name: no gauge" greater 0.4 "$gauge"
  fi
  expect "$name: its face changes under large bullets" \
    greater "$(compare -metric AE -crop "$face" "$n" "$l" null: 2>&1 | cut -d' ' -f1)" 400
  expect "$name: and again under small bullets" \
    greater "$(compare -metric AE -crop "$face" "$l" "$s" null: 2>&1 | cut -d' ' -f1)" 400
  press Escape
  e2e_wait_exit 10
}

fight current 0 200   # "play 2nd lap" is the first entry once unlocked
fight old 4 80         # "play 2nd lap [old]" four entries below
