#!/usr/bin/env bash
# Whether the sound keeps up while the busiest fight runs in a real window: the game under an Xvfb
# of its own with SDL's disk audio driver standing in for the sound card (it asks for a block
# every block time, as a card does), the second lap, the pause menu's stage select to stage 5 and
# the final boss with fire held, for SECONDS (default 30). At exit the game logs its audio device's
# figures: blocks rendered, late blocks (a render longer than a block, or more than two blocks
# between requests: an underrun on a real card), the longest gap and the longest render; the
# script also reads the game's resident memory during the fight.
# Prints figures, asserts nothing.
#   tools/bench/fight_audio_bench.sh [BUILD_DIR] [SECONDS]
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
SECONDS_OF_FIGHT=${2:-30}
. "$REPO/tests/e2e/lib.sh" "${1:-$REPO/build}"
trap 'e2e_finish >/dev/null' EXIT
e2e_start_x
. "$REPO/tests/e2e/menus.sh"
e2e_workdir
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null

unlocked_save "$WORK/data/system.sav"
e2e_start_game
[ -n "$WIN" ] || { echo "the game window did not open"; exit 1; }
sleep 2
key z; sleep 3                                  # skip the credit
enter_play 0 || { echo "the play did not start"; exit 1; }
sleep 1
select_stage 5
xdotool keydown z
peak=0
for _ in $(seq "$SECONDS_OF_FIGHT"); do
  sleep 1
  rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$GAME_PID/status" 2>/dev/null)
  [ "${rss:-0}" -gt "$peak" ] && peak=$rss
done
echo "game CPU $(ps -o %cpu= -p "$GAME_PID" | tr -d ' ')%, resident memory during the fight (stage 5 with its music): $((rss / 1024)) MB, peak $((peak / 1024)) MB"
xdotool keyup z
press Escape
e2e_wait_exit 10
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
figures=$(grep -a 'オーディオ:' "$WORK/data/log.txt" | tail -n 1 | sed 's/^.*オーディオ: *//')
echo "audio device (blocks, late blocks, longest gap, longest render): ${figures:-not logged}"
