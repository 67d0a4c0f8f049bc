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
# The server is built with the game: without it this test fails, it never passes untried.
expect "the ranking server program is there ($SERVER_BIN)" test -x "$SERVER_BIN"
[ -x "$SERVER_BIN" ] || exit 1

e2e_start_x
e2e_workdir
# The game runs from a copy beside its own configuration: no confirmation box before going online.
cp "$GAME" "$WORK/nimbulon"
GAME="$WORK/nimbulon"
printf '[CONFIG]\nCONFIRM_ONLINE=0\n' >"$WORK/nimbulon.ini"

PORT=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
start_server() {
  "$SERVER_BIN" --listen "127.0.0.1:$PORT" --db "$WORK/ranking.sqlite" --create 2>>"$WORK/server.log" &
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
answer_box() {  # answer_box CAPTION SHOT: the game's box with that caption, shot, answered with Return
  BOXES_SHOWN=$((BOXES_SHOWN + 1))
  wait_log "PictureDialogs(.*) - .* : メッセージ表示 $1: " "$BOXES_SHOWN" || return 1
  sleep 0.5
  shot "$2"
  key Return
  wait_log "PictureDialogs(.*) - .* : メッセージの答え $1 -> OK" "$BOXES_SHOWN"
}
BOXES_SHOWN=0
log_count() { grep -c -- "$1" "$WORK/data/log.txt" 2>/dev/null || true; }
# Waits until the log holds COUNT lines with PATTERN (a loaded machine runs the game slowly).
wait_log() {  # wait_log PATTERN COUNT [SECONDS]
  for _ in $(seq $((${3:-30} * 10))); do [ "$(log_count "$1")" -ge "$2" ] && return 0; sleep 0.1; done
  return 1
}
LIST_READ='ランキングファイル読み込み ファイル名：./data/ranking_1lap_b.dat'
# The entry dialog is open when its name field (near black) covers that part of the page.
wait_dialog() {
  for _ in $(seq 100); do
    shot probe
    greater 0.08 "$(region_mean "$SHOTS/probe.png" 40x14+305+184)" && return 0
    sleep 0.2
  done
  return 1
}
key() { press "$1" 0.3; }

e2e_start_game
expect "the window titled Nimbulon opens" test -n "$WIN"
e2e_to_title
key Down         # "score (1st lap)"
key z
wait_log 'ranking_1lap_b.dat' 1

# Records page: return, last play, best play, send, get, [entries], prev, next.
key Down; key Down; key Down; key Down   # "get the ranking list"
key z
wait_log "$LIST_READ" 1
expect "the empty list was downloaded" test "$(od -An -c "$WORK/data/ranking_1lap_b.dat" | tr -d ' \n')" = '\0'

# The page was built anew: the cursor is back on "return to the title".
key Down; key Down; key Down               # "send the best play"
key z
expect "the entry dialog opens" wait_dialog
shot dialog_empty
type_text 'ace'
key Tab
type_text 'hunter2'
key Tab
type_text 'よろしく! good luck'
sleep 0.5
shot dialog_filled
# The typed name and comment show in the dialog.
expect "the dialog shows what is typed" \
  greater "$(compare -metric AE -fuzz 5% "$SHOTS/dialog_empty.png" "$SHOTS/dialog_filled.png" null: 2>&1 | cut -d' ' -f1)" 200
key Return
wait_log "$LIST_READ" 2
expect "the game says the upload went through, in its picture" answer_box 'スコア送信' upload_done
expect "in the game's own words" grep -q 'メッセージ表示 スコア送信: スコアを送信しました。' "$WORK/data/log.txt"
sleep 1.0
shot own_entry
expect "the upload was stored" grep -q '^username$' "$WORK/data/ranking_1lap_b.dat"
expect "the list holds our entry" grep -qx 'ace' "$WORK/data/ranking_1lap_b.dat"
expect "the comment went along" grep -qx 'よろしく! good luck' "$WORK/data/ranking_1lap_b.dat"
expect "name, password and comment are saved" grep -q 'hunter2' "$WORK/data/system.sav"
# The cursor sits on the first entry (row at playfield y 300): the gold arrow left of it.
expect "the cursor is on our entry" greater "$(region_spread "$SHOTS/own_entry.png" 40x20+240+290)" 0.05

key z            # watch our own entry
expect "our replay was fetched and plays" wait_log 'リプレイの取得完了。再生。' 1
expect "the play scene replays" wait_log '入力のリプレイを開始' 1
sleep 1.5
shot own_replay
key c
wait_log "$LIST_READ" 3
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
key Up           # from our entry up to "get the ranking list"
key z
wait_log "$LIST_READ" 4
expect "the refreshed list holds both players" grep -qx 'rival' "$WORK/data/ranking_1lap_b.dat"
key Down; key Down; key Down; key Down; key Down   # the first entry: the rival, higher score
sleep 0.3
shot rival_selected
key z
expect "the rival's replay was fetched and plays" wait_log 'リプレイの取得完了。再生。' 2
sleep 1.5
shot rival_replay
key c
wait_log "$LIST_READ" 5
sleep 0.5

# Sending again with another password: the server refuses the name.
key Up; key Up             # from the rival's entry up to "send the best play"
key z
wait_dialog
key Tab
type_text 'not-it'
key Return
expect "a wrong password shows a box" answer_box 'スコア送信' wrong_password
# The same caption heads every failure of the upload: the box's words (logged as shown) and the
# server's own log tell the refusal of the password from a send that failed.
expect "the box says the name is taken or the password differs" \
  grep -q 'RankingConnecter(.*) - .* : スコア送信: ユーザー名が既に使用されているか、パスワードが以前と違います。' "$WORK/data/log.txt"
expect "the server refused the upload for its password" grep -q 'name=ace .*result=1 password differs' "$WORK/server.log"

# The server goes away: downloading the list shows the failure box, the list downloaded last
# stays, and the game goes on.
stop_server
key Down                   # "get the ranking list"
key z
expect "a stopped server shows the failure box" answer_box 'スコア送信' server_stopped
expect "the box says the update failed" \
  grep -q 'RankingConnecter(.*) - .* : スコア送信: 更新は失敗しました。 ランキングシステムが停止している' "$WORK/data/log.txt"
expect "the failed download keeps the list downloaded last" grep -q 'username' "$WORK/data/ranking_1lap_b.dat"
sleep 0.5
key Up; key Up
sleep 0.5
shot after_failure
expect "the game goes on after the failure" \
  greater "$(region_spread "$SHOTS/after_failure.png" 480x400+160+70)" 0.05

press Escape
e2e_wait_exit 10
expect "Escape ends the program with status 0" test "$GAME_STATUS" = "0"
