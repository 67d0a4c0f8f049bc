#!/usr/bin/env bash
# Floods against the ranking server from loopback, with real clients:
#  - slowhttptest holds (or tries to hold) 1,000 slow connections from 127.0.0.1 for 20 s while a
#    second client fetches the list in a loop, from another address and from the attacker's own:
#    every list request is answered whole within 1 s, on a server started with its defaults;
#  - with small limits: connections per address (an idle one displaced, a busy address refused),
#    the deadline for a request head, uploads per address (429 and "2"), wrong passwords per name
#    and address (past them "1" without a check for the guesser; the owner is not concerned), the
#    list's length, the requests one client may have under way through a trusted proxy, and
#    X-Forwarded-For believed from a trusted proxy only;
#  - 16 addresses with 32 slow-body connections each (every place of a server with its defaults),
#    first announcing bodies to a route that takes none, then slow uploads, while another address
#    fetches the list every 0.5 s: every list is answered whole within 1 s.
# The addresses 127.0.0.x are all this machine's loopback; each is another client to the server.
# Usage: server_flood_e2e.sh [BUILD_DIR]
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
. "$REPO/tests/e2e/lib.sh" "$@"
. "$REPO/tests/e2e/server_lib.sh"
server_scratch flood
e2e_require slowhttptest "slow clients by slowhttptest" command -v slowhttptest || exit $((E2E_FAILED > 0))
record_plays
M="$T/plays/many"
# Three plays of mode 4 with three different scores.
PLAYS=("$T/plays/mode4_quit300.rep" "$T/plays/mode4_quit600.rep" "$T/plays/mode4_quit1500.rep")

# upload_via SOURCE URL NAME PASS REPLAY [HEADER]: prints "HTTP_STATUS FIRST_BYTE".
upload_via() {
  local out
  out=$(curl -s --interface "$1" --max-time 60 ${6:+-H "$6"} -o "$T/reply" -w '%{http_code}' \
    -F "name=$3" -F "pass=$4" -F message=flood -F "replay_file=@$5;filename=replay_file" "$2/upload")
  echo "$out $(head -c1 "$T/reply" 2>/dev/null)"
}
closed() { test "$(grep -c closed "$1")" = "$2"; }  # closed FILE N: flood_client saw N closed
score_of() { od -An -t d4 -j 30 -N 4 "$1" | tr -d ' '; }

