#!/usr/bin/env bash
# The ranking server on loopback, spoken to by curl (and a raw socket for the slow client):
# register, upload, list, fetch; a wrong password; a replay whose header lies; version 0; a
# 2 MiB body; malformed forms; names with bytes over 0x7F, quotes and semicolons; a replay
# bomb; padded replays and longer headers; a client sending a byte a second; 64 players uploading
# at once; SIGKILL during an upload storm and a restart; SIGTERM finishing the request in flight.
# The uploads use the game's own multipart body (quoted boundary, closing delimiter twice).
# Usage: server_e2e.sh [BUILD_DIR]
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
. "$REPO/tests/e2e/lib.sh" "$@"
SERVER="$BUILD/server/nimbulon-server"
T=$(mktemp -d /tmp/nimbulon-server-e2e-XXXXXX)
SERVER_PID=""
cleanup() {
  # Only this script's own jobs still running (servers, clients) are stopped.
  local job
  for job in $(jobs -p); do kill -9 "$job" 2>/dev/null; done
  [ -d "$T/pg" ] && "$REPO/server/tests/pg_cluster.sh" stop "$T/pg"
  rm -rf "$T"
  e2e_finish
}
trap cleanup EXIT

BOUNDARY='---------------------------7d44f2d130918'
DIGEST=0123456789abcdef0123456789abcdef     # the MD5 digest the game would send
OTHER=ffffffffffffffffffffffffffffffff

# start_server DB [OPTIONS...]: a server on a free loopback port; sets URL and SERVER_PID. Every
# client here is 127.0.0.1, which sends far more than one address may (server_flood_e2e.sh tests
# the limits), so they are lifted.
NO_LIMITS=(--connections-per-address 1000 --uploads-per-address 0 --uploads-per-name 0 --new-names-per-address 0
           --wrong-passwords 0 --wrong-passwords-per-address 0)
start_server() {
  local db=$1; shift
  : >"$T/server.log"
  "$SERVER" --listen 127.0.0.1:0 --db "$db" --create "${NO_LIMITS[@]}" "$@" 2>>"$T/server.log" &
  SERVER_PID=$!
  local port=""
  for _ in $(seq 100); do
    port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$T/server.log")
    [ -n "$port" ] && break
    sleep 0.1
  done
  URL="http://127.0.0.1:$port"
  [ -n "$port" ]
}

# game_body NAME PASS MESSAGE REPLAY: the upload body exactly as the game builds it.
game_body() {
  local field
  for field in "name:$1" "pass:$2" "message:$3" "max_file_size:1000000"; do
    printf -- '--%s\r\nContent-Disposition: form-data; name="%s"\r\n\r\n%s\r\n' "$BOUNDARY" "${field%%:*}" "${field#*:}"
  done
  printf -- '--%s\r\nContent-Disposition: form-data; name="replay_file"; filename="replay_file"\r\n' "$BOUNDARY"
  printf 'Content-Type: application/octet-stream\r\n\r\n'
  cat "$4"
  printf '\r\n--%s--\r\n--%s--\r\n' "$BOUNDARY" "$BOUNDARY"
}

# post_body FILE: posts a prepared body as the game does (HTTP/1.0); prints the reply body.
post_body() {
  curl -s -0 --max-time 300 -H "Content-Type: multipart/form-data; boundary=\"$BOUNDARY\"" --data-binary @"$1" "$URL/upload"
}

# upload NAME PASS MESSAGE REPLAY: prints the reply's first byte.
upload() {
  local body
  body=$(mktemp "$T/body-XXXXXX")
  game_body "$@" >"$body"
  post_body "$body" | head -c1
  rm -f "$body"
}

