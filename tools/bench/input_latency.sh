#!/usr/bin/env bash
# Input latency: from an XTest key press to the first changed pixel of the window, for the game
# and, in the same run, for a minimal SDL2 loop built here (the floor: it reads the keyboard
# right after waiting for each 1/60 s frame, draws a square whose colour follows the keys and
# presents at once, through the same window surface as the game).
# Trials, each at a random moment of the frame (latency_probe waits 150..400 ms before a press):
#   title   the title menu's cursor moving down and back up (the row it arrives at is watched,
#           as the cursor itself animates);
#   pause   the pause menu's cursor in a play of the first lap, the same way;
#   ship    the ship moving right and back left in that play, found again in each reading by
#           matching its picture in a band around it, so enemies, bullets and anything drifting
#           past do not count;
# each in a window of 1x (Xvfb 1024 x 768) and 2x (Xvfb 1700 x 1300). Prints the median, p90 and
# maximum of each in milliseconds and the ratio of the game's median to the floor's.
# A benchmark: the figures depend on the machine and its load; run it on an idle machine.
# Usage: tools/bench/input_latency.sh [BUILD_DIR] [TRIALS]   (TRIALS at least 30, default 40)
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
TRIALS=${2:-40}
[ "$TRIALS" -ge 30 ] 2>/dev/null || { echo "at least 30 trials" >&2; exit 2; }
. "$REPO/tests/e2e/lib.sh" "${1:-$REPO/build}"
TOOLS=$(mktemp -d /tmp/nimbulon-latency-XXXXXX)
FLOOR_PID=""
finish() {
  [ -n "$FLOOR_PID" ] && kill "$FLOOR_PID" 2>/dev/null
  [ -n "${GAME_PID:-}" ] && kill -9 "$GAME_PID" 2>/dev/null
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
  rm -rf "$TOOLS" "${WORK:-/nonexistent-latency}"
}
trap finish EXIT

gcc -O2 -o "$TOOLS/latency_probe" "$REPO/tools/bench/latency/probe.c" -lX11 -lXtst || exit 1
gcc -O2 -o "$TOOLS/latency_floor" "$REPO/tools/bench/latency/floor.c" $(sdl2-config --cflags --libs) || exit 1
PROBE=$TOOLS/latency_probe

# stats FILE -> "median p90 max timeouts" (milliseconds)
stats() {
  grep -v timeout "$1" | sort -n | awk -v t="$(grep -c timeout "$1")" '
    { v[NR] = $1 }
    END {
      if (NR == 0) { print "- - - " t; exit }
      m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
      i = int(0.9 * NR); if (i < 0.9 * NR) i++
      printf "%.1f %.1f %.1f %d\n", m, v[i], v[NR], t
    }'
}

# region S X Y: a coordinate of the 800 x 600 picture in a window S times as large
s() { echo $(($1 * SCALE)); }

declare -A RESULT
for SCALE in 1 2; do
  if [ "$SCALE" = 1 ]; then e2e_start_x 1024x768; else e2e_start_x 1700x1300; fi
  echo "== ${SCALE}x window (DISPLAY $DISPLAY)"

  # The floor: its square (300..500, 200..400) changes colour while a key is held.
  "$TOOLS/latency_floor" "$SCALE" >/dev/null 2>&1 &
  FLOOR_PID=$!
  FWIN=""
  for _ in $(seq 100); do FWIN=$(xdotool search --onlyvisible --name '^latency floor$' 2>/dev/null | head -n1); [ -n "$FWIN" ] && break; sleep 0.1; done
  xdotool windowfocus --sync "$FWIN" 2>/dev/null
  sleep 2
  "$PROBE" "$FWIN" "$(s 390)" "$(s 290)" "$(s 390)" "$(s 290)" "$(s 20)" "$(s 20)" Down Up "$TRIALS" diff >"$TOOLS/floor$SCALE"
  kill "$FLOOR_PID"; wait "$FLOOR_PID" 2>/dev/null; FLOOR_PID=""

  e2e_workdir
  e2e_start_game
  [ -n "$WIN" ] || { echo "the game's window did not open"; exit 1; }
  e2e_to_title
  # Title with nothing unlocked, cursor on "play 1st lap" (playfield 100, 340): Down makes it
  # appear beside "score (1st lap)" (110, 360), Up back at the first entry.
  "$PROBE" "$WIN" "$(s 244)" "$(s 350)" "$(s 234)" "$(s 330)" "$(s 20)" "$(s 20)" Down Up "$TRIALS" diff >"$TOOLS/title$SCALE"

  # The first entry is "play 1st lap".
  for _ in $(seq 10); do
    press z 0.3
    e2e_wait_log "$LOG_PLAY" 3 && break
  done
  sleep 2
  # The ship starts at (240, 500) of the playfield, window (400, 500): a band of 240 x 32 around
  # it, the ship in its middle 32 x 32.
  "$PROBE" "$WIN" "$(s 280)" "$(s 484)" "$(s 280)" "$(s 484)" "$(s 240)" "$(s 32)" Right Left "$TRIALS" track 60 >"$TOOLS/ship$SCALE"

  # Pause: "return to playing" at row 100, "return to title" at row 120.
  press c 0.3
  sleep 1
  "$PROBE" "$WIN" "$(s 234)" "$(s 110)" "$(s 234)" "$(s 90)" "$(s 20)" "$(s 20)" Down Up "$TRIALS" diff >"$TOOLS/pause$SCALE"

  kill -9 "$GAME_PID" 2>/dev/null; wait "$GAME_PID" 2>/dev/null; GAME_PID=""
  kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null; XVFB_PID=""
  rm -rf "$WORK"
done

echo
echo "input latency, XTest key press to first changed pixel, $TRIALS trials each (ms)"
printf "%-7s %-6s %8s %8s %8s %8s   %8s %8s %8s   %6s\n" scene window median p90 max timeouts "floor md" p90 max ratio
for SCALE in 1 2; do
  read -r fm fp fx ft <<<"$(stats "$TOOLS/floor$SCALE")"
  for scene in title pause ship; do
    read -r m p x t <<<"$(stats "$TOOLS/$scene$SCALE")"
    ratio=$(awk -v a="$m" -v b="$fm" 'BEGIN { if (a + 0 > 0 && b + 0 > 0) printf "%.2f", a / b; else print "-" }')
    printf "%-7s %-6s %8s %8s %8s %8s   %8s %8s %8s   %6s\n" "$scene" "${SCALE}x" "$m" "$p" "$x" "$t" "$fm" "$fp" "$fx" "$ratio"
  done
done
echo "(floor: a minimal SDL2 loop that polls after its wait and presents at once; ratio: median / floor median)"
