#!/usr/bin/env bash
# An operator's day with the ranking server on loopback: a server started from a configuration
# file with comments (and one refused for a bad value, one for a database that is not there);
# plays removed, a name banned (its replays then served nowhere), renamed and its password reset
# to one the operator gives, with the admin command while the server runs, the lists following at
# once (their cache is set to an hour and each list is read before the change, so only the
# database's change announcements can refresh them); the audit table and the server's log;
# /metrics and /healthz; a backup taken during an upload storm, started as it is and restored,
# holding every play answered 0 before it; an old backup restored under the running server, a
# newer one refused; the files made 0600.
# Usage: server_operator_e2e.sh [BUILD_DIR]
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
. "$REPO/tests/e2e/lib.sh" "$@"
. "$REPO/tests/e2e/server_lib.sh"
server_scratch operator
record_plays
P300="$T/plays/mode4_quit300.rep"; P600="$T/plays/mode4_quit600.rep"; P1500="$T/plays/mode4_quit1500.rep"
M5="$T/plays/mode5_quit700.rep"
admin() { "$SERVER" admin --db "$T/live.sqlite" --by ops "$@" 2>>"$T/admin.log"; }

echo "--- the configuration file"
printf 'listen = 127.0.0.1:0\n# the checks\nthreads = lots\n' >"$T/bad.conf"
out=$("$SERVER" --config "$T/bad.conf" 2>&1); status=$?
expect "a bad value stops the server before it starts (exit 2)" test "$status" = 2
expect "... naming the file, the line and the key ($out)" grep -qF "bad.conf:3: key \"threads\"" <<<"$out"
cat >"$T/server.conf" <<CONF
db = $T/live.sqlite   # the live ranking
metrics-listen = 127.0.0.1:0  # for the scraper
# an hour: only the database's announcements refresh the lists
list-cache-ms = 3600000 # an hour
CONF
out=$(NO_CREATE=1 start_named none --config "$T/server.conf"; echo "started=$?")
expect "without --create a missing database is refused" grep -qx 'started=1' <<<"$out"
expect "... naming it, and nothing is made" \
  bash -c "grep -qF 'there is no database $T/live.sqlite (' '$T/none.log' && test -z \"\$(ls '$T' | grep sqlite)\""
expect "admin init makes a new database" "$SERVER" admin --db "$T/init.sqlite" init 2>"$T/init-admin.log"
expect "... saying where, once ($(cat "$T/init-admin.log"))" test "$(grep -c "created a new database $T/init.sqlite\$" "$T/init-admin.log")" = 1
expect "... readable by its owner alone (600)" test "$(stat -c %a "$T/init.sqlite")" = 600
expect "... and a second init refuses to make it again (exit 1)" \
  bash -c "'$SERVER' admin --db '$T/init.sqlite' init 2>/dev/null; test \$? = 1"
NO_CREATE=1 start_named init --db "$T/init.sqlite"
expect "a server starts on it without --create" test -n "$(sed -n 's/.*listening on //p' "$T/init.log")"
stop_named init
rm "$T"/init.sqlite*
expect "a server starts from a configuration file with comments" start_named live --config "$T/server.conf"
expect "... on the database the file names, with the comments stripped" \
  test "$(grep -c "created a new database $T/live.sqlite\$" "$T/live.log")" = 1
expect "... and no file named with a comment" test -z "$(ls "$T" | grep '#')"
expect "... with the metrics listener it asks for" test "$METRICS_live" != "http://127.0.0.1:"
expect "/healthz answers 200 on the players' address" test "$(curl -s -o /dev/null -w '%{http_code}' "$URL_live/healthz")" = 200
expect "... and on the metrics address" test "$(curl -s "$METRICS_live/healthz")" = ok
expect "/metrics is not on the players' address" test "$(curl -s -o /dev/null -w '%{http_code}' "$URL_live/metrics")" = 404
start_named plain --db "$T/plain.sqlite"
expect "without the option there is no metrics listener" bash -c "! grep -q 'metrics on' '$T/plain.log'"
stop_named plain