ranking() { curl -s "$URL/ranking?version=$1"; }
status_of() { curl -s -o /dev/null -w '%{http_code}' "$@"; }
# listed VERSION NAME: the name appears as a username in the list.
listed() { ranking "$1" | grep -qxF -- "$2"; }
# field_of FILE N: int32 header field N of a replay file.
field_of() { od -An -t d4 -j $((22 + 4 * $2)) -N4 "$1" | tr -d ' '; }
# patched FILE OFFSET HEXBYTES OUT
patched() { cp "$1" "$4"; printf "$3" | dd of="$4" bs=1 seek="$2" conv=notrunc 2>/dev/null; }

mkdir -p "$T/plays"
"$BUILD/server/nimbulon-record-plays" "$T/plays" 80 >"$T/plays.txt"
# One play has one owner: each player below who needs a play of their own takes one of these.
M="$T/plays/many"
expect "honest plays recorded" test -s "$T/plays/mode4_quit600.rep"
P600="$T/plays/mode4_quit600.rep"
P300="$T/plays/mode4_quit300.rep"
P900="$T/plays/mode4_quit900.rep"

echo "--- the exchanges"
expect "the server starts" start_server "$T/r.sqlite" --request-deadline 3
expect "an empty list is empty" test -z "$(ranking 106)"
expect "a new name registers with its upload (0)" test "$(upload abc "$DIGEST" "hello" "$P600")" = 0
expect "the same name with another password is refused (1)" test "$(upload abc "$OTHER" "x" "$P900")" = 1
expect "the right password uploads again (0)" test "$(upload abc "$DIGEST" "again" "$P300")" = 0
score600=$(field_of "$P600" 2)
ranking 106 >"$T/list.txt"
expect "the list holds the player's best play with its score" \
  grep -qzF "$(printf 'rank\n1\nusername\nabc\nscore\n%s\nstage\n1\nregist_date\n' "$score600")" "$T/list.txt"
expect "its date is YYYY/MM/DD hh:mm" grep -qE '^[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}$' "$T/list.txt"
expect "each record ends with an empty line, LF only" test "$(tail -c2 "$T/list.txt" | od -An -c | tr -d ' ')" = '\n\n'
expect "no CR in the list" test "$(tr -cd '\r' <"$T/list.txt" | wc -c)" = 0
id=$(sed -n '/^id$/{n;p;q}' "$T/list.txt")
curl -s -o "$T/fetched.rep" "$URL/replay?id=$id"
expect "the stored replay comes back byte for byte" cmp -s "$T/fetched.rep" "$P600"
expect "another mode's list does not show it" test -z "$(ranking 104)"
expect "an unknown replay id is 404" test "$(status_of "$URL/replay?id=99999")" = 404
expect "... with an empty body" test -z "$(curl -s "$URL/replay?id=99999")"
for q in "ranking?version=abc" "ranking?version=103" "ranking?version=" "ranking" "ranking?version=1%00" \
         "replay?id=-1" "replay?id=x" "replay?id=99999999999999999999999"; do
  expect "GET /$q is 400" test "$(status_of "$URL/$q")" = 400
done
expect "an unknown path is 404" test "$(status_of "$URL/index.php")" = 404
expect "GET on the upload is 405" test "$(status_of "$URL/upload")" = 405
expect "HTTP/1.0 lists too" test "$(curl -s -0 "$URL/ranking?version=106" | head -c4)" = rank

