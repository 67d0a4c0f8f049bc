#!/usr/bin/env bash
# The game as a player installs it: `cmake --install` into a staging folder passes the desktop,
# AppStream, systemd and man page checkers; `cpack -G DEB` makes the game's and the server's
# packages; both install with dpkg (as root; packages already on the machine are purged first), the
# installed game starts under Xvfb from a folder of its own with an English locale, writes only
# under the XDG folders, plays its song and, heard apart from it, its shots, shows its English texts,
# and both packages remove cleanly.
# Usage: tests/e2e/package_e2e.sh [build folder]
set -uo pipefail
REPO=$(cd "$(dirname "$0")/../.." && pwd)
source "$REPO/tests/e2e/lib.sh"
SCRATCH=$(mktemp -d /tmp/nimbulon-package-XXXXXX)
INSTALLED=""
e2e_package_cleanup() {
  [ -n "${GAME_PID:-}" ] && kill "$GAME_PID" 2>/dev/null && wait "$GAME_PID" 2>/dev/null
  [ -n "$INSTALLED" ] && dpkg --purge nimbulon nimbulon-server >/dev/null 2>&1
  rm -rf "$SCRATCH"
}
trap 'e2e_package_cleanup; e2e_finish' EXIT

echo "installed tree"
STAGE="$SCRATCH/stage"
DESTDIR="$STAGE" cmake --install "$BUILD" --prefix /usr >"$SCRATCH/install.txt" 2>&1
expect "cmake --install with DESTDIR succeeds" test -x "$STAGE/usr/bin/nimbulon"
for f in usr/bin/nimbulon-replay usr/bin/nimbulon-server usr/share/nimbulon/title.mid usr/share/nimbulon/se_click.wav \
         usr/share/nimbulon/nimbulon-gm.sf2 usr/share/locale/en/LC_MESSAGES/nimbulon.mo \
         usr/share/icons/hicolor/256x256/apps/nimbulon.png usr/share/man/man6/nimbulon.6 usr/share/man/man8/nimbulon-server.8; do
  expect "installs $f" test -s "$STAGE/$f"
done
expect "desktop-file-validate passes" desktop-file-validate "$STAGE/usr/share/applications/nimbulon.desktop"
expect "appstreamcli validate passes" appstreamcli validate --no-net --pedantic \
  "$STAGE/usr/share/metainfo/io.github.nimbulon.nimbulon.metainfo.xml"
# The unit's ExecStart names /usr/bin/nimbulon-server, not installed yet: a copy pointing into the
# staged tree is verified (its man page is checked above, not through man's own index).
sed "s|/usr/bin/nimbulon-server|$STAGE/usr/bin/nimbulon-server|" "$STAGE/usr/lib/systemd/system/nimbulon-server.service" \
  >"$SCRATCH/nimbulon-server.service"
expect "systemd-analyze verify passes" systemd-analyze verify --man=no "$SCRATCH/nimbulon-server.service"
expect "the unit makes its files its own alone (UMask=0077) and its database at the first start (--create)" \
  bash -c "grep -qx 'UMask=0077' '$SCRATCH/nimbulon-server.service' && grep -q '^ExecStart=.* --create' '$SCRATCH/nimbulon-server.service'"
