#!/usr/bin/env bash
# Input latency: from an XTest key press to the first changed pixel of the window, for the game
# and, side by side in the same run, for a minimal SDL2 loop built here (the floor: it reads the
# keyboard right after waiting for each 1/60 s frame, draws a square whose colour follows the
# arrow keys and presents at once, through the same window surface path as the game).
# Both windows sit next to each other on one Xvfb; the probe (tools/bench/latency/probe.c) gives
# each the keyboard in turn, a block of four trials at a time in a random order, so whatever else
# the machine does weighs on the floor and the game alike. Each trial waits a random 60..160 ms
# first, so presses fall at random moments of the frame. Scenes:
#   title   the title menu's cursor moving down and back up (the row it arrives at is watched,
#           as the cursor itself animates);
#   ship    the ship moving right and back left in a play (the tutorial's, where nothing comes
#           near it for its first seconds): its picture (the pixels of its box
#           that stay put while the ground scrolls behind it) is found again a few pixels aside,
#           so enemies, bullets and the scrolling ground do not count;
#   pause   the pause menu's cursor in that play, the way the title's is watched;
# each in a 1x window and in a 2x window (the game picks its multiple from the screen's size).
# Prints the median, p90 and maximum of each in milliseconds and the ratio of each median to the
# floor's median measured beside it.
# A benchmark: the figures depend on the machine and its load; run it on a quiet machine.
# Usage: tools/bench/input_latency.sh [BUILD_DIR] [TRIALS]   (TRIALS at least 30, default 40)
# LATENCY_KEEP=DIR keeps every trial's reading there (one file per scene and window size).
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
TRIALS=${2:-40}
[ "$TRIALS" -ge 30 ] 2>/dev/null || { echo "at least 30 trials" >&2; exit 2; }
. "$REPO/tests/e2e/lib.sh" "${1:-$REPO/build}"
TOOLS=$(mktemp -d /tmp/nimbulon-latency-XXXXXX)
FLOOR_PID=""
stop_all() {
  e2e_stop "$FLOOR_PID"; FLOOR_PID=""
  e2e_stop "${GAME_PID:-}" KILL; GAME_PID=""
  e2e_stop "${XVFB_PID:-}"; XVFB_PID=""
}
finish() {
  stop_all
  [ -n "${LATENCY_KEEP:-}" ] && mkdir -p "$LATENCY_KEEP" && cp "$TOOLS"/title* "$TOOLS"/ship* "$TOOLS"/pause* "$LATENCY_KEEP"/ 2>/dev/null
  rm -rf "$TOOLS" "${WORK:-/nonexistent-latency}"
}
trap finish EXIT

gcc -O2 -o "$TOOLS/latency_probe" "$REPO/tools/bench/latency/probe.c" -lX11 -lXtst || exit 1
gcc -O2 -o "$TOOLS/latency_floor" "$REPO/tools/bench/latency/floor.c" $(sdl2-config --cflags --libs) || exit 1

# stats FILE NAME -> "median p90 max timeouts skipped" (milliseconds)
stats() {
  awk -v name="$2" '$1 == name { print $2 }' "$1" | awk '
    $1 == "timeout" { t++; next } $1 == "skip" { s++; next } { print }
    END { printf "T %d %d\n", t, s }' | sort -n | awk '
    $1 == "T" { t = $2; s = $3; next }
    { v[++n] = $1 }
    END {
      if (n == 0) { printf "- - - %d %d\n", t, s; exit }
      m = (n % 2) ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
      i = int(0.9 * n); if (i < 0.9 * n) i++
      printf "%.1f %.1f %.1f %d %d\n", m, v[i], v[n], t, s
    }'
}

# s N: a length of the 800 x 600 picture in the window, SCALE times as large.
s() { echo $(($1 * SCALE)); }

# window_size ID -> WIDTHxHEIGHT of a window that is shown, else nothing
window_size() {
  xwininfo -id "$1" 2>/dev/null | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } /Map State: IsViewable/ { v = 1 }
    END { if (v) print w "x" h }'
}

# probe SCENE TARGET: TRIALS trials of the game's scene beside as many of the floor.
probe() {
  local floor="name=floor win=$FWIN mode=diff at=$(s 390),$(s 290),$(s 20),$(s 20) keys=Down,Up"
  "$TOOLS/latency_probe" "$TRIALS" "$floor" "name=$1 win=$WIN $2" >"$TOOLS/$1$SCALE" 2>"$TOOLS/$1$SCALE.err"
  local status=$?
  sed 's/^/    /' "$TOOLS/$1$SCALE.err"
  echo "    $1: $(stats "$TOOLS/$1$SCALE" "$1")  floor: $(stats "$TOOLS/$1$SCALE" floor)   (median p90 max timeouts skipped)"
  return $status
}