echo "--- refusals"
patched "$P600" 30 '\xe8\x03\x00\x00' "$T/lying.rep"
expect "a replay whose header lies about its score is refused (2)" test "$(upload liar "$DIGEST" "" "$T/lying.rep")" = 2
expect "... and the liar is not listed" bash -c "! curl -s '$URL/ranking?version=106' | grep -qx liar"
patched "$P600" 22 '\x00\x00\x00\x00\x01\x00\x00\x00' "$T/v0.rep"
expect "version 0 is refused (2)" test "$(upload tut "$DIGEST" "" "$T/v0.rep")" = 2
patched "$P600" 22 '\x69' "$T/v105.rep"
expect "a version of another mode is refused (2)" test "$(upload ver "$DIGEST" "" "$T/v105.rep")" = 2
python3 - "$T/bomb.rep" <<'PY'
import struct, sys
# Frames claimed within the bound, but runs that add up to far more: refused without simulating.
out = b'NimbulonScoreFile\0' + struct.pack('<i', 32) + struct.pack('<8i', 106, 4, 0, 1, 3, 1, 0, 2000000)
out += struct.pack('<ii', 0, 0) + struct.pack('<i', 60000) + struct.pack('<I', 0xFFFF) * 60000
open(sys.argv[1], 'wb').write(out)
PY
expect "a replay bomb is refused (2)" test "$(upload bomb "$DIGEST" "" "$T/bomb.rep")" = 2
# A file the game's reader takes but the game never writes: nothing is stored for serving again.
{ cat "$P900"; head -c 1040000 /dev/urandom; } >"$T/padded.rep"
expect "an honest play with a megabyte appended is refused (2)" test "$(upload pad "$DIGEST" "" "$T/padded.rep")" = 2
{ cat "$P900"; printf '\0'; } >"$T/onebyte.rep"
expect "an honest play with one byte appended is refused (2)" test "$(upload pad "$DIGEST" "" "$T/onebyte.rep")" = 2
python3 - "$P900" "$T/header36.rep" <<'PY'
import sys
b = open(sys.argv[1], 'rb').read()
# A header of 36 bytes: the reader skips the four it does not know.
open(sys.argv[2], 'wb').write(b[:18] + (36).to_bytes(4, 'little') + b[22:54] + b'\x7f' * 4 + b[54:])
PY
expect "an honest play with a longer header is refused (2)" test "$(upload hdr "$DIGEST" "" "$T/header36.rep")" = 2
expect "... and neither is listed" bash -c "! curl -s '$URL/ranking?version=106' | grep -qxE 'pad|hdr'"
expect "the same play as the game wrote it is taken (0)" test "$(upload pad "$DIGEST" "" "$P900")" = 0
expect "a name with a byte over 0x7F is refused (2)" test "$(upload "$(printf 'ab\xe3\x81\x82')" "$DIGEST" "" "$P300")" = 2
expect "a nine-byte name is refused (2)" test "$(upload 123456789 "$DIGEST" "" "$P300")" = 2
expect "an empty name is refused (2)" test "$(upload "" "$DIGEST" "" "$P300")" = 2
expect "a comment with a control character is refused (2)" test "$(upload ctl "$DIGEST" "$(printf 'a\tb')" "$P300")" = 2
expect "an 81-byte comment is refused (2)" test "$(upload long "$DIGEST" "$(printf '%081d' 0)" "$P300")" = 2
expect "a name with quotes and semicolons is stored (0)" test "$(upload "q\"u;o'" "$DIGEST" "a;b" "$M/70.rep")" = 0
expect "... and listed as it is" listed 106 "q\"u;o'"
expect "a Japanese comment is stored (0)" test "$(upload jp "$DIGEST" "$(printf '\xe6\x97\xa5\xe6\x9c\xac')" "$M/71.rep")" = 0

printf 'this is not a form' >"$T/garbage"
expect "a malformed multipart body is refused (2)" test "$(post_body "$T/garbage" | head -c1)" = 2
game_body cut "$DIGEST" "" "$P300" | head -c 300 >"$T/cut"
expect "a form cut off before its end is refused (2)" test "$(post_body "$T/cut" | head -c1)" = 2
expect "a form without a boundary is refused (2)" \
  test "$(curl -s -H 'Content-Type: multipart/form-data' --data-binary @"$T/garbage" "$URL/upload" | head -c1)" = 2
expect "a url-encoded form is refused (2)" test "$(curl -s -d 'name=a&pass=b' "$URL/upload" | head -c1)" = 2
expect "curl's own multipart form works too (0)" \
  test "$(curl -s -F name=curl -F pass=$DIGEST -F message=hi -F "replay_file=@$M/72.rep" "$URL/upload" | head -c1)" = 0