for page in "$STAGE"/usr/share/man/man*/*; do
  expect "man page $(basename "$page") formats without warnings" \
    bash -c '[ -z "$(LC_ALL=C.UTF-8 MANROFFSEQ= man --warnings -l "$1" 2>&1 >/dev/null)" ]' _ "$page"
done
expect "the 48 x 48 icon is a 48 x 48 PNG with transparency" \
  bash -c '[ "$(identify -format "%wx%h %A" "$1")" = "48x48 True" ]' _ "$STAGE/usr/share/icons/hicolor/48x48/apps/nimbulon.png"

echo "Debian packages"
(cd "$BUILD" && cpack -G DEB -B "$SCRATCH/debs" >"$SCRATCH/cpack.txt" 2>&1)
GAME_DEB=$(ls "$SCRATCH"/debs/nimbulon_*.deb 2>/dev/null | head -n1)
SERVER_DEB=$(ls "$SCRATCH"/debs/nimbulon-server_*.deb 2>/dev/null | head -n1)
expect "cpack makes the game's package" test -n "$GAME_DEB"
expect "cpack makes the server's package" test -n "$SERVER_DEB"
[ -n "$GAME_DEB" ] && [ -n "$SERVER_DEB" ] || { cat "$SCRATCH/cpack.txt"; exit 1; }
expect "the game's dependencies come from its binaries (libSDL2, libfluidsynth) and name libcurl" \
  bash -c 'd=$(dpkg-deb -f "$1" Depends); [[ $d == *libsdl2* && $d == *libfluidsynth* && $d == *libcurl4* ]]' _ "$GAME_DEB"
expect "the server's dependencies come from its binary (libmicrohttpd, ICU for the names)" \
  bash -c 'd=$(dpkg-deb -f "$1" Depends); [[ $d == *libmicrohttpd* && $d == *libicu* ]]' _ "$SERVER_DEB"

# dpkg installs into the machine's own /usr, which needs root: without it this test fails. Packages
# already there (a developer's own, or a run killed between install and removal) are purged
# first, so that what is checked below is what this build made.
e2e_require root "installing the packages with dpkg (it runs as root)" test "$(id -u)" = 0 || exit $((E2E_FAILED > 0))
known=$(dpkg-query -W -f='${Package} ' nimbulon nimbulon-server 2>/dev/null)
if [ -n "$known" ]; then
  echo "  (already on this machine: $known- purged first)"
  expect "the packages found on the machine are purged first" bash -c 'dpkg --purge $1 >"$0/dpkg.txt" 2>&1 || { cat "$0/dpkg.txt"; false; }' "$SCRATCH" "$known"
fi
INSTALLED=1
expect "dpkg -i installs both packages" bash -c 'dpkg -i "$@" >"$0/dpkg.txt" 2>&1 || { cat "$0/dpkg.txt"; false; }' "$SCRATCH" "$GAME_DEB" "$SERVER_DEB"
expect "the packaged unit verifies where dpkg put it" systemd-analyze verify --man=no /usr/lib/systemd/system/nimbulon-server.service
expect "the installed server answers --help" bash -c '/usr/bin/nimbulon-server --help | grep -q -- --listen'

echo "the installed game, started from another folder"
e2e_start_x
PLAYER="$SCRATCH/home"
mkdir -p "$PLAYER/Desktop"
WORK="$PLAYER/Desktop"
SAVES="$PLAYER/.local/share/nimbulon"
LOG="$SAVES/log.txt"
SHOTS="$SCRATCH/shots"
mkdir -p "$SHOTS"
# SDL's disk driver writes what the sound device would play (44100 Hz, 16-bit stereo).
AUDIO="$SCRATCH/audio.raw"
# start_player: the installed game as a player starts it, from the Desktop folder with an English
# locale, its sound written to $AUDIO afresh; back once the credit has loaded, the window focused.
start_player() {
  rm -f "$AUDIO" "$LOG"
  (cd "$WORK" && exec env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u LC_ALL -u LANGUAGE HOME="$PLAYER" LANG=en_GB.UTF-8 \
     SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$AUDIO" nimbulon --windowed) >"$SCRATCH/stdout.txt" 2>&1 &
  GAME_PID=$!
  wait_log 'ID= = 6f$' 60
  WIN=$(xdotool search --name '^Nimbulon$' 2>/dev/null | head -n1)
  [ -n "$WIN" ] && xdotool windowfocus --sync "$WIN" 2>/dev/null
  sleep 0.5
}
# KILL: a game waiting in a message box reads no signal.
stop_player() { e2e_stop "$GAME_PID" KILL; GAME_PID=""; }
wait_log() {  # wait_log PATTERN SECONDS
  for _ in $(seq $(($2 * 10))); do grep -q "$1" "$LOG" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}
audio_bytes() { stat -c %s "$AUDIO" 2>/dev/null || echo 0; }
# level OFFSET SECONDS: root mean square level (0..1) of the sound written from byte OFFSET on.
level() {
  /usr/bin/python3 -c '
import array, math, sys
with open(sys.argv[1], "rb") as f:
    f.seek(int(sys.argv[2]) // 4 * 4)
    s = array.array("h", f.read(int(176400 * float(sys.argv[3]))))
print("%.4f" % (math.sqrt(sum(x * x for x in s) / len(s)) / 32768 if s else 0))' "$AUDIO" "$1" "$2"
}

start_player
expect "the log is written to ~/.local/share/nimbulon" grep -q 'ID= = 6f$' "$LOG"
press z            # past the credit to the title, which loads its effect and song
wait_log 'ID= = 70$' 30
expect "the songs play with the installed soundfont" grep -q 'サウンドフォント: /usr/bin/../share/nimbulon/nimbulon-gm.sf2' "$LOG"
expect "the effects load from the installed data" \
  bash -c '! grep -q "サウンドロードエラー" "$1" && grep -q "/usr/bin/../share/nimbulon/se_click.wav" "$1"' _ "$LOG"
expect "the folders are the player's alone" \
  bash -c '[ "$(stat -c %a "$1/.local/share/nimbulon") $(stat -c %a "$1/.config/nimbulon")" = "700 700" ]' _ "$PLAYER"
expect "nothing is written to the folder it started from" bash -c '[ -z "$(ls -A "$1")" ]' _ "$WORK"
TITLE_AUDIO=$(audio_bytes)
sleep 2.5
LEVEL=$(level "$TITLE_AUDIO" 2)
expect "the title's song is heard (level $LEVEL)" greater "$LEVEL" 0.01
# A short play of the first lap, left through the pause menu's "return to title": the play is
# kept as the last play of that mode, under the XDG data folder.
press z 0.3
wait_log 'GameMain コンストラクタ' 30
sleep 0.5
PLAY_AUDIO=$(audio_bytes)
sleep 2.5
LEVEL=$(level "$PLAY_AUDIO" 2)
expect "the stage's song is heard (level $LEVEL)" greater "$LEVEL" 0.01
xdotool keydown z; sleep 2; xdotool keyup z
press c 0.3
sleep 0.5
press Down 0.3
press z 0.3
for _ in $(seq 100); do [ -s "$SAVES/lastplay_1lap_b.rep" ] && break; sleep 0.1; done
expect "the play is saved under ~/.local/share/nimbulon" test -s "$SAVES/lastplay_1lap_b.rep"
expect "the saved play verifies" bash -c '/usr/bin/nimbulon-replay verify "$1" >/dev/null 2>&1' _ "$SAVES/lastplay_1lap_b.rep"
stop_player
expect "nothing is written to the folder it started from, after a play either" bash -c '[ -z "$(ls -A "$1")" ]' _ "$WORK"

echo "the effects heard apart from the music (MUSIC_VOLUME=0)"
printf '[CONFIG]\nMUSIC_VOLUME=0\nSE_VOLUME=100\n' >"$PLAYER/.config/nimbulon/nimbulon.ini"
start_player
press z
wait_log 'ID= = 70$' 30
e2e_until 30 title_ready
# The title plays its song and, once, a click as it loads: past the click it is silent now, so
# what the play makes heard below is its effects alone.
QUIET_AUDIO=$(audio_bytes)
sleep 2
QUIET=$(level "$QUIET_AUDIO" 1.5)
expect "with MUSIC_VOLUME=0 the title's song is not heard (level $QUIET)" greater 0.002 "$QUIET"
press z 0.3        # "play 1st lap"
wait_log 'GameMain コンストラクタ' 30
sleep 0.5
SHOTS_AUDIO=$(audio_bytes)
xdotool keydown z; sleep 3.5; xdotool keyup z
SHOTS_LEVEL=$(level "$SHOTS_AUDIO" 3)
expect "the play's shots and hits are heard without the music (level $SHOTS_LEVEL)" greater "$SHOTS_LEVEL" 0.01
stop_player
rm -f "$PLAYER/.config/nimbulon/nimbulon.ini"

echo "an English text on the screen"
# With no ranking server set, asking for the online list says so at once in a box drawn in the
# game's picture, in the player's language, and logs it as shown: English here (the original is
# Japanese), so the installed catalogue was found and used.
start_player
press z
wait_log 'ID= = 70$' 30
e2e_until 30 title_ready
press Down 0.3     # "score (1st lap)"
press z 0.3
wait_log 'ranking_1lap_b.dat' 30
sleep 0.5
for _ in 1 2 3 4; do press Down 0.3; done   # "get the ranking list"
press z 0.3
expect "the catalogue was found: the box says in English that no ranking server is set" \
  wait_log 'メッセージ表示 Updating the ranking: No ranking server is set' 30
expect "no catalogue is missed" bash -c '! grep -q "no catalogue" "$1"' _ "$SCRATCH/stdout.txt"
stop_player

expect "dpkg -r removes both packages" bash -c 'dpkg -r nimbulon nimbulon-server >"$0/dpkg.txt" 2>&1 || { cat "$0/dpkg.txt"; false; }' "$SCRATCH"
expect "no file of the game is left in /usr" \
  bash -c '[ ! -e /usr/bin/nimbulon ] && [ ! -e /usr/share/nimbulon ] && [ ! -e /usr/share/applications/nimbulon.desktop ]'
