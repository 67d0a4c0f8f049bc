#!/usr/bin/env bash
# A copy is a copy however it is dressed, on loopback with curl, on SQLite and on PostgreSQL: an
# honest play of over a minute is stored; its copies (a bit flipped where the ship cannot move,
# every push into a wall let go, runs split, the input cut five frames short, a pause in the
# middle, a step aside and back) are refused with 2 under another name, each logged with the play
# it copies, and answered 0 to its owner with nothing changed; honest plays that share their first
# 20 seconds are both stored; a play stored before paths were kept gets its path when the server
# starts, and its copies are refused from then on.
# Usage: server_copy_e2e.sh [BUILD_DIR]
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
. "$REPO/tests/e2e/lib.sh" "$@"
. "$REPO/tests/e2e/server_lib.sh"
server_scratch copy
PLAYS="$REPO/server/tests/data/paths"
mkdir -p "$T/copies"
"$BUILD/server/nimbulon-record-path-plays" --copies "$PLAYS/00.rep" "$T/copies" >"$T/copies.txt"
expect "six dressed copies of an honest play made" test "$(wc -l <"$T/copies.txt")" = 6
expect "... none byte for byte the original" bash -c "! cmp -s '$T/copies/copy-1.rep' '$PLAYS/00.rep'"

# id_of URL NAME: the play id the list gives the name.
id_of() { curl -s "$1/ranking?version=106" | awk -v n="$2" '/^username$/{getline; u=$0} /^id$/{getline; if (u == n) print}'; }

# copies_refused NAME DB: the suite against a server on DB.
copies_refused() {
  local tag=$1 db=$2 url log original copy what
  expect "$tag: the server starts" start_named "$tag" --db "$db" --uploads-per-address 0 --uploads-per-name 0 \
    --new-names-per-address 0 --wrong-passwords 0
  url=URL_$tag; url=${!url}; log="$T/$tag.log"
  expect "$tag: an honest play of over a minute is stored (0)" test "$(upload_to "$url" own "$DIGEST" "$PLAYS/00.rep")" = 0
  original=$(id_of "$url" own)
  expect "$tag: ... and listed with its id" test -n "$original"
  while read -r copy what; do
    expect "$tag: a copy ($what) under another name is refused (2)" \
      test "$(upload_to "$url" thief "$DIGEST" "$copy")" = 2
    expect "$tag: ... logged with the play it copies" grep -q "a copy of play $original, stored under another name" "$log"
    expect "$tag: ... and to its owner it is answered 0" test "$(upload_to "$url" own "$DIGEST" "$copy")" = 0
  done <"$T/copies.txt"
  expect "$tag: the list holds the owner alone, with the original" test "$(names_listed "$url" 106 | tr '\n' ' ')" = "own "
  expect "$tag: ... whose replay is the one first sent" cmp -s <(curl -s "$url/replay?id=$original") "$PLAYS/00.rep"
  expect "$tag: another honest play under the thief's name is stored (0)" \
    test "$(upload_to "$url" thief "$DIGEST" "$PLAYS/01.rep")" = 0
  expect "$tag: two honest plays with the same first 20 seconds are both stored (0, 0)" \
    test "$(upload_to "$url" early "$DIGEST" "$PLAYS/30.rep")$(upload_to "$url" late "$DIGEST" "$PLAYS/31.rep")" = 00
  expect "$tag: four players listed" test "$(names_listed "$url" 106 | tr '\n' ' ')" = "early late own thief "
  stop_named "$tag"
}

echo "--- SQLite"
copies_refused lite "$T/r.sqlite"

echo "--- a play stored before paths were kept"
# As today's main left it: the play and its input's owner, no path.
sqlite3 "$T/r.sqlite" "DELETE FROM play_path_keys; DELETE FROM play_paths;"
expect "the server starts on it" start_named back --db "$T/r.sqlite" --uploads-per-address 0 --uploads-per-name 0 \
  --new-names-per-address 0
expect "... and gives the plays stored before their paths" eventually 60 grep -q "charts and paths drawn for 4 plays" "$T/back.log"
expect "a copy of the play stored before is refused (2)" test "$(upload_to "$URL_back" someone "$DIGEST" "$T/copies/copy-4.rep")" = 2
stop_named back

echo "--- PostgreSQL"
if e2e_require postgresql "copies on PostgreSQL" ls /usr/lib/postgresql/*/bin/initdb; then
  PG_URL=$("$REPO/server/tests/pg_cluster.sh" start "$T/pg" 2>"$T/pg.txt")
  pg_status=$?
  [ "$pg_status" = 0 ] || cat "$T/pg.txt"
  expect "a throwaway PostgreSQL cluster starts" test "$pg_status" = 0
  copies_refused pg "$PG_URL"
fi