# The network cuts a request wherever it likes: the head and the body's first K bytes in one
# segment, the rest a moment later, for every K of the first 700 bytes and every 1,448 after.
game_body split "$DIGEST" "cut anywhere" "$M/74.rep" >"$T/split-body"
size=$(stat -c %s "$T/split-body")
cuts=$( (seq 0 699; seq 700 1448 "$size") | sort -n)
python3 "$REPO/tests/e2e/split_upload.py" "${URL#http://}" "$T/split-body" "$BOUNDARY" 0.05 16 $cuts >"$T/split.txt"
# Every cut has its answer, and every answer is 0: an empty or short answer file fails.
answered_zero=$(awk '$2 == "0" { print $1 }' "$T/split.txt" | sort -n)
expect "one honest upload cut in two at $(echo "$cuts" | wc -l) places is answered 0 every time ($(awk '$2 != "0"' "$T/split.txt" | head -5 | tr '\n' ' '))" \
  test -n "$answered_zero" -a "$answered_zero" = "$cuts"
expect "... and stored once" test "$(ranking 106 | grep -cxF split)" = 1
game_body dup "$DIGEST" "" "$P300" >"$T/dup"
printf -- '--%s\r\nContent-Disposition: form-data; name="name"\r\n\r\nother\r\n' "$BOUNDARY" | cat - "$T/dup" >"$T/dup2"
expect "a form naming the player twice is refused (2)" test "$(post_body "$T/dup2" | head -c1)" = 2

head -c $((2 * 1024 * 1024)) /dev/zero >"$T/big"
code=$(curl -s -o "$T/big.reply" -w '%{http_code}' -H "Content-Type: multipart/form-data; boundary=\"$BOUNDARY\"" \
  --data-binary @"$T/big" "$URL/upload")
expect "a 2 MiB body is refused before it is read (413)" test "$code" = 413
expect "... with 2 as the result" test "$(head -c1 "$T/big.reply")" = 2
curl -s -o /dev/null -H "Content-Type: multipart/form-data; boundary=\"$BOUNDARY\"" -H 'Transfer-Encoding: chunked' \
  --data-binary @"$T/big" "$URL/upload"
expect "a 2 MiB chunked body is cut off and the server still answers" test "$(ranking 106 | head -c4)" = rank
curl -s -o /dev/null -X GET -H 'Transfer-Encoding: chunked' --data-binary @"$T/big" "$URL/ranking?version=106"
expect "a 2 MiB body sent to the list is refused unread" \
  grep -q 'GET /ranking?version=106 413 0 .*refused: a request body where none is taken' "$T/server.log"

echo "--- a slow client"
python3 - "${URL#http://}" >"$T/slow.txt" <<'PY'
import socket, sys, time
host, port = sys.argv[1].split(':')
s = socket.create_connection((host, int(port)))
start = time.time()
request = b"POST /upload HTTP/1.0\r\nContent-Type: multipart/form-data; boundary=x\r\n"
sent = 0
try:
    for byte in request[:20]:
        s.sendall(bytes([byte]))
        sent += 1
        time.sleep(1)
        s.setblocking(False)
        try:
            if s.recv(1) == b'':
                break
        except BlockingIOError:
            pass
        s.setblocking(True)
except (BrokenPipeError, ConnectionResetError):
    pass
print("cut" if sent < 20 else "not cut", sent, round(time.time() - start))
PY
expect "a byte a second is cut off by the request deadline ($(cat "$T/slow.txt"))" grep -q '^cut' "$T/slow.txt"
expect "the log says so" grep -q 'connection cut' "$T/server.log"
expect "the server still answers" test "$(ranking 106 | head -c4)" = rank

expect "the database holds no password digest" bash -c "! grep -qa '$DIGEST' '$T'/r.sqlite*"
expect "one log line per request" grep -qE '^[0-9T:Z-]+ 127\.0\.0\.1 GET /ranking\?version=106 200 ' "$T/server.log"
kill -TERM "$SERVER_PID"; wait "$SERVER_PID"; status=$?; SERVER_PID=""
expect "SIGTERM ends the server with 0" test "$status" = 0

