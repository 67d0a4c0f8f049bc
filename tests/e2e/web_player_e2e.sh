#!/usr/bin/env bash
# The browser's replay player against the native game: hand-written replays of both versions are
# uploaded to our server on loopback, watched at /watch/ID in headless Chromium at full speed,
# and the page's final result, its event log and its canvas at three frames are compared with
# the server's ranking and with `nimbulon-replay verify --events` / `nimbulon-replay frames`.
# Also the serving: MIME types, cache lifetimes, the security policy, paths that are not the
# player's. Needs the emscripten build (build-web/player); without it the test says so and fails.
# Usage: web_player_e2e.sh [BUILD_DIR]
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
. "$REPO/tests/e2e/lib.sh" "$@"
. "$REPO/tests/e2e/server_start.sh"
SERVER="$BUILD/server/nimbulon-server"
REPLAY="$BUILD/tools/nimbulon-replay"
PLAYER="${BUILD%/}-web/player"
T=$(mktemp -d /tmp/nimbulon-web-e2e-XXXXXX)
cleanup() {
  local job
  for job in $(jobs -p); do kill "$job" 2>/dev/null; wait "$job" 2>/dev/null; done
  rm -rf "$T"
  e2e_finish
}
trap cleanup EXIT

# Every check of the page runs in each browser (Debian's Chromium and Firefox ESR by default).
BROWSERS=${BROWSERS:-chromium firefox}
e2e_require chromium "the player in Chromium" command -v chromium || exit $((E2E_FAILED > 0))
e2e_require firefox-esr "the player in Firefox" command -v firefox-esr || exit $((E2E_FAILED > 0))
e2e_require emscripten "the browser player (built by Debian's emscripten)" command -v emcc || exit $((E2E_FAILED > 0))
expect "the browser player is built ($PLAYER/nimbulon-web.wasm)" test -f "$PLAYER/nimbulon-web.wasm"
[ -f "$PLAYER/nimbulon-web.wasm" ] || exit 1

