#!/usr/bin/env bash
# The options page as a player uses it: the settings file written with comments on the first
# start; the page from the title (Up from the first entry wraps to "options"); the music turned
# down and heard lower (SDL's disk audio driver); Button1 rebound to A, refused on a clash, and
# then used in a play; the page from the pause menu (Tab), after which the play's replay still
# verifies.
# Usage: tests/e2e/options_e2e.sh [BUILD_DIR]
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
. "$REPO/tests/e2e/lib.sh" "$@"
REPLAY_TOOL="$BUILD/tools/nimbulon-replay"

e2e_start_x
e2e_workdir
cp "$GAME" "$WORK/nimbulon"
GAME="$WORK/nimbulon"
INI="$WORK/nimbulon.ini"
LOG="$WORK/data/log.txt"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/audio.raw"
SECOND=176400   # the disk driver writes 44100 frames of 4 bytes a second, as they are played
audio_size() { stat -c %s "$SDL_DISKAUDIOFILE" 2>/dev/null || echo 0; }
grown_past() { [ "$(audio_size)" -ge "$1" ]; }
level_from() {  # level_from OFFSET: rms (0..1) of the 3 s of sound written from OFFSET
  e2e_until 60 grown_past $(($1 + 3 * SECOND))
  /usr/bin/python3 - "$SDL_DISKAUDIOFILE" "$1" "$SECOND" <<'PY'
import array, math, sys
with open(sys.argv[1], 'rb') as f:
    start, second = int(sys.argv[2]), int(sys.argv[3])
    f.seek(start - start % 4)
    s = array.array('h', f.read(3 * second))
print('%.5f' % (math.sqrt(sum(x * x for x in s) / len(s)) / 32768) if 2 * len(s) == 3 * second else 'cut short')
PY
}
count() { grep -c -- "$1" "$LOG" 2>/dev/null || true; }
wait_count() {  # wait_count PATTERN COUNT
  for _ in $(seq 900); do [ "$(count "$1")" -ge "$2" ] && return 0; sleep 0.1; done
  echo "  (waited for $2 log lines matching '$1')"
  return 1
}
key() { press "$1" 0.5; sleep 0.2; }
# to_entry LABEL: Down until the page says the cursor is on that entry (a press a busy machine
# missed is simply made again).
to_entry() {
  for _ in $(seq 60); do
    [ "$(grep -a 'OptionsPage(.*) - .* : 項目: ' "$LOG" | tail -n1 | sed 's/.*項目: //')" = "$1" ] && return 0
    key Down
  done
  return 1
}

expect "no settings file before the first start" test ! -e "$INI"
e2e_start_game
expect "the window titled Nimbulon opens" test -n "$WIN"
expect "the first start writes the settings file" e2e_until 10 test -s "$INI"
expect "with a comment on each entry" grep -q '^; music volume, 0 (silent) to 100' "$INI"
expect "and the defaults" grep -qx 'MUSIC_VOLUME=100' "$INI"
e2e_to_title
e2e_wait_log 'se_click\.wav' 30 >/dev/null
e2e_until 30 grown_past $(($(audio_size) + SECOND))
full=$(level_from "$(audio_size)")

# The title's cursor on "options" (row 500): Up from the first entry wraps to "practice" (520),
# once more reaches it.
on_options() {  # title_cursor_row's reading, one row further down
  shot title_probe
  [ "$(convert "$SHOTS/title_probe.png" -sample '800x600!' -crop 30x220+234+290 +repage -fx 'r>0.85 && g>0.8 && b<0.75' \
    -scale '1x11!' txt:- 2>/dev/null |
    awk 'NR > 1 { split($0, f, /[,:( ]+/); if (f[3] + 0 > 1.5) { print 300 + 20 * f[2]; exit } }')" = 500 ]
}
for _ in $(seq 10); do on_options && break; key Up; sleep 0.5; done
expect "the title's cursor reaches options" on_options
key z
expect "the title opens the options page" wait_count 'オプションを開く' 1
sleep 0.5
shot options_page
# Music 100 -> 20 with Left, ten a press, heard as it changes and saved each time.
for _ in $(seq 20); do grep -qx 'MUSIC_VOLUME=20' "$INI" && break; key Left; done
expect "the music volume is saved as it changes" grep -qx 'MUSIC_VOLUME=20' "$INI"
sleep 1.0         # past what the audio device had queued at the old level
quiet=$(level_from "$(audio_size)")
echo "  title music level at 100: $full, at 20 on the options page: $quiet"
expect "the music is heard clearly lower at once" greater "$(awk -v f="$full" 'BEGIN { print f * 0.7 }')" "$quiet"
expect "and still heard" greater "$quiet" 0.0005

expect "the cursor reaches Button1's key" to_entry 'key: button1 (fire)'
key z
wait_count 'キー待ち: key: button1' 1
key x            # X drives Button2: refused
expect "a key of another button is refused" wait_count '他のボタンのキーを断った: X' 1
sleep 0.3
shot key_refused
expect "and nothing is saved for it" bash -c "! grep -q '^BUTTON1=' '$INI'"
key z            # bind again
wait_count 'キー待ち: key: button1' 2
key a
expect "Button1 is bound to A and saved" e2e_until 10 grep -qx 'BUTTON1=A' "$INI"
shot key_bound
key x            # Button2 leaves the page
expect "the page closes" wait_count 'オプションを閉じる' 1

# The rebound key in a play: Z no longer chooses, A does (the title, then the pause menu).
e2e_cursor_to 340   # back on "play 1st lap"
key z
sleep 1.0
expect "Z chooses nothing any more" test "$(count "$LOG_PLAY")" = 0
key a
expect "A starts the play" wait_count "$LOG_PLAY" 1
sleep 2.0
key c            # pause
sleep 0.5
key Tab          # the options page over the paused play
expect "Tab opens the options page in the pause menu" wait_count 'オプションを開く' 2
sleep 0.5
shot options_paused
key x
expect "and it closes back to the pause menu" wait_count 'オプションを閉じる' 2
sleep 0.5
key Down         # "return to title"
key z
sleep 1.0
expect "Z does not decide in the pause menu" test "$(count "$LOG_TITLE")" = 1
key a
expect "A does: back to the title" wait_count "$LOG_TITLE" 2
expect "the play was kept as the last play" e2e_until 10 test -s "$WORK/data/lastplay_1lap_b.rep"
press Escape
e2e_wait_exit 10
expect "Escape ends the program with status 0" test "$GAME_STATUS" = "0"
if [ -x "$REPLAY_TOOL" ]; then
  "$REPLAY_TOOL" verify "$WORK/data/lastplay_1lap_b.rep" >"$WORK/verify.txt" 2>&1
  expect "the play with the options page in its pause replays as recorded" test $? = 0
else
  echo "  (no $REPLAY_TOOL: the replay is not verified)"
fi
