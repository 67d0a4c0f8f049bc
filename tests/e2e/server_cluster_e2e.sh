#!/usr/bin/env bash
# Three ranking servers on one throwaway PostgreSQL database behind Debian's haproxy, which
# health-checks their /healthz. An upload storm goes through haproxy; meanwhile one server is
# SIGKILLed and another restarted. Afterwards every upload answered 0 is listed by every server,
# nothing that was refused is, and no client got a wrong answer (a failure, from the balancer's
# error page or a lost connection, is not one). The lists are cached for an hour here, so a play
# stored through one server shows on the others only through PostgreSQL's notifications; the
# time it takes is printed. An operator's ban through the database reaches all three; the
# database is copied with pg_dump and restored with pg_restore; /healthz fails once the database
# is gone.
# Usage: server_cluster_e2e.sh [BUILD_DIR]
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
. "$REPO/tests/e2e/lib.sh" "$@"
. "$REPO/tests/e2e/server_lib.sh"
server_scratch cluster
. "$REPO/tests/e2e/haproxy_lib.sh"
# Both are installed by scripts/install-deps.sh: missing, a failure naming them (or a skip asked for).
e2e_require haproxy "servers behind haproxy" command -v haproxy || exit $((E2E_FAILED > 0))
e2e_require postgresql "servers sharing one PostgreSQL database" ls /usr/lib/postgresql/*/bin/initdb || exit $((E2E_FAILED > 0))
record_plays
P300="$T/plays/mode4_quit300.rep"

DB=$("$REPO/server/tests/pg_cluster.sh" start "$T/pg") || { echo "  FAIL no PostgreSQL cluster"; exit 1; }
PORTS=("$(free_port)" "$(free_port)" "$(free_port)")
FRONT=$(free_port)
start_server() {  # start_server N
  # Every client, haproxy too, is 127.0.0.1 here: the per-address limits are lifted.
  start_named "s$1" --db "$DB" --listen "127.0.0.1:${PORTS[$1 - 1]}" --list-cache-ms 3600000 --checkers 1 --quiet \
    --connections-per-address 1000 --uploads-per-address 0 --new-names-per-address 0
}
for n in 1 2 3; do expect "server $n starts on the shared database" start_server "$n"; done
expect "haproxy starts in front of them" start_haproxy "$T" "$FRONT" "${PORTS[@]}"
LB="http://127.0.0.1:$FRONT"

echo "--- an upload through one server, the lists of the others"
for n in 2 3; do url_var="URL_s$n"; names_listed "${!url_var}" 106 >/dev/null; done  # their lists are cached now
expect "an upload through server 1 (0)" test "$(upload_to "$URL_s1" first "$DIGEST" "$P300")" = 0
listed_on() { names_listed "$1" 106 | grep -qx "$2"; }
start=$(date +%s%N)
expect "... is listed by server 2" eventually 10 listed_on "$URL_s2" first
expect "... and by server 3" eventually 10 listed_on "$URL_s3" first
echo "  (on the other servers' lists $(( ($(date +%s%N) - start) / 1000000 )) ms after the reply, polling every 50 ms)"

echo "--- an upload storm through haproxy; server 1 killed, server 2 restarted"
N=40   # record_plays makes 40 plays of their own: a play is owned by the first name storing it
storm_one() {  # storm_one I: HTTP status and first byte of the reply, "000" when the connection failed
  curl -s --max-time 120 -o "$T/reply-$1" -w '%{http_code}' -F "name=c$1" -F "pass=$DIGEST" -F message=storm \
    -F "replay_file=@$T/plays/many/$1.rep;filename=replay_file" "$LB/upload" >"$T/status-$1"
  head -c1 "$T/reply-$1" >"$T/answer-$1"
}
for i in $(seq 1 "$N"); do
  storm_one "$i" &
  [ $((i % 8)) = 0 ] && sleep 0.3
done
answered_at_least() { [ "$(cat "$T"/answer-* 2>/dev/null | tr -cd 0 | wc -c)" -ge "$1" ]; }
eventually 120 answered_at_least 6
kill -9 "$PID_s1"; wait "$PID_s1" 2>/dev/null; PID_s1=""
eventually 120 answered_at_least 14
stop_named s2
expect "server 2 starts again during the storm" start_server 2
wait_storm() { local j; for j in $(jobs -p); do [ "$j" = "$HAPROXY_PID" ] || [ "$j" = "$PID_s2" ] || [ "$j" = "$PID_s3" ] || wait "$j"; done; }
wait_storm
expect "server 1 starts again after the storm" start_server 1

ok=(); failed=(); refused=(); wrong=()
for i in $(seq 1 "$N"); do
  status=$(cat "$T/status-$i"); answer=$(cat "$T/answer-$i")
  case "$status:$answer" in
    200:0) ok+=("c$i") ;;
    000:*|502:2|503:2|504:2) failed+=("c$i") ;;   # the connection failed, or haproxy said so
    200:2) refused+=("c$i") ;;  # still waiting for a check when its server was told to stop
    *) wrong+=("c$i:$status:$answer") ;;
  esac
done
echo "  ${#ok[@]} answered 0, ${#failed[@]} failed (connection or balancer), ${#refused[@]} answered 2, ${#wrong[@]} other"
# A server told to stop answers 2 at once to the uploads still waiting for its checks.
expect "most uploads were answered by a server (0, or 2 while stopping)" test $((${#ok[@]} + ${#refused[@]})) -ge $((N / 2))
expect "a good part were answered 0" test "${#ok[@]}" -ge $((N / 4))
expect "no client got anything but 0 or a failure (${wrong[*]:-})" test "${#wrong[@]}" = 0
for n in 1 2 3; do
  url_var="URL_s$n"
  names_listed "${!url_var}" 106 | grep '^c' >"$T/listed-$n"
  expect "server $n lists every upload answered 0" test -z "$(comm -23 <(printf '%s\n' "${ok[@]}" | sort) "$T/listed-$n")"
  # A play whose server was killed between its commit and its reply is stored though its client
  # saw a failure; anything else listed would be a wrong answer.
  expect "server $n lists nothing else" \
    test -z "$(comm -13 <(printf '%s\n' "${ok[@]}" "${failed[@]}" | sort) "$T/listed-$n")"
  expect "server $n lists no upload answered 2" \
    test -z "$(comm -12 <(printf '%s\n' "${refused[@]}" | sort) "$T/listed-$n")"
done
expect "the three lists are the same" bash -c "cmp -s '$T/listed-1' '$T/listed-2' && cmp -s '$T/listed-2' '$T/listed-3'"

echo "--- moderation reaches every server"
expect "an operator bans the first player" "$SERVER" admin --db "$DB" --by ops ban first 2>/dev/null
not_listed_on() { ! listed_on "$1" "$2"; }
for n in 1 2 3; do
  url_var="URL_s$n"
  expect "... and server $n's list drops it" eventually 10 not_listed_on "${!url_var}" first
done

echo "--- pg_dump and pg_restore, as the README shows them"
expect "pg_dump writes a copy while the servers run" pg_dump --format=custom --file="$T/ranking.dump" "$DB"
RESTORED=${DB%/*}/restored
expect "a new database is made" psql -q -d "$DB" -c "CREATE DATABASE restored"
expect "pg_restore fills it" pg_restore --no-owner --dbname="$RESTORED" "$T/ranking.dump"
expect "a server starts on the restored database" start_named r --db "$RESTORED" --quiet
names_listed "$URL_r" 106 >"$T/listed-r"
names_listed "$URL_s3" 106 >"$T/listed-3"
expect "... and lists what the others list" cmp -s "$T/listed-r" "$T/listed-3"
expect "... with the ban restored too" bash -c "! grep -qx first '$T/listed-r'"
stop_named r

echo "--- the database goes away"
"$REPO/server/tests/pg_cluster.sh" stop "$T/pg"
expect "/healthz answers 503" test "$(curl -s -o /dev/null -w '%{http_code}' "$URL_s3/healthz")" = 503
stop_named s1; stop_named s2; stop_named s3
stop_haproxy
