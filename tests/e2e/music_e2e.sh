#!/usr/bin/env bash
# The music as the game plays it: SDL's disk audio driver writes what the audio device would play;
# at the title and in stage 1 the written sound must not be silent and its level must move with the
# music (an effect alone is short; a song is not). The two recordings are kept as WAV files.
# Usage: music_e2e.sh [BUILD_DIR]
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
. "$REPO/tests/e2e/lib.sh" "$@"

# The game plays the soundfont the build cut down (from fluid-soundfont-gm's), beside the program.
SOUNDFONT="$BUILD/nimbulon-gm.sf2"
e2e_require fluid-soundfont-gm "the music (the build's soundfont $SOUNDFONT, cut from /usr/share/sounds/sf2/default-GM.sf2)" \
  test -s "$SOUNDFONT" || exit $((E2E_FAILED > 0))

e2e_start_x
e2e_workdir
export SDL_AUDIODRIVER=disk
export SDL_DISKAUDIOFILE="$WORK/audio.raw"

# Bytes written so far (44100 Hz, 16-bit stereo: 176400 a second).
written() { stat -c %s "$SDL_DISKAUDIOFILE" 2>/dev/null || echo 0; }

# Level figures of the recording from byte offset $1 for $2 seconds:
# "<rms> <spread of the 250 ms window levels (stdev / mean)> <share of silent windows>"
levels() {
  /usr/bin/python3 - "$SDL_DISKAUDIOFILE" "$1" "$2" "$3" <<'PY'
import array, math, sys, wave
path, start, seconds, wav = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), sys.argv[4]
with open(path, 'rb') as f:
    f.seek(start - start % 4)
    data = f.read(int(seconds * 176400))
with wave.open(wav, 'wb') as w:
    w.setnchannels(2); w.setsampwidth(2); w.setframerate(44100); w.writeframes(data)
s = array.array('h', data)
win = 44100 // 4 * 2
levels = [math.sqrt(sum(x * x for x in s[i:i + win]) / win) / 32768 for i in range(0, len(s) - win + 1, win)]
if not levels:
    print('0 0 1'); sys.exit()
mean = sum(levels) / len(levels)
spread = math.sqrt(sum((l - mean) ** 2 for l in levels) / len(levels)) / mean if mean > 0 else 0
rms = math.sqrt(sum(l * l for l in levels) / len(levels))
print('%.4f %.3f %.2f' % (rms, spread, sum(l < 0.001 for l in levels) / len(levels)))
PY
}

# Waits (at most 60 s) until the last quarter second written is not silent: the soundfont loads
# behind the first frames, as long as the machine takes.
wait_sound() {
  local i at
  for ((i = 0; i < 300; i++)); do
    at=$(written)
    sleep 0.4          # a quarter second of sound is written in real time
    [ "$(written)" -gt $((at + 44100)) ] && greater "$(levels "$at" 0.25 /dev/null | cut -d' ' -f1)" 0.001 && return 0
  done
  return 1
}

e2e_start_game
expect "the window opens" test -n "$WIN"
e2e_wait_log "$LOG_CREDIT"
press z            # past the credit: the title scene loads and plays the title song
e2e_wait_log "$LOG_TITLE"
expect "the title music starts" wait_sound
from=$(written)
sleep 5.0
read -r rms spread silent <<<"$(levels "$from" 4.5 "$WORK/title.wav")"
echo "  title: rms $rms, window spread $spread, silent share $silent"
expect "the title music is not silent" greater "$rms" 0.01
expect "the title music's level changes with the music" greater "$spread" 0.08
expect "the title music plays without gaps" greater 0.2 "$silent"

press z            # play the first lap: stage 1 plays its song
e2e_wait_log "$LOG_PLAY"
sleep 0.5
expect "the stage 1 music starts" wait_sound
from=$(written)
sleep 5.0
read -r rms spread silent <<<"$(levels "$from" 4.5 "$WORK/stage1.wav")"
echo "  stage 1: rms $rms, window spread $spread, silent share $silent"
expect "the stage 1 music is not silent" greater "$rms" 0.01
expect "the stage 1 music's level changes with the music" greater "$spread" 0.08

LOG="$WORK/data/log.txt"
expect "the game plays the build's soundfont" grep -q "サウンドフォント: $SOUNDFONT\$" "$LOG"
expect "no music failure is logged" bash -c "! grep -E 'BGM\\(' '$LOG' | grep -q '失敗\\|停止'"
[ -n "${E2E_SHOTS:-}" ] && cp "$WORK/title.wav" "$WORK/stage1.wav" "$E2E_SHOTS/" 2>/dev/null
true
