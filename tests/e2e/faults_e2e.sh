#!/usr/bin/env bash
# The real program on a machine that lacks things: no display (it ends with one clear line), no
# audio device and no joystick, no soundfont and a data folder where every file is garbage (it
# plays on and logs what it could not use).
# Usage: faults_e2e.sh [BUILD_DIR]
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
. "$REPO/tests/e2e/lib.sh" "$@"

# No display at all: the program says so on one line and ends by itself.
e2e_workdir
(cd "$WORK" && env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11 timeout 30 "$GAME") >"$WORK/out.txt" 2>&1
status=$?
expect "without a display the program ends by itself" test "$status" != 124
expect "and says why on one line" test "$(grep -c . "$WORK/out.txt")" = 1
expect "the line names the display" grep -q 'no window could be opened (is a display available?)' "$WORK/out.txt"

e2e_start_x

# No audio device (a driver that does not exist) and no joystick (Xvfb has none): the game plays
# silently, logs both, and ends normally.
e2e_workdir
SDL_AUDIODRIVER=no-such-driver e2e_start_game
expect "without an audio device the window opens" test -n "$WIN"
expect "the credit is shown" e2e_wait_log "$LOG_CREDIT"
press z
expect "the title is shown" e2e_wait_log "$LOG_TITLE"
LOG="$WORK/data/log.txt"
expect "the missing audio device is logged for the effects" grep -q '効果音環境の初期化に失敗' "$LOG"
expect "and for the music" grep -q 'BGM.*MIDI出力オープン失敗' "$LOG"
expect "the missing joystick is logged" grep -q '有効なジョイスティックは取得できなかった' "$LOG"
press Escape
e2e_wait_exit 20
expect "Escape still ends the program with status 0" test "$GAME_STATUS" = "0"

# Every file the game reads is garbage, the configuration file too, and the soundfont is hidden
# under an empty tmpfs in a mount namespace of the game's own (when the machine allows one).
e2e_workdir
for f in "$WORK"/data/*.wav "$WORK"/data/*.mid; do printf 'garbage' >"$f"; done
for f in system.sav lastplay_1lap_b.rep bestplay_1lap_b.rep ranking_1lap_b.dat; do
  head -c 300 /dev/urandom >"$WORK/data/$f"
done
cp "$GAME" "$WORK/nimbulon"
head -c 200 /dev/urandom >"$WORK/nimbulon.ini"
GAME="$WORK/nimbulon"
SOUNDFONT_DIR=/usr/share/sounds/sf2
hide="mkdir -p $SOUNDFONT_DIR && mount -t tmpfs -o size=64k tmpfs $SOUNDFONT_DIR"
if unshare -m sh -c "$hide" 2>/dev/null; then
  WRAP=(unshare -m sh -c "$hide && exec \"\$0\"")
elif unshare -rm sh -c "$hide" 2>/dev/null; then
  WRAP=(unshare -rm sh -c "$hide && exec \"\$0\"")
else
  WRAP=()
  [ -e "$SOUNDFONT_DIR/default-GM.sf2" ] && echo "  (no mount namespace here: the soundfont stays visible)"
fi
(cd "$WORK" && exec "${WRAP[@]}" "$GAME") >"$WORK/stdout.txt" 2>&1 &
GAME_PID=$!
WIN=""
for _ in $(seq 300); do
  WIN=$(xdotool search --name '^Nimbulon$' 2>/dev/null | head -n1)
  [ -n "$WIN" ] && break
  sleep 0.1
done
[ -n "$WIN" ] && xdotool windowfocus --sync "$WIN" 2>/dev/null
expect "with every file damaged the window opens" test -n "$WIN"
expect "the credit is shown" e2e_wait_log "$LOG_CREDIT"
press z
expect "the title is shown" e2e_wait_log "$LOG_TITLE"
press z            # "play 1st lap"
expect "a play begins" e2e_wait_log "$LOG_PLAY"
xdotool keydown z; sleep 2; xdotool keyup z
expect "the play runs on" kill -0 "$GAME_PID"
LOG="$WORK/data/log.txt"
expect "the damaged effects are logged" test "$(grep -c 'サウンドロードエラー:' "$LOG")" -ge 8
expect "the damaged songs are logged" test "$(grep -c 'BGM.*MIDIロード失敗' "$LOG")" -ge 6
expect "the damaged system save is logged" grep -q 'システムセーブが壊れている' "$LOG"
if [ ${#WRAP[@]} -gt 0 ] || [ ! -e "$SOUNDFONT_DIR/default-GM.sf2" ]; then
  expect "the missing soundfont is logged" grep -q 'BGM.*MIDI出力オープン失敗' "$LOG"
fi
press Escape
e2e_wait_exit 20
expect "Escape ends the program with status 0" test "$GAME_STATUS" = "0"