echo "--- moderation while the server runs"
not_listed() { ! names_listed "$1" "$2" | grep -qx "$3"; }
listed_as() { names_listed "$1" "$2" | grep -qx "$3"; }
status_of() { curl -s -o /dev/null -w '%{http_code}' "$URL_live$1"; }
expect "a cheat uploads (0)" test "$(upload_to "$URL_live" cheat "$DIGEST" "$P1500")" = 0
expect "a fair player uploads (0)" test "$(upload_to "$URL_live" fair "$DIGEST" "$P600")" = 0
expect "a rude player uploads in mode 5 (0)" test "$(upload_to "$URL_live" rude "$DIGEST" "$M5")" = 0
expect "both mode 4 plays are listed" test "$(names_listed "$URL_live" 106 | paste -sd,)" = "cheat,fair"
admin plays --mode 4 >"$T/plays.txt"
expect "admin plays --mode 4 lists the two" test "$(grep -cE ' (cheat|fair) ' "$T/plays.txt")" = 2
expect "... and not the mode 5 play" bash -c "! grep -q ' rude ' '$T/plays.txt'"
cheat_id=$(admin plays --name cheat | awk 'NR == 2 { print $1 }')
expect "the cheat's play is removed" admin remove-play "$cheat_id"
expect "... and leaves the running server's list" eventually 10 not_listed "$URL_live" 106 cheat
expect "... and its replay is no longer served (404)" \
  test "$(curl -s -o /dev/null -w '%{http_code}' "$URL_live/replay?id=$cheat_id")" = 404
rude_id=$(admin plays --name rude | awk 'NR == 2 { print $1 }')
expect "the rude play is listed before the ban (the list is read, and kept for an hour)" listed_as "$URL_live" 107 rude
expect "... and its replay served" test "$(status_of "/replay?id=$rude_id")" = 200
expect "the rude name is banned" admin ban rude
expect "... and its play leaves the list" eventually 10 not_listed "$URL_live" 107 rude
expect "... its replay is served nowhere: /replay 404" test "$(status_of "/replay?id=$rude_id")" = 404
expect "... /watch/ID 404" test "$(status_of "/watch/$rude_id")" = 404
expect "... /api/play/ID 404" test "$(status_of "/api/play/$rude_id")" = 404
expect "... /play/ID 404" test "$(status_of "/play/$rude_id")" = 404
expect "... and its uploads are answered 1" test "$(upload_to "$URL_live" rude "$DIGEST" "$M5")" = 1
expect "the fair player is renamed" admin rename fair fine
expect "... and listed under the new name" eventually 10 listed_as "$URL_live" 106 fine
expect "... keeping the password (0)" test "$(upload_to "$URL_live" fine "$DIGEST" "$P300")" = 0
expect "its password is reset to one the operator gives" bash -c "printf 'n3w pass\n' | '$SERVER' admin --db '$T/live.sqlite' --by ops reset-password fine 2>>'$T/admin.log'"
expect "... the first stranger to upload does not take the name (1)" test "$(upload_to "$URL_live" fine "$OTHER" "$P300")" = 1
expect "... nor does the old password (1)" test "$(upload_to "$URL_live" fine "$DIGEST" "$P300")" = 1
given=$(printf 'n3w pass' | md5sum | cut -d' ' -f1)
expect "... the owner with the new one is (0)" test "$(upload_to "$URL_live" fine "$given" "$P300")" = 0
expect "... a name typed in another case is the same player (0)" test "$(upload_to "$URL_live" FINE "$given" "$P300")" = 0
generated=$("$SERVER" admin --db "$T/live.sqlite" --by ops reset-password --generate fine 2>>"$T/admin.log" |
  sed -n 's/^new password for "fine": \(.*\)$/\1/p')
