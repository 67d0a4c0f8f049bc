#!/usr/bin/env bash
# Start-up and footprint of the game as a player runs it (under Xvfb of its own, SDL's disk audio
# driver standing in for the sound card): prints figures, asserts nothing.
#   tools/bench/startup_bench.sh [BUILD_DIR] [RUNS]
# 1. from starting the program to its first picture on screen (the game logs the monotonic clock
#    when it presents the first frame a scene drew; the launcher notes it right before exec),
#    over RUNS starts (default 5);
# 2. resident memory while the title music plays, and during 15 s of a first-lap play with its
#    stage music (sampled every half second), and the peak.
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
RUNS=${2:-5}
. "$REPO/tests/e2e/lib.sh" "${1:-$REPO/build}"
trap 'e2e_finish >/dev/null' EXIT
e2e_start_x
e2e_workdir
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null

launch() {  # starts the game in $WORK; sets GAME_PID and T0 (monotonic ns before exec)
  rm -f "$WORK/data/log.txt"
  (cd "$WORK" && exec /usr/bin/python3 -c '
import os, sys, time
sys.stdout.write("%d\n" % time.monotonic_ns()); sys.stdout.flush()
os.execv(sys.argv[1], [sys.argv[1]])' "$GAME") >"$WORK/launch.txt" 2>&1 &
  GAME_PID=$!
}

first_frame_ms() {  # waits for the log line; prints ms from exec to the first picture
  for _ in $(seq 100); do
    line=$(grep -a '最初のフレームを表示' "$WORK/data/log.txt" 2>/dev/null | head -n1)
    [ -n "$line" ] && break
    sleep 0.1
  done
  local shown t0
  shown=$(sed -E 's/.*monotonic ([0-9.]+) ms.*/\1/' <<<"$line")
  t0=$(head -n1 "$WORK/launch.txt")
  awk -v a="$shown" -v b="$t0" 'BEGIN { if (a == "" || b == "") print "?"; else printf "%.1f", a - b / 1e6 }'
}

rss_kb() { awk '/^VmRSS/ { print $2 }' "/proc/$GAME_PID/status" 2>/dev/null; }
hwm_kb() { awk '/^VmHWM/ { print $2 }' "/proc/$GAME_PID/status" 2>/dev/null; }

echo "== first frame on screen (ms from exec), $RUNS starts"
times=()
for _ in $(seq "$RUNS"); do
  launch
  times+=("$(first_frame_ms)")
  kill "$GAME_PID" 2>/dev/null; wait "$GAME_PID" 2>/dev/null
done
printf '%s\n' "${times[@]}" | sort -n | awk '{ v[NR] = $1 } END { printf "runs: "; for (i = 1; i <= NR; i++) printf "%s ", v[i]; printf "\nmedian %.1f ms, worst %.1f ms\n", v[int((NR + 1) / 2)], v[NR] }'

echo "== resident memory"
launch
first_frame_ms >/dev/null
sleep 1
WIN=$(xdotool search --name '^Nimbulon$' 2>/dev/null | head -n1)
[ -n "$WIN" ] && xdotool windowfocus --sync "$WIN" 2>/dev/null
echo "credit scene: VmRSS $(rss_kb) kB"
press z; sleep 4
echo "title, its music playing: VmRSS $(rss_kb) kB"
press z; sleep 1
peak=0
for _ in $(seq 30); do
  r=$(rss_kb); [ -n "$r" ] && [ "$r" -gt "$peak" ] && peak=$r
  sleep 0.5
done
echo "first-lap play with stage music, 15 s: VmRSS now $(rss_kb) kB, highest sample $peak kB, VmHWM $(hwm_kb) kB"
# What the resident memory is made of: the heaps and buffers (anonymous), the program and its
# libraries (files), the window's picture shared with the X server.
awk '/^Rss(Anon|File|Shmem)/ { printf "%s%s %s kB", sep, $1, $2; sep = ", " } END { print "" }' "/proc/$GAME_PID/status"
grep -a -E 'BGM|オーディオ' "$WORK/data/log.txt" | grep -a -E '失敗|停止' | head -3
kill "$GAME_PID" 2>/dev/null; wait "$GAME_PID" 2>/dev/null
rm -rf "$WORK"
