#!/usr/bin/env bash
# The ranking server stopped, upgraded, or left hanging by its database, as an operator meets it:
# SIGINT to the server's whole process group (a terminal's Ctrl-C, a service manager's stop) while
# an upload is being checked: the upload is answered 0 and stored; a check still running when the
# grace period ends is ended, its upload answered 2, and the server exits; the executable replaced
# and deleted on disk while the server runs (an upgrade): uploads are still checked; PostgreSQL
# frozen, its postmaster and every backend stopped: lists and health answered 503 at once, uploads
# 2, and all served again once it wakes.
# Usage: server_stop_e2e.sh [BUILD_DIR]
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
. "$REPO/tests/e2e/lib.sh" "$@"
. "$REPO/tests/e2e/server_lib.sh"
server_scratch stop
GROUP=""
FROZEN=()
server_cleanup_first() {
  [ ${#FROZEN[@]} -gt 0 ] && kill -CONT "${FROZEN[@]}" 2>/dev/null
  [ -n "$GROUP" ] && kill -KILL -- "-$GROUP" 2>/dev/null
  true
}

mkdir -p "$T/plays"
# Honest plays, and one that sits paused for two million frames: its check runs long enough to be
# caught running.
"$BUILD/server/nimbulon-record-plays" "$T/plays" 0 2000000 >/dev/null

# start_group NAME OPTIONS...: a server leading a process group (and session) of its own, as a
# service manager starts it, with a variable in its environment; sets GROUP and URL.
start_group() {
  local name=$1 pid_var="PID_$1" url_var="URL_$1"
  NIMBULON_TEST_SECRET=hunter2 SERVER_WRAPPER=setsid start_named "$@" || return 1
  GROUP=${!pid_var}
  URL=${!url_var}
}

# listed_at URL NAME: the name is in the list of mode 4; status_at URL PATH: the HTTP status.
listed_at() { curl -s --max-time 20 "$1/ranking?version=106" | grep -qxF -- "$2"; }
status_is() { test "$(curl -s -o /dev/null --max-time 20 -w '%{http_code}' "$1$2")" = "$3"; }

# cpu_ticks PID: the process's CPU time (user and system) in clock ticks; empty once it is gone.
cpu_ticks() { sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | awk '{ print $12 + $13 }'; }

# caught_check: the pid of the server's check process once it runs its simulation (a tenth of a
# second of CPU time: it sets its signals up before it reads the upload), stopped (SIGSTOP) so that
# what the test does next surely happens while it runs; empty when none was seen. Whether it
# ignores the stop signals is not looked at here: that is for the test to find out.
caught_check() {
  local pid="" ticks
  for _ in $(seq 2000); do
    pid=$(pgrep -P "$GROUP" | head -n1)
    if [ -n "$pid" ]; then
      ticks=$(cpu_ticks "$pid")
      [ -n "$ticks" ] && [ "$ticks" -ge $(( $(getconf CLK_TCK) / 10 )) ] && break
    fi
    pid=""
    sleep 0.005
  done
  [ -n "$pid" ] && kill -STOP "$pid"
  echo "$pid"
}

# running PID: the process is there and not a zombie (the server has not yet reaped it).
running() {
  local state
  state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f1)
  [ -n "$state" ] && [ "$state" != Z ] && [ "$state" != X ]
}

# resume PID: SIGCONT, then waits until the process has run again (its CPU time grew: the signals
# held for it while it was stopped have been delivered) or has ended. A check caught as above has
# far more CPU time left than the few ticks this takes.
resume() {
  local before
  before=$(cpu_ticks "$1")
  kill -CONT "$1"
  for _ in $(seq 2000); do
    running "$1" || return
    [ "$(cpu_ticks "$1")" -gt "$before" ] && return
    sleep 0.002
  done
}

echo "--- SIGINT to the server's process group during an upload"
start_group stop --db "$T/stop.sqlite" --checkers 1
upload_to "$URL" longplay "$DIGEST" "$T/plays/paused.rep" >"$T/long.txt" &
client=$!
check=$(caught_check)
expect "the upload's check process runs" test -n "$check"
expect "in a session of its own" test "$(ps -o sid= -p "$check" | tr -d ' ')" = "$check"
expect "with none of the server's environment" \
  bash -c "! tr '\\0' '\\n' </proc/$check/environ | grep -v -e '^ASAN_OPTIONS=' -e '^UBSAN_OPTIONS=' | grep -q ."
kill -INT -- "-$GROUP"
kill -TERM "$check"  # as a service manager signalling every process of the service does
eventually 20 grep -q "finishing the requests in flight" "$T/stop.log"
# Resumed, the check gets the signals held for it while it was stopped: one it does not ignore
# ends it before it runs again.
resume "$check"
expect "the check survives the signal to the group" running "$check"
wait "$client"
wait "$GROUP"; status=$?; GROUP=""
expect "the upload was answered 0" test "$(cat "$T/long.txt")" = 0
expect "and the server ended with 0" test "$status" = 0
start_named plain --db "$T/stop.sqlite"
expect "the play is listed after a restart" listed_at "$URL_plain" longplay
stop_named plain

echo "--- a check still running when the grace period ends"
start_group grace --db "$T/grace.sqlite" --checkers 1 --shutdown-grace 1
upload_to "$URL" slowpoke "$DIGEST" "$T/plays/paused.rep" >"$T/slow.txt" &
client=$!
check=$(caught_check)
expect "the upload's check process runs" test -n "$check"
kill -TERM -- "-$GROUP"
wait "$GROUP"; status=$?; GROUP=""
wait "$client"
expect "the server ended with 0 after its grace period" test "$status" = 0
expect "the upload was answered 2" test "$(cat "$T/slow.txt")" = 2
expect "the check process was ended" eventually 10 bash -c "! kill -0 $check 2>/dev/null"

echo "--- the executable replaced and deleted on disk while the server runs"
mkdir -p "$T/bin"
cp "$SERVER" "$T/bin/nimbulon-server"
SERVER="$T/bin/nimbulon-server" start_named upgraded --db "$T/upgrade.sqlite"
rm "$T/bin/nimbulon-server"
printf '#!/bin/sh\nexit 1\n' >"$T/bin/nimbulon-server"
chmod +x "$T/bin/nimbulon-server"
expect "an upload is checked by the running server's own program (0)" \
  test "$(upload_to "$URL_upgraded" upgraded "$DIGEST" "$T/plays/mode4_quit600.rep")" = 0
expect "and listed" listed_at "$URL_upgraded" upgraded
stop_named upgraded

echo "--- PostgreSQL frozen: postmaster and backends stopped"
# The last part: without PostgreSQL a failure naming it, or the end of the script when asked.
e2e_require postgresql "the PostgreSQL part" ls /usr/lib/postgresql/*/bin/initdb || exit $((E2E_FAILED > 0))
if ! PGURL=$("$REPO/server/tests/pg_cluster.sh" start "$T/pg" 2>"$T/pg.err"); then
  echo "  FAIL no PostgreSQL cluster: $(cat "$T/pg.err")"
  E2E_FAILED=$((E2E_FAILED + 1))
  exit 1
fi
start_named pg --db "$PGURL"
expect "an upload before is stored (0)" test "$(upload_to "$URL_pg" before "$DIGEST" "$T/plays/mode4_quit300.rep")" = 0
expect "and listed" listed_at "$URL_pg" before
postmaster=$(head -n1 "$T/pg/data/postmaster.pid")
mapfile -t FROZEN < <(echo "$postmaster"; pgrep -P "$postmaster")
kill -STOP "${FROZEN[@]}"
sleep 1.2  # past the list cache's age: every list below is read from the database
for i in 1 2 3; do
  # --max-time far above the server's own bound: a server that hangs fails here.
  reply=$(curl -s -o /dev/null --max-time 15 -w '%{http_code} %{time_total}' "$URL_pg/ranking?version=106")
  echo "    list $i while frozen: HTTP ${reply% *} after ${reply#* } s"
  expect "list $i answered 503" test "${reply% *}" = 503
done
reply=$(curl -s -o /dev/null --max-time 15 -w '%{http_code} %{time_total}' "$URL_pg/healthz")
echo "    health while frozen: HTTP ${reply% *} after ${reply#* } s"
expect "health answered 503" test "${reply% *}" = 503
# Lists asked together: each waits for the database once at most, not once per caller before it.
lists=()
for i in 1 2 3 4 5 6; do
  curl -s -o /dev/null --max-time 15 -w '%{http_code} %{time_total}\n' "$URL_pg/ranking?version=106" >"$T/many-$i.txt" &
  lists+=($!)
done
wait "${lists[@]}"
echo "    six lists together while frozen: $(cat "$T"/many-*.txt | tr '\n' ' ')"
expect "six lists together all answered 503" test "$(cat "$T"/many-*.txt | grep -c '^503 ')" = 6
expect "an upload while frozen is answered 2, not left hanging" \
  test "$(upload_to "$URL_pg" during "$DIGEST" "$T/plays/mode4_quit900.rep")" = 2
kill -CONT "${FROZEN[@]}"
FROZEN=()
expect "the list is served again once the database wakes" eventually 20 listed_at "$URL_pg" before
expect "health is 200 again" eventually 20 status_is "$URL_pg" /healthz 200
expect "an upload after is stored (0)" test "$(upload_to "$URL_pg" after "$DIGEST" "$T/plays/mode4_quit900.rep")" = 0
expect "and listed" listed_at "$URL_pg" after
stop_named pg
