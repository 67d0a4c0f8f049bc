#!/usr/bin/env bash
# The path comparison's figures: the measure for dressed copies and honest pairs side by side, then
# 100,000 stored plays on SQLite and on a throwaway PostgreSQL cluster and what the comparison adds
# to an upload (median and p99). Prints figures only; the README keeps a run's.
# Usage: tools/bench/path_bench.sh [BUILD_DIR [PLAYS]]
set -eu
REPO=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(cd "${1:-$REPO/build}" && pwd)
PLAYS=${2:-100000}
BENCH="$BUILD/server/path_bench"
T=$(mktemp -d /tmp/nimbulon-path-bench-XXXXXX)
chmod 755 "$T"  # the PostgreSQL cluster's own user must reach its folder inside
cleanup() {
  [ -d "$T/pg" ] && "$REPO/server/tests/pg_cluster.sh" stop "$T/pg"
  rm -rf "$T"
}
trap cleanup EXIT
cd "$T"  # the re-simulated plays write nothing, but a play that ended would write under ./data

echo "=== the measure"
"$BENCH" likeness
echo
echo "=== $PLAYS stored plays"
# A copy missed or an honest path taken for one fails the run, after both backends.
status=0
"$BENCH" scale "$T/ranking.sqlite" "$PLAYS" 2>/dev/null || status=1
if URL=$("$REPO/server/tests/pg_cluster.sh" start "$T/pg" 2>"$T/pg.txt"); then
  "$BENCH" scale "$URL" "$PLAYS" 2>/dev/null || status=1
else
  echo "PostgreSQL: not measured ($(cat "$T/pg.txt"))"
fi
exit $status
