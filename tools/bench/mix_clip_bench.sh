#!/usr/bin/env bash
# Whether the mix clips on the loudest fight: the game under an Xvfb of its own with SDL's disk
# audio driver writing what the sound card would have played to a file, the second lap, the pause
# menu's stage select to stage 5 and the final boss with fire held (the song and every effect at
# once), for SECONDS (default 30). sox then reads the recording: its peak level, how many samples
# sit at full scale (+32767 or -32768: clipped) and in how many of its seconds any does.
# Prints the figures; exits 1 when a sample clipped (or nothing was recorded).
#   tools/bench/mix_clip_bench.sh [BUILD_DIR] [SECONDS]
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
SECONDS_OF_FIGHT=${2:-30}
. "$REPO/tests/e2e/lib.sh" "${1:-$REPO/build}"
trap 'e2e_finish >/dev/null' EXIT
e2e_start_x
. "$REPO/tests/e2e/menus.sh"
e2e_workdir
RAW="$WORK/fight.raw"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$RAW"

unlocked_save "$WORK/data/system.sav"
e2e_start_game
[ -n "$WIN" ] || { echo "the game window did not open"; exit 1; }
sleep 2
key z; sleep 3                                  # skip the credit
enter_play 0 || { echo "the play did not start"; exit 1; }
sleep 1
select_stage 5
start_bytes=$(stat -c %s "$RAW")                # the title and the menus stay out of the count
xdotool keydown z
sleep "$SECONDS_OF_FIGHT"
xdotool keyup z
end_bytes=$(stat -c %s "$RAW")
press Escape
e2e_wait_exit 10
FIGHT="$WORK/fight-only.raw"
tail -c +"$((start_bytes + 1))" "$RAW" | head -c "$((end_bytes - start_bytes))" >"$FIGHT"
RAWFMT=(-t raw -r 44100 -e signed -b 16 -c 2)
bytes=$(stat -c %s "$FIGHT")
[ "$bytes" -gt 0 ] || { echo "no sound was recorded"; exit 1; }
echo "recorded fight: $((bytes / 176400)) s of 44100 Hz 16-bit stereo"
sox "${RAWFMT[@]}" "$FIGHT" -n stats 2>&1 | grep -E '^(Pk lev dB|RMS lev dB|Pk count)'
# Full scale in sox's text form is +-1 (-32768) and 0.99996948 (+32767).
sox "${RAWFMT[@]}" "$FIGHT" -t dat - | awk '
  /^;/ { next }
  { s = int($1); for (c = 2; c <= 3; c++) if ($c >= 0.99996 || $c <= -0.99999) { clipped++; hit[s] = 1 } }
  END { n = 0; for (k in hit) n++; printf "clipped samples: %d, in %d of the recorded seconds\n", clipped, n; exit clipped > 0 }'