expect "a generated password is printed once ($generated)" test "${#generated}" = 12
expect "... and it is the name's password (0)" \
  test "$(upload_to "$URL_live" fine "$(printf '%s' "$generated" | md5sum | cut -d' ' -f1)" "$P300")" = 0
expect "... and not the one before (1)" test "$(upload_to "$URL_live" fine "$given" "$P300")" = 1
admin players >"$T/players.txt"
expect "admin players shows the ban" grep -qE ' rude .* banned' "$T/players.txt"
expect "an unknown play is refused (exit 1)" bash -c "! '$SERVER' admin --db '$T/live.sqlite' remove-play 99999 2>/dev/null"
expect "an unknown command is wrong usage (exit 2)" \
  bash -c "'$SERVER' admin --db '$T/live.sqlite' purge 2>/dev/null; test \$? = 2"
admin audit >"$T/audit.txt"
expect "the audit table holds the five changes in order, by ops" \
  test "$(awk '{ print $4 "-" $5 }' "$T/audit.txt" | paste -sd' ')" = "ops-remove-play ops-ban ops-rename ops-reset-password ops-reset-password"
expect "... and no password in it or in the log" bash -c "! grep -q 'n3w\|$generated' '$T/audit.txt' '$T/admin.log' '$T/live.log'"
expect "the command's log line tells who, what and when" \
  grep -qE '^nimbulon-server admin: [0-9-]{10} [0-9:]{8} UTC by ops: ban "rude"' "$T/admin.log"
expect "the server's log tells of the ban too" grep -q 'admin ops: ban "rude"' "$T/live.log"

echo "--- metrics"
curl -s "$METRICS_live/metrics" >"$T/metrics.txt"
expect "uploads are counted by result and reason" grep -qx 'nimbulon_uploads_total{result="1",reason="banned"} 1' "$T/metrics.txt"
expect "... the stored ones too" grep -qE '^nimbulon_uploads_total\{result="0",reason="stored"\} [1-9]' "$T/metrics.txt"
expect "requests by path and status" grep -qE '^nimbulon_http_requests_total\{path="/ranking",status="200"\} [1-9]' "$T/metrics.txt"
expect "a latency histogram per path" grep -q '^nimbulon_http_request_seconds_bucket{path="/upload",le="+Inf"}' "$T/metrics.txt"
expect "the database's time" grep -qE '^nimbulon_database_seconds_count [1-9]' "$T/metrics.txt"
for path in "/ranking?version=106" "/replay?id=1" "/replay?id=$rude_id" /healthz /nowhere "/watch/$rude_id"; do
  expect "$path says nosniff" bash -c "curl -sI '$URL_live$path' | grep -qix 'X-Content-Type-Options: nosniff.'"
done
expect "/metrics says nosniff" bash -c "curl -sI '$METRICS_live/metrics' | grep -qix 'X-Content-Type-Options: nosniff.'"
expect "the banned and stored counts" \
  bash -c "grep -qx 'nimbulon_banned_names 1' '$T/metrics.txt' && grep -qx 'nimbulon_stored_plays 2' '$T/metrics.txt'"
expect "the checks' CPU time" grep -qE '^nimbulon_check_cpu_seconds_total [0-9.]*[1-9]' "$T/metrics.txt"

