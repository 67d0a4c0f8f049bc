#!/usr/bin/env bash
# The online ranking in a real window under Xvfb, against our ranking server on loopback:
# the empty list is downloaded; the best play is sent through the entry dialog typed with
# xdotool; the list comes back with the player's own entry under the cursor; that entry is
# watched; a second player's upload is fetched and watched; a wrong password and a stopped
# server show their message boxes, and the game goes on.
# Usage: online_e2e.sh [BUILD_DIR]      (NIMBULON_SERVER overrides the server program)
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
. "$REPO/tests/e2e/lib.sh" "$@"
SERVER_BIN=${NIMBULON_SERVER:-$BUILD/server/nimbulon-server}
MAKE_PLAY="$BUILD/tools/nimbulon-make-play"
if [ ! -x "$SERVER_BIN" ]; then
  echo "  skip: no ranking server program at $SERVER_BIN"
  trap - EXIT
  exit 0
fi

e2e_start_x
e2e_workdir
# The game runs from a copy beside its own configuration: no confirmation box before going online.
cp "$GAME" "$WORK/nimbulon"
GAME="$WORK/nimbulon"
printf '[CONFIG]\nCONFIRM_ONLINE=0\n' >"$WORK/nimbulon.ini"

PORT=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
start_server() {
  "$SERVER_BIN" --listen "127.0.0.1:$PORT" --db "$WORK/ranking.sqlite" 2>>"$WORK/server.log" &
  SERVER_PID=$!
  for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$PORT/ranking?version=106" && break; sleep 0.1; done
}
stop_server() { [ -n "${SERVER_PID:-}" ] && kill "$SERVER_PID" 2>/dev/null && wait "$SERVER_PID" 2>/dev/null; SERVER_PID=; }
trap 'stop_server; e2e_finish' EXIT
start_server
printf '127.0.0.1:%s\n/ranking\n/replay\n/upload\n' "$PORT" >"$WORK/data/server.txt"

# Two honest plays recorded headless: ours (the best play of the first lap) and a rival's.
"$MAKE_PLAY" "$WORK/data/bestplay_1lap_b.rep" 4 0 >/dev/null
"$MAKE_PLAY" "$WORK/rival.rep" 4 2 >/dev/null

# The message box with this caption (a window of its own, found by its UTF-8 title), answered
# with Return once it shows, after a screenshot of the whole screen.
answer_box() {  # answer_box CAPTION SHOT
  local box=""
  for _ in $(seq 100); do
    box=$(xwininfo -root -tree 2>/dev/null | grep -F "\"$1\"" | awk '{print $1}' | head -n1)
    [ -n "$box" ] && break
    sleep 0.1
  done
  [ -n "$box" ] || return 1
  sleep 0.5
  import -window root "$SHOTS/$2.png" 2>/dev/null
  xdotool windowfocus --sync "$box" 2>/dev/null
  xdotool key Return
  sleep 0.5
  [ -n "$WIN" ] && xdotool windowfocus --sync "$WIN" 2>/dev/null
  true
}
log_count() { grep -c -- "$1" "$WORK/data/log.txt" 2>/dev/null || true; }

e2e_start_game
expect "the window titled Nimbulon opens" test -n "$WIN"
sleep 1.0
press z          # skip the credit
sleep 1.0
press Down       # "score (1st lap)"
press z
sleep 1.0

# Records page: return, last play, best play, send, get, [entries], prev, next.
press Down; press Down; press Down; press Down   # "get the ranking list"
press z
sleep 1.0
expect "the empty list was downloaded" test "$(od -An -c "$WORK/data/ranking_1lap_b.dat" | tr -d ' \n')" = '\0'

# The page was built anew: the cursor is back on "return to the title".
press Down; press Down; press Down               # "send the best play"
press z
sleep 1.0
shot dialog_empty
xdotool type --delay 60 'ace'
press Tab
xdotool type --delay 60 'hunter2'
press Tab
xdotool type --delay 60 'よろしく! good luck'
sleep 0.5
shot dialog_filled
# The dialog covers the middle of the playfield and draws the typed name there.
expect "the dialog shows over the records page" \
  greater "$(compare -metric AE -fuzz 5% "$SHOTS/dialog_empty.png" "$SHOTS/dialog_filled.png" null: 2>&1 | cut -d' ' -f1)" 200
press Return
sleep 2.0
shot own_entry
expect "the upload was stored" grep -q '^username$' "$WORK/data/ranking_1lap_b.dat"
expect "the list holds our entry" grep -qx 'ace' "$WORK/data/ranking_1lap_b.dat"
expect "the comment went along" grep -qx 'よろしく! good luck' "$WORK/data/ranking_1lap_b.dat"
expect "name, password and comment are saved" grep -q 'hunter2' "$WORK/data/system.sav"
# The cursor sits on the first entry (row at playfield y 300): the gold arrow left of it.
expect "the cursor is on our entry" greater "$(region_spread "$SHOTS/own_entry.png" 40x20+240+290)" 0.05

press z          # watch our own entry
sleep 2.0
shot own_replay
expect "our replay was fetched and plays" test "$(log_count 'リプレイの取得完了。再生。')" = 1
expect "the play scene replays" grep -q '入力のリプレイを開始' "$WORK/data/log.txt"
press c
sleep 1.0
shot back_from_replay
diff=$(compare -metric AE -fuzz 10% "$SHOTS/own_entry.png" "$SHOTS/back_from_replay.png" null: 2>&1 | cut -d' ' -f1)
expect "back on the same page and entry ($diff pixels differ)" test "${diff%.*}" -lt 8000

# A second player uploads a better play; we refresh and watch theirs (first in the list).
RIVAL_PASS=$(printf '%s' 'rivalpw' | md5sum | cut -c1-32)
curl -s -A nimbulon000 -F name=rival -F "pass=$RIVAL_PASS" -F 'message=catch me' -F max_file_size=1000000 \
  -F "replay_file=@$WORK/rival.rep;filename=replay_file;type=application/octet-stream" \
  "http://127.0.0.1:$PORT/upload" >"$WORK/rival_answer.txt"
expect "the rival's upload was stored" test "$(head -c1 "$WORK/rival_answer.txt")" = 0
press Up         # from our entry up to "get the ranking list"
press z
sleep 1.0
expect "the refreshed list holds both players" grep -qx 'rival' "$WORK/data/ranking_1lap_b.dat"
press Down; press Down; press Down; press Down; press Down   # the first entry: the rival, higher score
sleep 0.3
shot rival_selected
press z
sleep 2.0
shot rival_replay
expect "the rival's replay was fetched and plays" test "$(log_count 'リプレイの取得完了。再生。')" = 2
press c
sleep 1.0

# Sending again with another password: the server refuses the name.
press Up; press Up         # from the rival's entry up to "send the best play"
press z
sleep 1.0
press Tab
xdotool type --delay 60 'not-it'
press Return
expect "a wrong password shows the server's refusal" answer_box 'スコア送信' wrong_password

# The server goes away: downloading the list shows the failure box, and the game goes on.
stop_server
press Down                 # "get the ranking list"
press z
expect "a stopped server shows the failure box" answer_box 'スコア送信' server_stopped
sleep 0.5
press Up; press Up
sleep 0.5
shot after_failure
expect "the game goes on after the failure" \
  greater "$(region_spread "$SHOTS/after_failure.png" 480x400+160+70)" 0.05

press Escape
e2e_wait_exit 10
expect "Escape ends the program with status 0" test "$GAME_STATUS" = "0"
