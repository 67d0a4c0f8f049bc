#!/usr/bin/env bash
# Starts the game N times (default 200), each under a fresh Xvfb of its own, while BUSY busy loops
# (default 2) keep the processors occupied, and prints how many starts opened their window and how
# long the first picture took (median, worst). Prints figures; the status is non-zero when a start
# failed to open its window, so that a short run can stand in the full test command.
#   tools/bench/start_stress.sh [N] [BUILD_DIR]
#   BUSY=0 tools/bench/start_stress.sh 500     # an idle machine
#   BUSY_NICE=10 tools/bench/start_stress.sh    # busy loops at a lower priority
# A failed start keeps its folder (stdout, log) under /tmp and names it.
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
N=${1:-200}
BUILD=$(cd "${2:-$REPO/build}" && pwd)
GAME="$BUILD/nimbulon"
BUSY=${BUSY:-2}
WAIT_S=${WAIT_S:-30}
export SDL_AUDIODRIVER=dummy

BUSY_PIDS=()
XVFB_PID=""
GAME_PID=""
WORK=""
# After each start: its game, its Xvfb and its folder. The busy loops stay until the end.
cleanup() {
  [ -n "$GAME_PID" ] && kill -9 "$GAME_PID" 2>/dev/null && wait "$GAME_PID" 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  [ -n "$WORK" ] && rm -rf "$WORK"
  GAME_PID="" XVFB_PID="" WORK=""
}
finish() {
  cleanup
  for p in "${BUSY_PIDS[@]}"; do kill "$p" 2>/dev/null && wait "$p" 2>/dev/null; done
}
trap finish EXIT
trap 'exit 130' INT TERM

# BUSY_NICE (default 0) lowers the busy loops' priority, for a machine shared with others.
for ((b = 0; b < BUSY; b++)); do
  nice -n "${BUSY_NICE:-0}" bash -c 'while :; do :; done' &
  BUSY_PIDS+=($!)
done

start_x() {  # a fresh Xvfb on a display number it chooses; DISPLAY set when it answers
  local fifo number=""
  fifo=$(mktemp -u /tmp/nimbulon-stress-XXXXXX)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  XVFB_PID=$!
  read -r -t 60 number <"$fifo" || true
  rm -f "$fifo"
  [ -n "$number" ] || return 1
  export DISPLAY=":$number"
  for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

opened=0
failed=0
times=()
for ((i = 1; i <= N; i++)); do
  if ! start_x; then
    echo "start $i: Xvfb did not answer"
    failed=$((failed + 1))
    cleanup
    continue
  fi
  WORK=$(mktemp -d /tmp/nimbulon-stress-XXXXXX)
  mkdir -p "$WORK/data"
  # The launcher notes the monotonic clock right before exec; the game logs it at its first picture.
  (cd "$WORK" && exec /usr/bin/python3 -c '
import os, sys, time
sys.stdout.write("%d\n" % time.monotonic_ns()); sys.stdout.flush()
os.execv(sys.argv[1], [sys.argv[1]])' "$GAME") >"$WORK/stdout.txt" 2>&1 &
  GAME_PID=$!
  # Waits for the window the way the end-to-end helpers do: xdotool asks the X server every tenth
  # of a second, and each time it leaves, a server without other clients resets itself. A start
  # must cope with that, as it must with a display manager's or a test runner's short visits.
  line="" win=""
  for ((t = 0; t < WAIT_S * 10; t++)); do
    [ -z "$win" ] && win=$(xdotool search --name '^Nimbulon$' 2>/dev/null | head -n1)
    [ -n "$win" ] && line=$(grep -a -m1 '最初のフレームを表示' "$WORK/data/log.txt" 2>/dev/null)
    [ -n "$line" ] && break
    kill -0 "$GAME_PID" 2>/dev/null || break
    sleep 0.1
  done
  if [ -n "$line" ] && [ -n "$win" ]; then
    opened=$((opened + 1))
    shown=$(sed -E 's/.*monotonic ([0-9.]+) ms.*/\1/' <<<"$line")
    times+=("$(awk -v a="$shown" -v b="$(head -n1 "$WORK/stdout.txt")" 'BEGIN { printf "%.1f", a - b / 1e6 }')")
  else
    failed=$((failed + 1))
    kept=$WORK
    echo "start $i: no window ($(kill -0 "$GAME_PID" 2>/dev/null && echo running || echo exited)); kept $kept"
    tail -n 3 "$WORK/stdout.txt" "$WORK/data/log.txt" 2>/dev/null | sed 's/^/    /'
    WORK=""
  fi
  cleanup
  (( i % 25 == 0 )) && echo "  ... $i starts, $failed failed"
done

echo "starts: $N, window opened: $opened, failed: $failed (busy loops: $BUSY)"
# scripts/test.sh counts each suite's checks: one a start.
[ -z "${NIMBULON_CHECKS:-}" ] || echo "$opened $failed 0" >>"$NIMBULON_CHECKS"
if [ ${#times[@]} -gt 0 ]; then
  printf '%s\n' "${times[@]}" | sort -n |
    awk '{ v[NR] = $1 } END { printf "first picture after exec: median %.1f ms, worst %.1f ms\n", v[int((NR + 1) / 2)], v[NR] }'
fi
[ "$failed" -eq 0 ]