echo "--- a backup during an upload storm"
for i in $(seq 1 24); do (upload_to "$URL_live" "b$i" "$DIGEST" "$T/plays/many/$i.rep" >"$T/storm-$i.txt") & done
# The backup comes once a few uploads have been answered, whatever the machine's speed.
answered() { [ "$(cat "$T"/storm-*.txt 2>/dev/null | tr -cd 0 | wc -c)" -ge 4 ]; }
eventually 120 answered
before=$(grep -lx 0 "$T"/storm-*.txt | sed 's/.*storm-\([0-9]*\)\.txt/b\1/' | sort)
expect "a backup is taken while the uploads run" admin backup "$T/copy.sqlite"
wait_storm() { [ "$(cat "$T"/storm-*.txt | wc -c)" -ge 24 ]; }
expect "the storm ends" eventually 300 wait_storm
answered0=$(grep -lx 0 "$T"/storm-*.txt | sed 's/.*storm-\([0-9]*\)\.txt/b\1/' | sort)
expect "most of the storm was answered 0 ($(echo $answered0 | wc -w) of 24)" test "$(echo $answered0 | wc -w)" -ge 12
expect "a server starts on the copy as it is" start_named copy --db "$T/copy.sqlite"
names_listed "$URL_copy" 106 | grep '^b' >"$T/copy-names.txt"
expect "every upload answered 0 before the backup is in the copy ($(echo $before | wc -w))" \
  test -z "$(comm -23 <(echo "$before") "$T/copy-names.txt")"
expect "... and nothing that was not answered 0" test -z "$(comm -13 <(echo "$answered0") "$T/copy-names.txt")"
expect "the copy is restored into a new database" \
  "$SERVER" admin --db "$T/restored.sqlite" restore "$T/copy.sqlite" 2>>"$T/admin.log"
start_named restored --db "$T/restored.sqlite"
expect "... which lists what the copy lists" \
  test "$(names_listed "$URL_restored" 106)" = "$(names_listed "$URL_copy" 106)"
stop_named copy; stop_named restored
expect "the database, its WAL and the backup are their owner's alone (600)" \
  test "$(stat -c %a "$T/live.sqlite" "$T/live.sqlite-wal" "$T/copy.sqlite" "$T/restored.sqlite" | sort -u)" = 600

echo "--- restores under the running server"
# Read before each restore: the lists then hold what only a change notice can take away.
expect "the live list, read before the restore, shows no bob" not_listed "$URL_live" 106 bob
OLD="$T/before-versions.sqlite"  # a copy: SQLite writes beside a file it opens
cp "$REPO/server/tests/data/ranking-before-versions.sqlite" "$OLD"
expect "a backup older than the tables is restored into the live database (exit 0)" admin restore "$OLD"
expect "... with no failure reported" bash -c "! grep -q 'restore failed' '$T/admin.log'"
old_listed() { test "$(names_listed "$URL_live" 106 | paste -sd,)" = "alice,bob"; }
expect "... the running server serves it at once" eventually 10 old_listed
expect "... and stays healthy (200)" test "$(status_of /healthz)" = 200
last_audit_is_restore() { admin audit | tail -1 | grep -q ' ops  *restore '; }
expect "... and its audit row is in the restored database" last_audit_is_restore
expect "... and in the running server's log" eventually 10 grep -q 'admin ops: restore ' "$T/live.log"
python3 - "$T/copy.sqlite" "$T/newer.sqlite" <<'PY'
import shutil, sqlite3, sys
shutil.copy(sys.argv[1], sys.argv[2])
db = sqlite3.connect(sys.argv[2]); db.execute("UPDATE schema_version SET version = 999"); db.commit()
PY
out=$("$SERVER" admin --db "$T/live.sqlite" restore "$T/newer.sqlite" 2>&1); status=$?
expect "a backup of a newer schema is refused (exit $status): $out" bash -c "test $status = 1 && grep -q newer <<<'$out'"
expect "... and the server serves what it did" old_listed
expect "the copy is restored into the live database while its server runs" admin restore "$T/copy.sqlite"
same_as_copy() { test "$(names_listed "$URL_live" 106 | grep '^b')" = "$(cat "$T/copy-names.txt")"; }
expect "... whose lists follow at once" eventually 10 same_as_copy
expect "... without the old backup's players" not_listed "$URL_live" 106 bob
out=$("$SERVER" admin --db postgresql://nobody@127.0.0.1:1/x backup "$T/x" 2>&1); status=$?
expect "a PostgreSQL database is sent to pg_dump (exit $status)" bash -c "test $status = 1 && grep -q pg_dump <<<'$out'"
stop_named live