echo "--- 64 players at once"
start_server "$T/many.sqlite" --request-deadline 120
jobs_=()
for i in $(seq 1 64); do
  (upload "p$i" "$DIGEST" "player $i" "$M/$i.rep" >"$T/many-$i.txt") &
  jobs_+=($!)
done
wait "${jobs_[@]}"
zeros=$(cat "$T"/many-*.txt | tr -cd 0 | wc -c)
expect "64 parallel uploads all answered 0 ($zeros)" test "$zeros" = 64
expect "all 64 are listed" test "$(ranking 106 | grep -c '^username$')" = 64
# rank and score of each entry; equal scores share a rank, which is one more than the better entries.
ranking 106 | awk '/^rank$/{getline; r=$0} /^score$/{getline; print r, $0}' >"$T/ranks.txt"
expect "equal scores share a rank, one past the better entries" \
  awk '{ r[NR]=$1; s[NR]=$2 } END { for (i = 1; i <= NR; i++) { b = 0; for (j = 1; j <= NR; j++) if (s[j] > s[i]) b++; if (r[i] != b + 1) exit 1 } }' "$T/ranks.txt"

echo "--- SIGTERM finishes the upload in flight"
# The body goes out at 300 bytes a second, so the request is still arriving when the signal comes.
game_body late "$DIGEST" "" "$P600" >"$T/late-body"
(curl -s -0 --limit-rate 300 -H "Content-Type: multipart/form-data; boundary=\"$BOUNDARY\"" \
  --data-binary @"$T/late-body" "$URL/upload" | head -c1 >"$T/late.txt") &
late=$!
# The signal comes while the request is arriving: curl's connection to the server has delivered
# its first few hundred bytes (the headers and the start of the body).
arriving() {
  ss -Htni state established "( dport = :${URL##*:} )" 2>/dev/null | grep -qE 'bytes_acked:([3-9][0-9]{2}|[0-9]{4,})'
}
expect "the upload is arriving" e2e_until 30 arriving
kill -TERM "$SERVER_PID"; wait "$SERVER_PID"; status=$?; SERVER_PID=""
wait "$late"
expect "the upload in flight was answered 0" test "$(cat "$T/late.txt")" = 0
expect "and the server ended with 0" test "$status" = 0
start_server "$T/many.sqlite"
expect "the finished upload is stored" listed 106 late
kill -TERM "$SERVER_PID"; wait "$SERVER_PID"; SERVER_PID=""

echo "--- SIGKILL during an upload storm"
start_server "$T/storm.sqlite" --request-deadline 120
jobs_=()
for i in $(seq 1 40); do
  if [ $((i % 5)) = 0 ]; then replay="$T/lying.rep"; else replay="$M/$i.rep"; fi
  (upload "s$i" "$DIGEST" "" "$replay" >"$T/storm-$i.txt") &
  jobs_+=($!)
done
# The kill comes as soon as a few uploads have been answered, whatever the machine's speed.
for _ in $(seq 600); do
  [ "$(cat "$T"/storm-*.txt 2>/dev/null | tr -cd 0 | wc -c)" -ge 3 ] && break
  sleep 0.05
done
kill -9 "$SERVER_PID"; wait "$SERVER_PID" 2>/dev/null; SERVER_PID=""
wait "${jobs_[@]}"
start_server "$T/storm.sqlite"
ranking 106 >"$T/storm-list.txt"
answered=0; lost=0; wrong=0; unanswered_listed=0
for i in $(seq 1 40); do
  reply=$(cat "$T/storm-$i.txt")
  if grep -qxF "s$i" "$T/storm-list.txt"; then onlist=1; else onlist=0; fi
  case "$reply" in
    0) answered=$((answered + 1)); [ $onlist = 1 ] || lost=$((lost + 1)) ;;
    1|2) [ $onlist = 0 ] || wrong=$((wrong + 1)) ;;
    *) [ $onlist = 0 ] || unanswered_listed=$((unanswered_listed + 1)) ;;
  esac
