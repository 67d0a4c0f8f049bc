#!/usr/bin/env bash
# Frames per second of the browser's player (logic and drawing of every frame) in headless
# Chromium on this machine: our server serves the player's benchmark page on loopback, which
# re-simulates a final boss play and prints the whole play's rate, the rate of its busiest 300
# frames and the cost of showing one frame on the canvas. Target: 600 frames a second.
#
#   tools/bench/web_bench.sh [REPLAY] [BUILD_DIR]
#
# REPLAY defaults to the final boss play that replay_bench records and keeps
# (BUILD_DIR/tools/replay_bench_plays/final.rep; run build/tools/replay_bench once to make it).
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(cd "${2:-$REPO/build}" && pwd)
PLAY=${1:-$BUILD/tools/replay_bench_plays/final.rep}
[ -f "$PLAY" ] || { echo "no replay at $PLAY (run $BUILD/tools/replay_bench once, or name one)" >&2; exit 2; }
[ -f "${BUILD%/}-web/player/nimbulon-web.wasm" ] || { echo "the browser player is not built (NIMBULON_WEB)" >&2; exit 2; }
T=$(mktemp -d /tmp/nimbulon-web-bench-XXXXXX)
SERVER_PID="" BROWSER_PID=""
cleanup() {
  [ -n "$BROWSER_PID" ] && kill "$BROWSER_PID" 2>/dev/null && wait "$BROWSER_PID" 2>/dev/null
  [ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null && wait "$SERVER_PID" 2>/dev/null
  rm -rf "$T"
}
trap cleanup EXIT

. "$REPO/tests/e2e/server_start.sh"
start_nimbulon_server "$BUILD/server/nimbulon-server" "$T/ranking.sqlite" "$T/server.log" --quiet
[ -n "$URL" ] || { echo "the server did not start" >&2; exit 1; }

# Real time, not virtual: the page prints its figures to the console, read from Chromium's log.
url="$URL/watch/bench.html#$(base64 -w0 "$PLAY")"
chromium --headless --no-sandbox --disable-gpu --user-data-dir="$T/chromium" --no-first-run \
  --enable-logging=stderr --v=0 "$url" 2>"$T/chromium.log" >/dev/null &
BROWSER_PID=$!
line=""
for _ in $(seq 1200); do
  line=$(grep -o 'BENCH {[^}]*\({[^}]*}[^}]*\)\?}' "$T/chromium.log" | head -1)
  [ -n "$line" ] && break
  sleep 0.5
done
[ -n "$line" ] || { echo "no figures from the page; Chromium said:" >&2; tail -5 "$T/chromium.log" >&2; exit 1; }
echo "${line#BENCH }" | python3 -c '
import json, sys
r = json.load(sys.stdin)
if "error" in r:
    sys.exit("the page failed: " + r["error"])
b = r["busiest"]
print("web_bench: %s, headless Chromium %s, every frame simulated and drawn" % (sys.argv[1], sys.argv[2]))
print("  whole play:     %6d frames in %6.2f s  %6d frames/s" % (r["frames"], r["seconds"], r["fps"]))
print("  busiest 300:    frames %d-%d            %6d frames/s  (target 600)" % (b["from"], b["from"] + b["frames"], b["fps"]))
print("  showing a frame on the canvas: %.3f ms" % r["showMs"])
print("  result: score %d, stage %d, lives %d" % (r["score"], r["stage"], r["lives"]))
' "$(basename "$PLAY")" "$(chromium --version 2>/dev/null | awk '{print $2}')"