echo "--- slowhttptest: 1,000 slow connections from 127.0.0.1, the list served throughout"
expect "a server starts with its defaults" start_named slow --db "$T/slow.sqlite"
expect "a play is listed" test "$(upload_via 127.0.0.1 "$URL_slow" abc "$DIGEST" "$M/1.rep")" = "200 0"
PORT=${URL_slow##*:}
slowhttptest -c 1000 -H -i 5 -r 200 -l 20 -u "$URL_slow/ranking?version=106" >"$T/slowhttptest.txt" 2>&1 &
ATTACK=$!
# Until the attack ends: the list from another address and from the attacker's own, each request
# given 1 s at most.
requests=0; late=0; held=0
while kill -0 "$ATTACK" 2>/dev/null; do
  for source in 127.0.0.2 127.0.0.1; do
    reply=$(curl -s --interface "$source" --max-time 1 -w '\n%{http_code}' "$URL_slow/ranking?version=106")
    requests=$((requests + 1))
    [ "$(tail -n1 <<<"$reply")" = 200 ] && grep -qx abc <<<"$reply" || { late=$((late + 1)); echo "  late or wrong from $source: $(tail -n1 <<<"$reply")"; }
  done
  n=$(ss -Htn state established "( sport = :$PORT )" | wc -l)
  [ "$n" -gt "$held" ] && held=$n
  sleep 0.1
done
wait "$ATTACK"
cut=$(sed -n 's/.* \([0-9]*\) connection(s) cut or refused.*/\1/p' "$T/slow.log" | awk '{ s += $1 } END { print s + 0 }')
echo "  $requests list requests during the attack; at most $held connections open at once; $cut cut or refused"
expect "the attack ran ($(grep -m1 -o 'Test ended.*' "$T/slowhttptest.txt"))" grep -q "Test ended" "$T/slowhttptest.txt"
expect "every list request was answered whole within 1 s ($late of $requests not)" test "$requests" -gt 20 -a "$late" = 0
expect "the server cut or refused the flood's connections past its bound ($cut)" test "$cut" -ge 500
expect "it never held more than a small part of the 1,000 ($held)" test "$held" -le 100
expect "no log line for each connection cut" test "$(grep -vc ' GET /ranking?version=106 ' "$T/slow.log")" -lt 100
stop_named slow

echo "--- connections per address, with raw sockets; a trusted proxy at 127.0.0.3"
start_named conn --db "$T/conn.sqlite" --connections-per-address 4 --trusted-proxy 127.0.0.3
python3 "$REPO/tests/e2e/flood_client.py" 127.0.0.1 "${URL_conn##*:}" 127.0.0.4 4 head 30 >"$T/idle.txt" &
IDLE=$!
eventually 10 grep -q ready "$T/idle.txt"
expect "a fifth connection of an address whose four are idle is served" \
  test "$(curl -s --interface 127.0.0.4 --max-time 5 -o /dev/null -w '%{http_code}' "$URL_conn/ranking?version=106")" = 200
expect "... in place of the address's oldest one" eventually 5 grep -qx "closed 0" "$T/idle.txt"
expect "... and only that one" closed "$T/idle.txt" 1
python3 "$REPO/tests/e2e/flood_client.py" 127.0.0.1 "${URL_conn##*:}" 127.0.0.5 4 body 30 >"$T/busy.txt" &
BUSY=$!
eventually 10 grep -q ready "$T/busy.txt"
curl -s --interface 127.0.0.5 --max-time 5 -o /dev/null "$URL_conn/ranking?version=106"; status=$?
expect "an address whose four connections are busy with uploads gets no fifth (curl $status)" test "$status" != 0
expect "... while another address is served" \
  test "$(curl -s --interface 127.0.0.6 --max-time 5 -o /dev/null -w '%{http_code}' "$URL_conn/ranking?version=106")" = 200
expect "no busy connection was dropped for it" closed "$T/busy.txt" 0
python3 "$REPO/tests/e2e/flood_client.py" 127.0.0.1 "${URL_conn##*:}" 127.0.0.3 6 body 30 \
  "X-Forwarded-For: 198.51.100.5" >"$T/proxied.txt" &
PROXIED=$!
eventually 10 grep -q ready "$T/proxied.txt"
expect "six uploads of one client through the proxy: the fifth and sixth are refused" eventually 5 closed "$T/proxied.txt" 2
expect "... as is its next request, with 503 and 2" \
  test "$(curl -s --interface 127.0.0.3 --max-time 5 -H 'X-Forwarded-For: 198.51.100.5' -w ' %{http_code}' \
    "$URL_conn/ranking?version=106")" = "2
 503"
expect "... while another client is served through the proxy, which holds more than four connections" \
  test "$(curl -s --interface 127.0.0.3 --max-time 5 -H 'X-Forwarded-For: 198.51.100.6' -o /dev/null -w '%{http_code}' \
    "$URL_conn/ranking?version=106")" = 200
kill "$BUSY" "$IDLE" "$PROXIED" 2>/dev/null; wait "$BUSY" "$IDLE" "$PROXIED" 2>/dev/null
stop_named conn

echo "--- the head deadline; uploads, passwords and the list with small limits; a trusted proxy at 127.0.0.3"
# A head deadline of 3 s and an idle timeout of 60 s: the slow heads below must be cut within
# 30 s of their opening, which only the head deadline can do.
start_named lim --db "$T/lim.sqlite" --head-deadline 3 --timeout 60 --uploads-per-address 3 --wrong-passwords 2 \
  --list-size 2 --trusted-proxy 127.0.0.3
python3 "$REPO/tests/e2e/flood_client.py" 127.0.0.1 "${URL_lim##*:}" 127.0.0.8 2 head 30 >"$T/slow-heads.txt" &
HEADS=$!
heads_opened=$(date +%s)
expect "three uploads from 127.0.0.1 are decided" \
  test "$(for i in 0 1 2; do upload_via 127.0.0.1 "$URL_lim" "p$i" "$DIGEST" "${PLAYS[$i]}"; done | tr '\n' ' ')" = "200 0 200 0 200 0 "
expect "the fourth is refused: 429, and 2 for the game" test "$(upload_via 127.0.0.1 "$URL_lim" p4 "$DIGEST" "$M/4.rep")" = "429 2"
expect "... a forged X-Forwarded-For from an untrusted peer changes nothing" \
  test "$(upload_via 127.0.0.1 "$URL_lim" p4 "$DIGEST" "$M/4.rep" "X-Forwarded-For: 198.51.100.99")" = "429 2"
expect "... and the log names the peer" grep -q "^[0-9TZ:-]* 127\.0\.0\.1 POST /upload 429 .*too many uploads from the address" "$T/lim.log"
curl -s -D "$T/headers" -o /dev/null "$URL_lim/ranking?version=106"
expect "the list is sent with Cache-Control: no-cache" grep -qi '^Cache-Control: no-cache' "$T/headers"
best=$(for i in 0 1 2; do echo "$(score_of "${PLAYS[$i]}") p$i"; done | sort -rn | head -2 | cut -d' ' -f2 | tr '\n' ' ')
expect "the scores differ" test "$(for p in "${PLAYS[@]}"; do score_of "$p"; done | sort -u | wc -l)" = 3
expect "the list holds the best two of three ($best)" \
  test "$(curl -s "$URL_lim/ranking?version=106" | sed -n '/^username$/{n;p}' | tr '\n' ' ')" = "$best"
VIA="X-Forwarded-For: 203.0.113.66, 198.51.100.7"
expect "through the proxy, the forwarded client has its own allowance" \
  test "$(upload_via 127.0.0.3 "$URL_lim" p1 "$OTHER" "$M/5.rep" "$VIA")" = "200 1"
expect "... counted against it in the log, not the proxy" grep -q "^[0-9TZ:-]* 198\.51\.100\.7 POST /upload 200 .*password differs" "$T/lim.log"
upload_via 127.0.0.3 "$URL_lim" p1 "$OTHER" "$M/5.rep" "$VIA" >/dev/null
expect "past two wrong passwords from that client even the right one is answered 1" \
  test "$(upload_via 127.0.0.3 "$URL_lim" p1 "$DIGEST" "$M/5.rep" "$VIA")" = "200 1"
expect "... without being checked" \
  grep -q "198\.51\.100\.7 POST /upload 200 .*too many wrong passwords for the name from the address: not checked" "$T/lim.log"
expect "... while the owner, from its own address, is not locked out" \
  test "$(upload_via 127.0.0.9 "$URL_lim" p1 "$DIGEST" "$M/6.rep")" = "200 0"
expect "the forwarded client's fourth upload is refused" test "$(upload_via 127.0.0.3 "$URL_lim" p5 "$DIGEST" "$M/5.rep" "$VIA")" = "429 2"
expect "another client behind the same proxy is not" \
  test "$(upload_via 127.0.0.3 "$URL_lim" p5 "$DIGEST" "$M/5.rep" "X-Forwarded-For: 198.51.100.8")" = "200 0"
wait "$HEADS"
expect "connections without a whole head are cut at the head deadline, well before the idle timeout ($(($(date +%s) - heads_opened)) s)" \
  closed "$T/slow-heads.txt" 2
expect "... and the log says so" grep -q "127.0.0.8 - connection cut: no request head within 3 s" "$T/lim.log"
stop_named lim

echo "--- slow bodies from 16 addresses, 32 connections each, while another fetches the list every 0.5 s"
# 16 x 32 connections: every place of a server started with its defaults. First bodies announced to
# a route that takes none (answered at once), then slow uploads (cut for their rate, displaced for
# a newcomer when the server is full).
start_named crowd --db "$T/crowd.sqlite"
expect "a play is listed" test "$(upload_via 127.0.0.1 "$URL_crowd" abc "$DIGEST" "$M/1.rep")" = "200 0"
for kind in get upload; do
  python3 "$REPO/tests/e2e/slow_body_flood.py" 127.0.0.1 "${URL_crowd##*:}" 127.0.0.2 16 32 "$kind" 15 \
    >"$T/crowd-$kind.txt" &
  CROWD=$!
  eventually 20 grep -q ready "$T/crowd-$kind.txt"
  requests=0; late=0; held=0
  while kill -0 "$CROWD" 2>/dev/null; do
    reply=$(curl -s --interface 127.0.0.18 --max-time 1 -w '\n%{http_code} %{time_total}' "$URL_crowd/ranking?version=106")
    requests=$((requests + 1))
    [ "$(tail -n1 <<<"$reply" | cut -d' ' -f1)" = 200 ] && grep -qx abc <<<"$reply" ||
      { late=$((late + 1)); echo "  late or wrong: $(tail -n1 <<<"$reply")"; }
    n=$(ss -Htn state established "( sport = :${URL_crowd##*:} )" | wc -l)
    [ "$n" -gt "$held" ] && held=$n
    sleep 0.5
  done
  wait "$CROWD"
  echo "  $kind: $(tail -n1 "$T/crowd-$kind.txt"); $requests lists fetched; at most $held connections open at once"
  expect "every list asked for during the $kind flood was answered whole within 1 s ($late of $requests not)" \
    test "$requests" -ge 10 -a "$late" = 0
done
expect "bodies announced to a route that takes none are answered at once (413), unread" \
  test "$(grep -c ' GET /healthz 413 .*refused: a request body where none is taken' "$T/crowd.log")" -ge 512
expect "slow upload bodies are cut for their rate" grep -q "connection(s) cut: a request body slower than 1000 bytes/s" "$T/crowd.log"
expect "... and displaced for newcomers while the server is full" grep -q "connection(s) cut or refused" "$T/crowd.log"
stop_named crowd
