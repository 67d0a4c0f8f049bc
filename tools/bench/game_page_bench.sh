#!/usr/bin/env bash
# The game's page measured in headless Chromium (tools/bench/game_page_bench.py): first picture,
# bytes sent, frame cost at 1x and 2x, the game's pace, key latency beside a minimal canvas page.
# Starts our server on a free loopback port for it and stops it after.
# A benchmark: the figures depend on the machine and its load; run it on a quiet machine.
# Usage: tools/bench/game_page_bench.sh [BUILD_DIR] [TRIALS]
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(cd "${1:-$REPO/build}" && pwd)
[ -f "${BUILD%/}-web/game/nimbulon-game.wasm" ] || { echo "the game's page is not built (NIMBULON_WEB)" >&2; exit 2; }
. "$REPO/tests/e2e/server_start.sh"
T=$(mktemp -d /tmp/nimbulon-game-bench-XXXXXX)
start_nimbulon_server "$BUILD/server/nimbulon-server" "$T/ranking.sqlite" "$T/server.log" --quiet
[ -n "$URL" ] || { echo "the server did not start" >&2; cat "$T/server.log" >&2; rm -rf "$T"; exit 1; }
python3 "$REPO/tools/bench/game_page_bench.py" "$URL/game/" --trials "${2:-30}"
status=$?
kill "$SERVER_PID" 2>/dev/null; wait "$SERVER_PID" 2>/dev/null
rm -rf "$T"
exit $status