for SCALE in 1 2; do
  # Room for the two windows side by side; the height decides the game's multiple.
  e2e_start_x "$((1700 * SCALE - 100 * (SCALE - 1)))x$((600 * SCALE + 100))"
  echo "== ${SCALE}x window (DISPLAY $DISPLAY, load average $(cut -d' ' -f1-3 /proc/loadavg))"
  # No key repeat: a press held through a slow moment must stay one press.
  xset r off

  # The floor, right of the game; its square (300..500, 200..400) is watched near its middle.
  "$TOOLS/latency_floor" "$SCALE" "$(s 850)" 0 >/dev/null 2>&1 &
  FLOOR_PID=$!
  FWIN=""
  for _ in $(seq 300); do
    # The window of the right size that is shown, not a helper window SDL may make first.
    for w in $(xdotool search --onlyvisible --name '^latency floor$' 2>/dev/null); do
      [ "$(window_size "$w")" = "$(s 800)x$(s 600)" ] && FWIN=$w
    done
    [ -n "$FWIN" ] && break
    sleep 0.1
  done
  [ -n "$FWIN" ] || { echo "the floor's window did not open"; exit 1; }

  e2e_workdir
  e2e_start_game
  [ -n "$WIN" ] || { echo "the game's window did not open"; exit 1; }
  # The game centres its window; it goes to the left edge so that the two never overlap.
  xdotool windowmove --sync "$WIN" 0 0 2>/dev/null || xdotool windowmove "$WIN" 0 0
  sleep 0.3
  xdotool windowfocus --sync "$WIN" 2>/dev/null
  size=$(window_size "$WIN")
  [ "$size" = "$(s 800)x$(s 600)" ] || { echo "the game's window is $size, not ${SCALE}x"; exit 1; }
  e2e_to_title

  # Title with nothing unlocked, cursor on "play 1st lap" (arrow at 240, 340): Down makes it
  # appear beside "score (1st lap)" (250, 360), Up back at the first entry.
  probe title "mode=diff at=$(s 244),$(s 350),$(s 20),$(s 20) back=$(s 234),$(s 330),$(s 20),$(s 20) keys=Down,Up" || exit 1

  # The ship and the pause menu in the tutorial's play: its first eleven seconds are the mentor's
  # words alone, and its slow bullets reach the ship's row only seconds later, so the ship stands
  # unharmed (in the first lap it meets its first enemy within two seconds). The trials above end
  # near the first entry (a trial lost on a busy machine leaves it elsewhere): its yellow arrow
  # says which, and Down goes round to "tutorial", the fifth of the six entries.
  xdotool windowfocus --sync "$WIN" 2>/dev/null
  rows=""
  for e in 100,340 110,360 100,420 110,440 100,460 100,480; do
    rows="$rows $(s $((${e%,*} + 134))),$(s $((${e#*,} - 8))),$(s 20),$(s 16)"
  done
  # shellcheck disable=SC2086
  at=$("$TOOLS/latency_probe" yellow "$WIN" $rows) || {
    echo "the title menu's cursor is not to be seen"
    [ -n "${LATENCY_KEEP:-}" ] && mkdir -p "$LATENCY_KEEP" && import -window "$WIN" "$LATENCY_KEEP/no-cursor$SCALE.png"
    exit 1
  }
  for ((i = 0; i < (4 - at + 6) % 6; i++)); do press Down; done
  press z 0.3
  e2e_wait_log 'ID= = 79$' 10 || { echo "the tutorial did not start"; exit 1; }
  sleep 1
  # The ship starts at (240, 500) of the playfield (the strip 160..640 of the window), its body
  # in the box 40 x 40 around (400, 497); it stays within 16 pixels of the strip's edges.
  probe ship "mode=track box=$(s 380),$(s 477),$(s 40),$(s 40) band=$(s 156),$(s 644) keys=Right,Left step=$SCALE" || exit 1

  # Pause: "return to playing" at row 100, "return to title" at row 120.
  xdotool windowfocus --sync "$WIN" 2>/dev/null
  press c 0.3
  sleep 1
  probe pause "mode=diff at=$(s 234),$(s 110),$(s 20),$(s 20) back=$(s 234),$(s 90),$(s 20),$(s 20) keys=Down,Up" || exit 1

  stop_all
  rm -rf "$WORK"
done

echo
echo "input latency, XTest key press to first changed pixel, $TRIALS trials each (ms)"
printf "%-7s %-6s %8s %8s %8s %5s   %8s %8s %8s   %6s\n" scene window median p90 max lost "floor md" p90 max ratio
for SCALE in 1 2; do
  for scene in title pause ship; do
    read -r m p x t _ <<<"$(stats "$TOOLS/$scene$SCALE" "$scene")"
    read -r fm fp fx ft _ <<<"$(stats "$TOOLS/$scene$SCALE" floor)"
    ratio=$(awk -v a="$m" -v b="$fm" 'BEGIN { if (a + 0 > 0 && b + 0 > 0) printf "%.2f", a / b; else print "-" }')
    printf "%-7s %-6s %8s %8s %8s %5s   %8s %8s %8s   %6s\n" "$scene" "${SCALE}x" "$m" "$p" "$x" "$((t + ft))" "$fm" "$fp" "$fx" "$ratio"
  done
done
echo "(floor: a minimal SDL2 loop that polls after its wait and presents at once, measured beside each"
echo " scene; ratio: median / floor median; lost: trials with no change within a second)"
