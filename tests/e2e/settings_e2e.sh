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

same_region() { test "$(compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1)" = "0"; }
crop() { convert "$1" -crop "$2" +repage "$3"; }
# How much bluer than red a region is: the menu's highlight bar is blue.
blueness() { convert "$1" -crop "$2" +repage -format '%[fx:mean.b-mean.r]' info: 2>/dev/null; }

# --- keys ---------------------------------------------------------------------------------------
printf '[CONFIG]\nSE_VOLUME=100\n[KEYS]\nBUTTON1=A\nDOWN=S\nBUTTON2=Nope\nJUMP=Z\n' >"$WORK/nimbulon.ini"
e2e_start_game
sleep 1.0
press a            # Button1 is A now: skips the credit
sleep 1.0
shot title
ROW2=70x14+262+353  # the second menu entry, "score (1st lap)"
press Down         # the arrow no longer moves the cursor
sleep 0.4
shot after_arrow
press s            # S does
sleep 0.4
shot after_s
crop "$SHOTS/title.png" $ROW2 "$WORK/r0.png"
crop "$SHOTS/after_arrow.png" $ROW2 "$WORK/r1.png"
expect "A skips the credit: the title shows its menu" greater "$(region_spread "$SHOTS/title.png" 200x200+250+330)" 0.02
expect "the arrow key no longer moves the cursor" same_region "$WORK/r0.png" "$WORK/r1.png"
expect "S moves the cursor down: the second entry is highlighted" \
  greater "$(blueness "$SHOTS/after_s.png" $ROW2)" "$(awk -v m="$(blueness "$SHOTS/after_arrow.png" $ROW2)" 'BEGIN { print m + 0.1 }')"
press z            # Z fires no more
sleep 0.6
shot after_z
crop "$SHOTS/after_s.png" $ROW2 "$WORK/m0.png"
crop "$SHOTS/after_z.png" $ROW2 "$WORK/m1.png"
expect "Z no longer decides: the title stays as it was" same_region "$WORK/m0.png" "$WORK/m1.png"
press a            # A decides: the records of the first lap
sleep 1.0
shot records
expect "A decides: the records scene replaces the title" \
  bash -c "! compare -metric AE '$SHOTS/after_s.png' '$SHOTS/records.png' null: >/dev/null 2>&1"
press Escape
e2e_wait_exit 10
expect "the unknown key name is logged" grep -q '不明なキー名を無視: BUTTON2=Nope' "$LOG"
expect "the unknown entry is logged" grep -q 'キー設定の不明な項目を無視: JUMP' "$LOG"

# --- volumes ------------------------------------------------------------------------------------
if [ ! -e /usr/share/sounds/sf2/default-GM.sf2 ]; then
  echo "no General MIDI soundfont: volume checks skipped"
  exit 0
fi
export SDL_AUDIODRIVER=disk
level() {  # the title music's level (rms, 0..1) over 4 s, 1.5 s after the title starts
  printf '[CONFIG]\nMUSIC_VOLUME=%s\nSE_VOLUME=%s\n' "$1" "$2" >"$WORK/nimbulon.ini"
  export SDL_DISKAUDIOFILE="$WORK/audio-$1.raw"
  e2e_start_game
  sleep 1.0
  press z
  sleep 1.5
  local from
  from=$(stat -c %s "$SDL_DISKAUDIOFILE" 2>/dev/null || echo 0)
  sleep 4.5
  press Escape
  e2e_wait_exit 10
  /usr/bin/python3 - "$SDL_DISKAUDIOFILE" "$from" <<'PY'
import array, math, sys
with open(sys.argv[1], 'rb') as f:
    start = int(sys.argv[2])
    f.seek(start - start % 4)
    s = array.array('h', f.read(4 * 176400))
print('%.5f' % (math.sqrt(sum(x * x for x in s) / max(len(s), 1)) / 32768))
PY
}
full=$(level 100 100)
quiet=$(level 40 100)
mute=$(level 0 0)
echo "  title music level at 100: $full, at 40: $quiet, at 0: $mute"
expect "the title music sounds at full volume" greater "$full" 0.01
expect "MUSIC_VOLUME=40 plays it clearly softer" greater "$(awk -v f="$full" 'BEGIN { print f * 0.7 }')" "$quiet"
expect "MUSIC_VOLUME=40 still plays it" greater "$quiet" "$(awk -v f="$full" 'BEGIN { print f * 0.15 }')"
expect "MUSIC_VOLUME=0 silences it" greater 0.0005 "$mute"
