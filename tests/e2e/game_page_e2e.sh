#!/usr/bin/env bash
# The whole game in its page, played as a player would: our server on loopback serves /game/,
# headless Chromium and Firefox ESR (tests/e2e/game_page.py) each go through the credit
# and the title into a first-lap play, loses the ship, opens the records, types a name, password
# and comment into the entry dialog and sends the play; the server ranks it after re-simulating it
# natively, the list the page reads again shows it, the play the page saved is the same play for
# `nimbulon-replay verify`, and a reload keeps it. Also the serving: the address without its
# slash, types, cache lifetimes, the security policy, names that are not the game's.
# Needs the emscripten build (build-web/game); without it the test says so and fails.
# Usage: game_page_e2e.sh [BUILD_DIR]
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
. "$REPO/tests/e2e/lib.sh" "$@"
. "$REPO/tests/e2e/server_start.sh"
SERVER="$BUILD/server/nimbulon-server"
REPLAY="$BUILD/tools/nimbulon-replay"
GAME_DIR="${BUILD%/}-web/game"
T=$(mktemp -d /tmp/nimbulon-game-e2e-XXXXXX)
cleanup() {
  [ -n "${SERVER_PID:-}" ] && kill "$SERVER_PID" 2>/dev/null && wait "$SERVER_PID" 2>/dev/null
  [ -n "${STATIC_PID:-}" ] && kill "$STATIC_PID" 2>/dev/null && wait "$STATIC_PID" 2>/dev/null
  [ "$E2E_FAILED" -eq 0 ] && rm -rf "$T" || echo "  kept for a look: $T"
  e2e_finish
}
trap cleanup EXIT

BROWSERS=${BROWSERS:-chromium firefox}
if [ ! -f "$GAME_DIR/nimbulon-game.wasm" ] || [ ! -f "$GAME_DIR/music/songs.json" ] || ! command -v chromium >/dev/null \
   || ! command -v firefox-esr >/dev/null; then
  expect "the game's page is built (NIMBULON_WEB, emscripten, vorbis-tools); chromium and firefox-esr are installed" false
  exit 1
fi

start_nimbulon_server "$SERVER" "$T/ranking.sqlite" "$T/server.log"
expect "the server starts" test -n "$URL"

# The serving.
headers() { curl -s -o /dev/null -D - "$URL$1" | tr -d '\r'; }
headers /game >"$T/h.bare"
expect "/game moves to /game/, where the page's files are named from" \
  sh -c "head -1 '$T/h.bare' | grep -q ' 301 ' && grep -qx 'Location: /game/' '$T/h.bare'"
headers /game/ >"$T/h.page"
expect "the page is HTML, checked again each time, with its policy" \
  sh -c "grep -qx 'Content-Type: text/html; charset=utf-8' '$T/h.page' && grep -qx 'Cache-Control: no-cache' '$T/h.page' \
         && grep -q \"^Content-Security-Policy: default-src 'none'; script-src 'self' 'wasm-unsafe-eval'\" '$T/h.page'"
expect "the page is told that this server ranks its plays" sh -c "curl -s '$URL/game/' | grep -q 'content=\"same-origin\"'"
headers /game/nimbulon-game.wasm >"$T/h.wasm"
expect "the module is application/wasm, cached for a year" \
  sh -c "grep -qx 'Content-Type: application/wasm' '$T/h.wasm' && grep -q 'max-age=31536000' '$T/h.wasm'"
expect "the title song is Ogg, with its loop points listed" \
  sh -c "curl -s -o /dev/null -w '%{content_type}' '$URL/game/music/title.ogg' | grep -qx 'audio/ogg' \
         && curl -s '$URL/game/music/songs.json' | python3 -c 'import json,sys; t=json.load(sys.stdin)[\"title\"]; sys.exit(0 if 0 < t[\"loopStart\"] < t[\"loopEnd\"] else 1)'"
for path in /game/x /game/../ranking.sqlite /game/main.cpp /game/music/ /game/music/title.wav /game/index.html/x; do
  code=$(curl -s --path-as-is -o /dev/null -w '%{http_code}' "$URL$path")
  expect "$path is not served ($code)" test "$code" = 404
done
expect "a POST to the page is refused (405)" test "$(curl -s -o /dev/null -w '%{http_code}' -X POST "$URL/game/")" = 405