done
echo "  $answered answered 0 before the kill; $unanswered_listed committed as the kill came"
expect "some uploads were answered before the kill" test "$answered" -gt 0
expect "some were still waiting when it came" test "$answered" -lt 32
expect "every upload answered 0 is listed after the restart" test "$lost" = 0
expect "no refused upload is listed" test "$wrong" = 0
expect "the list is whole: every record has its seven fields" \
  test "$(grep -c '^comment$' "$T/storm-list.txt")" = "$(grep -c '^rank$' "$T/storm-list.txt")"
expect "the server answers uploads again after the restart" test "$(upload after "$DIGEST" "" "$M/73.rep")" = 0

echo "--- two servers sharing one PostgreSQL database"
chmod 755 "$T"
if e2e_require postgresql "two servers sharing one PostgreSQL database" ls /usr/lib/postgresql/*/bin/initdb; then
  PG_URL=$("$REPO/server/tests/pg_cluster.sh" start "$T/pg" 2>"$T/pg.txt")
  pg_status=$?
  [ "$pg_status" = 0 ] || cat "$T/pg.txt"
  expect "a throwaway PostgreSQL cluster starts" test "$pg_status" = 0
  start_server "$PG_URL" --list-cache-ms 0; URL_A=$URL; PID_A=$SERVER_PID
  start_server "$PG_URL" --list-cache-ms 0; URL_B=$URL; PID_B=$SERVER_PID
  jobs_=()
  for i in $(seq 1 16); do
    if [ $((i % 2)) = 0 ]; then URL=$URL_A; else URL=$URL_B; fi
    (upload "g$i" "$DIGEST" "" "$M/$i.rep" >"$T/pg-$i.txt") &
    jobs_+=($!)
  done
  # The same new name at both servers at once, with different passwords: one registration wins.
  URL=$URL_A; (upload twin "$DIGEST" "" "$P300" >"$T/twin-a.txt") & jobs_+=($!)
  URL=$URL_B; (upload twin "$OTHER" "" "$P300" >"$T/twin-b.txt") & jobs_+=($!)
  wait "${jobs_[@]}"
  expect "16 uploads spread over two servers all answered 0" test "$(cat "$T"/pg-*.txt | tr -cd 0 | wc -c)" = 16
  URL=$URL_A; a=$(ranking 106 | grep -c '^username$')
  URL=$URL_B; b=$(ranking 106 | grep -c '^username$')
  expect "both servers list all 17 players ($a, $b)" test "$a" = 17 -a "$b" = 17
  expect "the name raced for went to one password only" \
    test "$( (cat "$T/twin-a.txt"; echo; cat "$T/twin-b.txt"; echo) | sort | tr -d '\n')" = 01
  URL=$URL_B
  expect "a replay stored through one server comes from the other" \
    cmp -s <(curl -s "$URL_B/replay?id=$(ranking 106 | awk '/^username$/{getline; u=$0} /^id$/{getline; if (u=="twin") print}')") "$P300"
  kill -TERM "$PID_A" "$PID_B"; wait "$PID_A" "$PID_B"; SERVER_PID=""
  "$REPO/server/tests/pg_cluster.sh" stop "$T/pg"
fi

"$SERVER" --help >"$T/help.txt"
missing=""
for option in --listen --db --threads --checkers --queue --max-connections --timeout --request-deadline \
              --check-cpu-seconds --check-memory-mb --max-frames --list-cache-ms --quiet --help \
              --head-deadline --connections-per-address --uploads-per-address --uploads-per-name \
              --new-names-per-address --wrong-passwords --wrong-passwords-per-address --limit-keys --list-size --min-body-rate \
              --trusted-proxy; do
  grep -q -- "$option" "$T/help.txt" || missing="$missing $option"
done
expect "--help lists every option${missing:+ (missing:$missing)}" test -z "$missing"
"$SERVER" --listen nowhere >/dev/null 2>&1
expect "a wrong command line exits with 2" test $? = 2
