#!/usr/bin/env bash
# The picture at every window size: the window opens at the largest whole multiple of 800 x 600
# that fits the desktop, stays whole and undistorted when resized (mirrored right panel included),
# and F11 / Alt+Enter go to full screen and back, letterboxed, each time.
# Usage: scaling_e2e.sh [BUILD_DIR]
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
. "$REPO/tests/e2e/lib.sh" "$@"

geometry() { xdotool getwindowgeometry "$WIN" 2>/dev/null | sed -n 's/.*Geometry: //p'; }

# Difference (0..1, root mean square) between two regions of screenshots; the second is mirrored
# left to right first.
mirror_difference() {  # FILE_A GEOM_A FILE_B GEOM_B
  convert "$1" -crop "$2" +repage "$WORK/a.png"
  convert "$3" -crop "$4" +repage -flop "$WORK/b.png"
  compare -metric RMSE "$WORK/a.png" "$WORK/b.png" null: 2>&1 | sed -n 's/.*(\(.*\)).*/\1/p'
}

# True when every 2 x 2 block of the picture is one colour: a sharp, exact doubling.
exact_double() {
  convert "$1" -sample 50% -sample 200% "$WORK/double.png"
  test "$(compare -metric AE "$1" "$WORK/double.png" null: 2>&1 | cut -d' ' -f1)" = "0"
}

# The checks for a window of W x H showing the title: picture rectangle from the fit, black bars,
# panels mirror images of each other down to the last row.
check_window() {  # NAME W H
  local name=$1 w=$2 h=$3 pw ph px py panel
  if [ $((w * 600)) -le $((h * 800)) ]; then pw=$w; ph=$((w * 600 / 800)); else ph=$h; pw=$((h * 800 / 600)); fi
  px=$(((w - pw) / 2)); py=$(((h - ph) / 2)); panel=$((pw * 160 / 800 - 2))
  xdotool windowsize "$WIN" "$w" "$h"
  # The game has drawn at the new size once the window has it and the picture reaches the
  # bottom of the fitted rectangle.
  local rows=$((ph / 20 + 1))
  drawn_at_size() {
    shot "$name"
    test "$(identify -format '%wx%h' "$SHOTS/$name.png" 2>/dev/null)" = "${w}x${h}" &&
      greater "$(region_spread "$SHOTS/$name.png" "${panel}x${rows}+$((px + pw - panel))+$((py + ph - rows))")" 0.02
  }
  e2e_until 20 drawn_at_size
  expect "$name: the window is ${w}x${h}" test "$(identify -format '%wx%h' "$SHOTS/$name.png")" = "${w}x${h}"
  if [ "$py" -gt 0 ]; then
    expect "$name: the bar above is black" test "$(region_mean "$SHOTS/$name.png" "${w}x${py}+0+0")" = "0"
    expect "$name: the bar below is black" test "$(region_mean "$SHOTS/$name.png" "${w}x${py}+0+$((py + ph))")" = "0"
  fi
  if [ "$px" -gt 0 ]; then
    expect "$name: the bars at the sides are black" test "$(region_mean "$SHOTS/$name.png" "${px}x${h}+0+0")" = "0"
  fi
  expect "$name: the right panel mirrors the left one" \
    greater 0.01 "$(mirror_difference "$SHOTS/$name.png" "${panel}x${ph}+${px}+${py}" \
                                      "$SHOTS/$name.png" "${panel}x${ph}+$((px + pw - panel))+${py}")"
  # The bottom rows of the right panel were once lost when the window was taller than 4:3.
  expect "$name: the right panel reaches the picture's bottom" \
    greater "$(region_spread "$SHOTS/$name.png" "${panel}x${rows}+$((px + pw - panel))+$((py + ph - rows))")" 0.02
}

alt_enter() { xdotool keydown alt keydown Return; sleep 0.15; xdotool keyup Return keyup alt; sleep 0.1; }

geometry_is() { test "$(geometry)" = "$1"; }
# The whole screen, shot once the full-screen picture reaches its bottom right corner.
full_drawn() { WIN=root shot "full_$1" && greater "$(region_spread "$SHOTS/full_$1.png" 370x40+1563+1360)" 0.02; }
back_drawn() { shot "back_$1" && exact_double "$SHOTS/back_$1.png"; }

e2e_start_x 2000x1400
e2e_workdir
e2e_start_game
e2e_to_title

expect "on a 2000 x 1400 desktop the window opens at twice 800 x 600" test "$(geometry)" = "1600x1200"
shot twice
expect "twice: every picture pixel is an exact 2 x 2 block" exact_double "$SHOTS/twice.png"
expect "twice: the right panel mirrors the left one exactly" \
  test "$(mirror_difference "$SHOTS/twice.png" 320x1200+0+0 "$SHOTS/twice.png" 320x1200+1280+0)" = "0"

check_window tall_500x700 500 700
check_window tall_640x760 640 760
check_window wide_1000x750 1000 750
check_window small_400x300 400 300
check_window odd_1234x555 1234 555
# The menu text stays legible when shrunk: its lines are not flat.
expect "tall_500x700: the menu text is drawn" greater "$(region_spread "$SHOTS/tall_500x700.png" 150x110+140+360)" 0.04

xdotool windowsize "$WIN" 1600 1200
e2e_until 20 geometry_is 1600x1200
for key in F11 alt+Return; do
  if [ "$key" = F11 ]; then press F11; else alt_enter; fi
  expect "$key: full screen covers the desktop" e2e_until 20 geometry_is 2000x1400
  e2e_until 20 full_drawn "$key"
  # 800 x 600 fitted to 2000 x 1400 is 1866 x 1400 at x = 67.
  expect "$key: the bars at the sides are black" test "$(region_mean "$SHOTS/full_$key.png" 66x1400+0+0)" = "0"
  expect "$key: the right bar is black" test "$(region_mean "$SHOTS/full_$key.png" 66x1400+1934+0)" = "0"
  expect "$key: the panels mirror each other in full screen" \
    greater 0.01 "$(mirror_difference "$SHOTS/full_$key.png" 370x1400+67+0 "$SHOTS/full_$key.png" 370x1400+1563+0)"
  expect "$key: the picture reaches the bottom right" \
    greater "$(region_spread "$SHOTS/full_$key.png" 370x40+1563+1360)" 0.02
  if [ "$key" = F11 ]; then press F11; else alt_enter; fi
  expect "$key again: back to the window at twice 800 x 600" e2e_until 20 geometry_is 1600x1200
  expect "$key again: the window shows the whole picture sharp" e2e_until 20 back_drawn "$key"
done

press Escape
e2e_wait_exit 10
expect "Escape ends the program with status 0" test "$GAME_STATUS" = "0"