# The player, in each browser (Debian's Chromium and Firefox ESR by default), each against a
# server of its own so that neither finds the other's play ranked. A play made natively is imported
# into the page at the end and watched there.
"$BUILD/tools/nimbulon-make-play" "$T/native.rep" 4 0 >/dev/null
kill "$SERVER_PID" 2>/dev/null && wait "$SERVER_PID" 2>/dev/null
SERVER_PID=""
play_in() {  # play_in BROWSER
local b=$1 P=$T/page-$1
start_nimbulon_server "$SERVER" "$T/ranking-$b.sqlite" "$T/server-$b.log"
expect "$b: a server of its own starts" test -n "$URL"
timeout 900 /usr/bin/python3 "$REPO/tests/e2e/game_page.py" --browser "$b" --native-replay "$T/native.rep" "$URL/game/" "$P" \
  >"$P.json" 2>"$P.err"
status=$?
python3 -c '
import json, sys
r = json.load(open(sys.argv[1]))
for s in r["steps"]: print("   %s %s" % ("ok  " if s["ok"] else "FAIL", s["step"]))
' "$P.json"
expect "$b: the page was played through, from the credit to the list and a reload" test "$status" = 0
expect "$b: the page raised no error" python3 -c '
import json, sys
bad = [c for c in json.load(open(sys.argv[1]))["console"] if c.startswith("exception")]
print("\n".join("   " + c for c in bad)); sys.exit(1 if bad else 0)' "$P.json"
expect "$b: the play the page recorded is the same play natively (MATCH)" \
  sh -c "'$REPLAY' verify '$P/bestplay.rep' | grep -q '^MATCH'"
curl -s "$URL/ranking?version=106" >"$P-list.txt"
expect "$b: the server ranked the page's play under the typed name" grep -qx 'webace' "$P-list.txt"
expect "$b: with the typed comment" grep -qx 'ブラウザから good luck' "$P-list.txt"
expect "$b: at the score the native re-simulation gives" python3 - "$P-list.txt" "$P/bestplay.rep" "$REPLAY" <<'PY'
import subprocess, sys
lines = open(sys.argv[1]).read().split("\n")
score = lines[lines.index("score") + 1]
native = subprocess.run([sys.argv[3], "verify", sys.argv[2], "--json"], capture_output=True, text=True).stdout
import json
replayed = json.loads(native)["files"][0]["replayed"]["score"]
print("   listed %s, re-simulated %s" % (score, replayed))
sys.exit(0 if str(replayed) == score and replayed > 0 else 1)
PY
expect "$b: the native play, watched in the page, ends as nimbulon-replay verify replays it" \
  python3 - "$P/replay_end.txt" "$T/native.rep" "$REPLAY" <<'PY'
import json, subprocess, sys
words = open(sys.argv[1]).read().split()
page = {words[i]: int(words[i + 1]) for i in range(0, len(words) - 1, 2)}
native = json.loads(subprocess.run([sys.argv[3], "verify", sys.argv[2], "--json"], capture_output=True, text=True).stdout)
r = native["files"][0]["replayed"]
print("   page %s, native %s" % (page, {k: r[k] for k in ("score", "stages", "lives", "frames")}))
sys.exit(0 if all(page[k] == r[k] for k in ("score", "stages", "lives", "frames")) and r["frames"] > 100 else 1)
PY
kill "$SERVER_PID" 2>/dev/null && wait "$SERVER_PID" 2>/dev/null
SERVER_PID=""
}
for b in $BROWSERS; do
  play_in "$b"
done

# The same files as static files from another web server (Python's, on loopback): the game plays
# to its title, knows it has no ranking server to send to, and a pad (the standard layout, set by
# the test through the Gamepad API) starts a play there.
python3 -u -m http.server --bind 127.0.0.1 --directory "$GAME_DIR" 0 >"$T/static.log" 2>&1 &
STATIC_PID=$!
STATIC_PORT=""
for _ in $(seq 100); do
  STATIC_PORT=$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$T/static.log" | head -1)
  [ -n "$STATIC_PORT" ] && break
  sleep 0.1
done
for b in $BROWSERS; do
  timeout 300 /usr/bin/python3 "$REPO/tests/e2e/game_page.py" --browser "$b" --static \
    "http://127.0.0.1:$STATIC_PORT/index.html" "$T/static-$b" >"$T/static-$b.json" 2>"$T/static-$b.err"
  expect "$b: as static files, the page plays to the title without a ranking server; a pad starts a play" test $? = 0
done
