#!/usr/bin/env bash
# The player's settings in the configuration file take effect in the game: keys remapped in
# [KEYS] (unknown names logged and ignored), and MUSIC_VOLUME / SE_VOLUME in [CONFIG].
# Usage: settings_e2e.sh [BUILD_DIR]
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
. "$REPO/tests/e2e/lib.sh" "$@"

e2e_start_x
e2e_workdir
cp "$GAME" "$WORK/nimbulon"
GAME="$WORK/nimbulon"
LOG="$WORK/data/log.txt"

# The records page has replaced the title: the title's logo no longer covers the top of the field
# (the page's heading and first entries are thin text on the sky there).
logo_gone() { shot records && greater 0.45 "$(region_mean "$SHOTS/records.png" 300x30+250+90)"; }
cursor_at() { test "$(title_cursor)" = "$1"; }

# --- keys ---------------------------------------------------------------------------------------
printf '[CONFIG]\nSE_VOLUME=100\n[KEYS]\nBUTTON1=A\nDOWN=S\nBUTTON2=Nope\nJUMP=Z\n' >"$WORK/nimbulon.ini"
e2e_start_game
e2e_wait_log "$LOG_CREDIT"
e2e_skip_credit a  # Button1 is A now
e2e_wait_log "$LOG_TITLE"
expect "the title shows its menu, the cursor on \"play 1st lap\"" e2e_until 30 cursor_at 340
press Down         # the arrow no longer moves the cursor ...
press s            # ... S does: one entry down
# Had the arrow moved it too, the cursor would stand two entries down ("play 1st lap [old]").
expect "S moves the cursor one entry down, the arrow not at all" e2e_until 20 cursor_at 360
press z            # Z decides no more: the title stays ...
press s            # ... and reads the next key: down to "play 1st lap [old]"
expect "Z no longer decides: the title goes on and S steps on" e2e_until 20 cursor_at 420
press Up           # Up keeps its key: back to "score (1st lap)"
e2e_until 20 cursor_at 360
press a            # A decides: the records of the first lap
expect "A decides: the records scene loads" e2e_wait_log 'ランキング(の読み出しに失敗|ファイル読み込み)'
expect "and replaces the title on the screen" e2e_until 20 logo_gone
press Escape
e2e_wait_exit 10
expect "the unknown key name is logged" grep -q '不明なキー名を無視: BUTTON2=Nope' "$LOG"
expect "the unknown entry is logged" grep -q 'キー設定の不明な項目を無視: JUMP' "$LOG"

# --- volumes ------------------------------------------------------------------------------------
# The game plays the soundfont the build cut down (from fluid-soundfont-gm's), found beside the
# program: the copy here gets it beside it too, and the log must name it.
SOUNDFONT="$BUILD/nimbulon-gm.sf2"
e2e_require fluid-soundfont-gm "the volumes (the build's soundfont $SOUNDFONT, cut from /usr/share/sounds/sf2/default-GM.sf2)" \
  test -s "$SOUNDFONT" || exit $((E2E_FAILED > 0))
cp "$SOUNDFONT" "$WORK/"
export SDL_AUDIODRIVER=disk
# The disk driver writes the sound as it is played: 44100 frames of 4 bytes a second.
SECOND=176400
audio_size() { stat -c %s "$SDL_DISKAUDIOFILE" 2>/dev/null || echo 0; }
grown_past() { [ "$(audio_size)" -ge "$1" ]; }
level() {  # the title music's level (rms, 0..1) over 4 s of the title's song, from its second second
  printf '[CONFIG]\nMUSIC_VOLUME=%s\nSE_VOLUME=%s\n' "$1" "$2" >"$WORK/nimbulon.ini"
  export SDL_DISKAUDIOFILE="$WORK/audio-$1.raw"
  e2e_start_game
  e2e_wait_log "$LOG_CREDIT" >&2
  e2e_skip_credit
  # The title starts its song as soon as it has loaded, the click effect last.
  e2e_wait_log 'se_click\.wav' 30 >&2
  e2e_until 30 grown_past $(($(audio_size) + SECOND))
  local from
  from=$(audio_size)
  e2e_until 60 grown_past $((from + 4 * SECOND))
  press Escape
  e2e_wait_exit 10
  # Four whole seconds or no reading at all.
  /usr/bin/python3 - "$SDL_DISKAUDIOFILE" "$from" "$SECOND" <<'PY'
import array, math, sys
with open(sys.argv[1], 'rb') as f:
    start, second = int(sys.argv[2]), int(sys.argv[3])
    f.seek(start - start % 4)
    s = array.array('h', f.read(4 * second))
print('%.5f' % (math.sqrt(sum(x * x for x in s) / len(s)) / 32768) if len(s) == 2 * second else 'cut short')
PY
}
full=$(level 100 100)
quiet=$(level 40 100)
mute=$(level 0 0)
echo "  title music level at 100: $full, at 40: $quiet, at 0: $mute"
expect "the game plays the build's soundfont" grep -q "サウンドフォント: $WORK/nimbulon-gm.sf2\$" "$LOG"
expect "the title music sounds at full volume" greater "$full" 0.01
expect "MUSIC_VOLUME=40 plays it clearly softer" greater "$(awk -v f="$full" 'BEGIN { print f * 0.7 }')" "$quiet"
expect "MUSIC_VOLUME=40 still plays it" greater "$quiet" "$(awk -v f="$full" 'BEGIN { print f * 0.15 }')"
expect "MUSIC_VOLUME=0 silences it" greater 0.0005 "$mute"