# write_play OUT MODE RUNS...: a hand-written replay whose header holds what the play gives.
write_play() {
  local out=$1 mode=$2; shift 2
  python3 "$REPO/tools/replay/write_replay.py" "$out" "$mode" "$@" || return 1
  local r
  r=$("$REPLAY" verify "$out" --json 2>/dev/null | python3 -c '
import json, sys
p = json.load(sys.stdin)["files"][0]["replayed"]
print(p["score"], p["stages"], p["lives"], p["frames"])')
  python3 "$REPO/tools/replay/write_replay.py" "$out" "$mode" "$@" --result $r
}

# Current version (first lap) and old version (first lap [old]): firing, weaving, a bullet-size
# charge and its use; when the runs are over the ship stands still until it is lost (the server
# refuses input past a play's end).
write_play "$T/new.rep" 4 40*- 200*ZR 90*ZLX 1*- 1*X 200*ZLU 300*ZR 300*ZL 200*ZRD 150*ZX 1*- 1*X || exit 1
write_play "$T/old.rep" 2 40*- 250*ZL 80*ZRX 1*- 1*X 300*ZRU 250*ZL 300*ZR 150*ZX 1*- 1*X || exit 1
for f in new old; do
  expect "$f: the hand-written replay verifies natively" "$REPLAY" verify "$T/$f.rep" >/dev/null 2>&1
done

start_nimbulon_server "$SERVER" "$T/ranking.sqlite" "$T/server.log"
expect "the server starts" test -n "$URL"

BOUNDARY='---------------------------7d44f2d130918'
upload() {  # upload NAME REPLAY: the reply's first byte
  local field
  {
    for field in "name:$1" "pass:0123456789abcdef0123456789abcdef" "message:web" "max_file_size:1000000"; do
      printf -- '--%s\r\nContent-Disposition: form-data; name="%s"\r\n\r\n%s\r\n' "$BOUNDARY" "${field%%:*}" "${field#*:}"
    done
    printf -- '--%s\r\nContent-Disposition: form-data; name="replay_file"; filename="replay_file"\r\n' "$BOUNDARY"
    printf 'Content-Type: application/octet-stream\r\n\r\n'
    cat "$2"
    printf '\r\n--%s--\r\n' "$BOUNDARY"
  } >"$T/body"
  curl -s -0 --max-time 300 -H "Content-Type: multipart/form-data; boundary=\"$BOUNDARY\"" --data-binary @"$T/body" \
    "$URL/upload" | head -c 1
}

# watch BROWSER ID FRAMES: the page's test run, played at full speed in that browser, as JSON in
# $T/page-BROWSER-ID.json.
watch() {
  timeout 300 /usr/bin/python3 "$REPO/tests/e2e/browser_page.py" --browser "$1" "$URL/watch/$2?test=1&at=$3" \
    --timeout 240 --wait-for 'document.title == "done" || document.title == "failed"' \
    --eval 'document.getElementById("test-result").textContent' >"$T/browser.json" 2>"$T/browser.log"
  python3 - "$T/browser.json" >"$T/page-$1-$2.json" <<'PY'
import json, sys
try:
    text = json.load(open(sys.argv[1]))["evals"][0]
except (OSError, ValueError, KeyError, IndexError):
    text = None
print(text or '{"error": "no result in the page"}')
PY
}

for f in new old; do
  expect "$f: the server ranks the upload" test "$(upload "web$f" "$T/$f.rep")" = 0
  mode=$(python3 -c "import struct,sys; print(struct.unpack_from('<i', open(sys.argv[1],'rb').read(), 26)[0])" "$T/$f.rep")
  version=$((mode == 4 ? 106 : 104))
  curl -s "$URL/ranking?version=$version" >"$T/list-$f.txt"
  id=$(awk 'p=="id"{print; exit} {p=$0}' "$T/list-$f.txt")
  frames=$(python3 -c "import struct,sys; print(struct.unpack_from('<i', open(sys.argv[1],'rb').read(), 50)[0])" "$T/$f.rep")
  # Three frames: early in the stage, the middle of the play, just before its end.
  at="120,$((frames / 2)),$((frames - 5))"
  "$REPLAY" verify "$T/$f.rep" --events >"$T/native-$f.events" 2>/dev/null
  "$REPLAY" frames "$T/$f.rep" --at "$at" --out "$T/native-$f"
  for b in $BROWSERS; do
    watch "$b" "$id" "$at"
    expect "$f, $b: the page played the replay to its end" python3 -c '
import json, sys
r = json.load(open(sys.argv[1]))
sys.exit(0 if r.get("result", {}).get("ended") else (print(r) or 1))' "$T/page-$b-$id.json"
    expect "$f, $b: the page sounds the play's effects" python3 -c '
import json, sys
sys.exit(0 if json.load(open(sys.argv[1])).get("soundPeak", 0) > 1000 else 1)' "$T/page-$b-$id.json"
    expect "$f, $b: the page's final score and stage are the server's" python3 - "$T/page-$b-$id.json" "$T/list-$f.txt" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["result"]
lines = open(sys.argv[2]).read().split("\n")
server = {k: lines[i + 1] for i, k in enumerate(lines[:-1]) if k in ("score", "stage")}
ok = str(r["score"]) == server["score"] and str(r["stage"]) == server["stage"]
print("   page score %d stage %d, server score %s stage %s" % (r["score"], r["stage"], server["score"], server["stage"]))
sys.exit(0 if ok else 1)
PY
    expect "$f, $b: the page's lives and frames are the ranked header's (which the server re-simulated)" \
    python3 - "$T/page-$b-$id.json" "$T/$f.rep" <<'PY'
import json, struct, sys
r = json.load(open(sys.argv[1]))["result"]
h = struct.unpack_from("<8i", open(sys.argv[2], "rb").read(), 22)
sys.exit(0 if (r["score"], r["stage"], r["lives"], r["frames"]) == (h[2], h[3], h[4], h[7]) else 1)
PY
    expect "$f, $b: the page's events are nimbulon-replay's, event for event" python3 - "$T/page-$b-$id.json" "$T/native-$f.events" <<'PY'
import json, sys
page = json.load(open(sys.argv[1]))["events"].splitlines()
native = open(sys.argv[2]).read().splitlines()
print("   %d events in the page, %d natively" % (len(page), len(native)))
for i, (a, b) in enumerate(zip(page, native)):
    if a != b:
        print("   first difference, line %d:\n   page   %s\n   native %s" % (i + 1, a, b))
        sys.exit(1)
sys.exit(0 if len(page) == len(native) and len(native) > 10 else 1)
PY
    expect "$f, $b: the canvas at frames $at is the native picture pixel for pixel" \
    python3 - "$T/page-$b-$id.json" "$T/native-$f" "$at" <<'PY'
import base64, json, sys
page = json.load(open(sys.argv[1]))["pictures"]
seen = set()
for n in sys.argv[3].split(","):
    ppm = open("%s-%s.ppm" % (sys.argv[2], n), "rb").read()
    native = ppm[len(b"P6\n480 600\n255\n"):]
    rgba = base64.b64decode(page.get(n, ""))
    shown = bytes(b for i, b in enumerate(rgba) if i % 4 != 3)
    if len(shown) != len(native):
        print("   frame %s: no picture from the page" % n); sys.exit(1)
    differ = sum(1 for i in range(0, len(native), 3) if native[i:i + 3] != shown[i:i + 3])
    colours = len(set(native[i:i + 3] for i in range(0, len(native), 3 * 97)))
    print("   frame %s: %d pixels differ, %d colours sampled" % (n, differ, colours))
    # A blank or repeated picture would prove nothing.
    if differ or colours < 8 or native in seen: sys.exit(1)
    seen.add(native)
PY
  done
done

# The viewer as a player uses it, at a phone's and a desktop's width: the canvas within the screen,
# who played and the ranked score from the ranking's JSON, the seek bar's stage marks, Space
# pausing, the arrows going ten seconds on and back, the seek bar to the end giving the page's
# result beside the ranked one (marked as agreeing), R going back to the start.
KEYS='(() => { const key = (k) => document.dispatchEvent(new KeyboardEvent("keydown", {key: k})); key(" "); key("ArrowRight"); key("ArrowRight"); const on = Number(document.getElementById("frame").textContent); key("ArrowLeft"); return [on, Number(document.getElementById("frame").textContent)]; })()'
END='(() => { const p = document.getElementById("position"); p.value = p.max; p.dispatchEvent(new Event("input")); return [document.getElementById("message").textContent, document.getElementById("message").className]; })()'
for b in $BROWSERS; do
  for width in 375 1280; do
    timeout 300 /usr/bin/python3 "$REPO/tests/e2e/browser_page.py" --browser "$b" "$URL/watch/$id" --width "$width" \
      --wait-for 'document.getElementById("who").textContent.length > 0 && Number(document.getElementById("frame").textContent) > 30' \
      --eval 'document.documentElement.scrollWidth' --eval 'document.getElementById("screen").getBoundingClientRect().width' \
      --eval 'document.getElementById("who").textContent' --eval 'document.querySelectorAll("#marks span").length' \
      --eval "$KEYS" --eval "$END" \
      --eval '(() => { document.dispatchEvent(new KeyboardEvent("keydown", {key: "r"})); return Number(document.getElementById("frame").textContent); })()' \
      --screenshot "$T/viewer-$b-$width.png" >"$T/viewer-$b-$width.json" 2>"$T/viewer-$b-$width.err"
    expect "$b at $width: the viewer fits, says whose play it is, seeks by keys and bar, and agrees with the ranking" \
      python3 - "$T/viewer-$b-$width.json" "$width" "$URL/api/play/$id" <<'PY'
import json, sys, urllib.request
r = json.load(open(sys.argv[1]))
width = int(sys.argv[2])
entry = json.load(urllib.request.urlopen(sys.argv[3]))
page, canvas, who, marks, (on, back), (message, kind), restarted = r["evals"]
print("   %dpx page, canvas %dpx, %r, %d marks, keys %d -> %d, %r, restart %d" % (page, canvas, who, marks, on, back, message, restarted))
ok = (page <= width and canvas <= min(width, 480) and entry["username"] in who and str(entry["score"]) in who
      and marks == len(entry["chart"]["stages"]) - 1 and on >= 1200 and back == on - 600
      and kind == "agree" and ("score %d" % entry["score"]) in message and restarted == 0 and not r["console"])
sys.exit(0 if ok else 1)
PY
  done
done

# The served files: types, cache lifetimes, the policy; nothing else under /watch/. The page is
# served for a stored play only (the last one watched above).
# The page's whole policy: a source added to any directive (a "script-src *") is a failure.
WATCH_POLICY="default-src 'none'; script-src 'self' 'wasm-unsafe-eval'; style-src 'self'; img-src 'self'; connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'"
headers() { curl -s -o /dev/null -D - "$URL$1" | tr -d '\r'; }
headers /watch/nimbulon-web.wasm >"$T/h.wasm"
headers /watch/nimbulon-web.js >"$T/h.js"
headers "/watch/$id" >"$T/h.page"
expect "the module is application/wasm" grep -qx 'Content-Type: application/wasm' "$T/h.wasm"
expect "the module is cached for a year" grep -qx 'Cache-Control: public, max-age=31536000, immutable' "$T/h.wasm"
expect "its script is JavaScript, cached for a year" \
  sh -c "grep -qx 'Content-Type: text/javascript; charset=utf-8' '$T/h.js' && grep -q 'max-age=31536000' '$T/h.js'"
expect "the page is HTML, checked again each time, with its policy" \
  sh -c "grep -qx 'Content-Type: text/html; charset=utf-8' '$T/h.page' && grep -qx 'Cache-Control: no-cache' '$T/h.page' \
         && grep -qx \"Content-Security-Policy: $WATCH_POLICY\" '$T/h.page'"
expect "the page names its files by the build's version" \
  sh -c "curl -s '$URL/watch/$id' | grep -q 'nimbulon-web.js?v=[0-9a-f]\{16\}'"
# The module and its script precompressed: smaller in gzip and brotli, the same bytes decoded.
for file in nimbulon-web.wasm nimbulon-web.js; do
  curl -s -o "$T/plain" "$URL/watch/$file"
  for coding in gzip br; do
    curl -s -H "Accept-Encoding: $coding" -o "$T/packed" -D "$T/packed.h" "$URL/watch/$file"
    curl -s --compressed -H "Accept-Encoding: $coding" -o "$T/unpacked" "$URL/watch/$file"
    expect "$file in $coding: $(stat -c %s "$T/packed") bytes for $(stat -c %s "$T/plain"), the same bytes decoded" \
      sh -c "tr -d '\r' <'$T/packed.h' | grep -qx 'Content-Encoding: $coding' && cmp -s '$T/plain' '$T/unpacked' \
             && test \$(stat -c %s '$T/packed') -lt \$(stat -c %s '$T/plain')"
  done
done
for path in /watch/ /watch/x /watch/../ranking.sqlite /watch/%2e%2e/%2e%2e/etc/passwd /watch/watch.html \
            /watch/-1 /watch/1234567890123456789 "/watch/$id/nimbulon-web.wasm" /watch/99999 "/watch/0$id"; do
  code=$(curl -s --path-as-is -o /dev/null -w '%{http_code}' "$URL$path")
  expect "$path is not served ($code)" test "$code" = 404
done
curl -s -o "$T/missing.html" -D "$T/h.missing" "$URL/watch/99999"
expect "a play that is not there is the site's 404 page, which loads nothing" \
  sh -c "tr -d '\r' <'$T/h.missing' | grep -q '^HTTP/1.1 404' && grep -q '<h1>No such play.</h1>' '$T/missing.html' \
         && ! grep -q '<script' '$T/missing.html'"
expect "a POST to the page is refused (405)" test "$(curl -s -o /dev/null -w '%{http_code}' -X POST "$URL/watch/$id")" = 405
expect "... and one with a body is refused unread (413)" \
  test "$(curl -s -o /dev/null -w '%{http_code}' -d x "$URL/watch/$id")" = 413

