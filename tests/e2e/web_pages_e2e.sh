#!/usr/bin/env bash
# The ranking's web pages in a real browser: honest plays uploaded to our server on loopback under
# hostile names and comments, then every page opened in a headless browser at a phone's
# and a desktop's width, in Chromium and in Firefox ESR (tests/e2e/browser_page.py): screenshots taken,
# the hostile text shown as text with no script run and nothing in the console, the front page's
# lists equal to the game's lists entry for entry, the chart of a play that lost two lives showing
# both marks. Also the headers (policy, ETag, 304, the replay's file name) and the JSON.
# Usage: web_pages_e2e.sh [BUILD_DIR] — set SHOTS=DIR to keep the screenshots.
set -u
REPO=$(cd "$(dirname "$0")/../.." && pwd)
. "$REPO/tests/e2e/lib.sh" "$@"
. "$REPO/tests/e2e/server_start.sh"
SERVER="$BUILD/server/nimbulon-server"
T=$(mktemp -d /tmp/nimbulon-web-pages-XXXXXX)
SHOTS=${SHOTS:-$T/shots}
mkdir -p "$SHOTS"
cleanup() {
  [ -n "${SERVER_PID:-}" ] && kill "$SERVER_PID" 2>/dev/null && wait "$SERVER_PID" 2>/dev/null
  [ -n "${ORIGIN_PID:-}" ] && kill "$ORIGIN_PID" 2>/dev/null && wait "$ORIGIN_PID" 2>/dev/null
  rm -rf "$T"
  e2e_finish
}
trap cleanup EXIT

BROWSERS=${BROWSERS:-chromium firefox}
e2e_require chromium "the pages in Chromium" command -v chromium || exit $((E2E_FAILED > 0))
e2e_require firefox-esr "the pages in Firefox" command -v firefox-esr || exit $((E2E_FAILED > 0))

# Honest plays: mode4_quit1500 loses two lives, mode4_lost all three; a few short ones of mode 4
# so that its list is longer than the front page shows (the pages of a long list are the unit
# tests' business).
"$BUILD/server/nimbulon-record-plays" "$T/plays" 8 >"$T/plays.txt" || { expect "plays recorded" false; exit 1; }
start_nimbulon_server "$SERVER" "$T/ranking.sqlite" "$T/server.log" --checkers 2
expect "the server starts" test -n "$URL"

upload() {  # upload NAME COMMENT FILE: the reply's first byte (text sent as typed, never read as a file)
  curl -s --max-time 120 --form-string "name=$1" --form-string pass=0123456789abcdef0123456789abcdef \
    --form-string "message=$2" -F "replay_file=@$3;filename=replay_file" "$URL/upload" | head -c 1
}
SCRIPT_COMMENT='<script>document.title="pwned"</script>'
IMG_COMMENT='"><img src=x onerror="document.body.dataset.pwned=1">'
expect "a play that lost two lives is ranked under a hostile name" \
  test "$(upload '<i>two' "$SCRIPT_COMMENT" "$T/plays/mode4_quit1500.rep")" = 0
expect "a play that lost every life is ranked" test "$(upload "'lost" "$IMG_COMMENT" "$T/plays/mode4_lost.rep")" = 0
expect "plays of the other three modes are ranked" test "$(upload 'lap&2' '日本語 & <b>bold</b>' "$T/plays/mode5_quit700.rep")$(upload old1 'old first lap' "$T/plays/mode2_quit600.rep")$(upload old2 '' "$T/plays/mode3_quit400.rep")" = 000
seq 1 8 | xargs -P 4 -I{} sh -c "curl -s --max-time 120 -F name=m{} -F pass=0123456789abcdef0123456789abcdef \
  -F message=many -F 'replay_file=@$T/plays/many/{}.rep;filename=replay_file' '$URL/upload' | head -c 1" >"$T/many.txt"
expect "8 more plays of mode 4 are ranked" test "$(tr -d '\n' <"$T/many.txt")" = 00000000

id_of() {  # id_of VERSION NAME
  curl -s "$URL/api/ranking?version=$1" | python3 -c '
import json, sys
print(next(e["id"] for e in json.load(sys.stdin)["entries"] if e["username"] == sys.argv[1]))' "$2"
}
TWO=$(id_of 106 '<i>two')
LOST=$(id_of 106 "'lost")

# Headers: the policy, no sniffing, no referrer, an ETag that answers 304 until the list changes.
curl -s -D "$T/h" -o /dev/null "$URL/"
tr -d '\r' <"$T/h" >"$T/headers"
# The whole policy: a source added to any directive (a "script-src *") is a failure.
POLICY="default-src 'none'; style-src 'self'; img-src 'self'; base-uri 'none'; form-action 'self'; frame-ancestors 'none'"
expect "the front page carries a policy without scripts" grep -qx "Content-Security-Policy: $POLICY" "$T/headers"
expect "nosniff and no referrer" sh -c "grep -qx 'X-Content-Type-Options: nosniff' '$T/headers' && grep -qx 'Referrer-Policy: no-referrer' '$T/headers'"
ETAG=$(sed -n 's/^ETag: //p' "$T/headers")
expect "the front page answers 304 to its own ETag" \
  test "$(curl -s -o /dev/null -w '%{http_code}' -H "If-None-Match: $ETAG" "$URL/")" = 304
upload newbie 'one more' "$T/plays/mode4_quit300.rep" >/dev/null
expect "a new play changes the front page's ETag" \
  test "$(curl -s -o /dev/null -w '%{http_code}' -H "If-None-Match: $ETAG" "$URL/")" = 200

# History: newbie's better play supersedes the first, whose addresses all stay valid.
OLD=$(id_of 106 newbie)
expect "newbie's better play is ranked" test "$(upload newbie 'better' "$T/plays/mode4_quit600.rep")" = 0
NEW=$(id_of 106 newbie)
expect "the list shows newbie once, with the better play ($OLD superseded by $NEW)" \
  sh -c "test '$NEW' != '$OLD' && test \"\$(curl -s '$URL/ranking?version=106' | grep -cx newbie)\" = 1"
curl -s -o "$T/old.rep" "$URL/replay?id=$OLD"
expect "the superseded play's replay is still served, byte for byte" cmp -s "$T/old.rep" "$T/plays/mode4_quit300.rep"
expect "its page and its watch page still answer" \
  sh -c "test \"\$(curl -s -o /dev/null -w '%{http_code}' '$URL/play/$OLD')\" = 200 && test \"\$(curl -s -o /dev/null -w '%{http_code}' '$URL/watch/$OLD')\" != 404"
curl -s -D "$T/h2" -o "$T/download.rep" "$URL/replay?id=$TWO"
expect "the replay downloads under a file name of its own, byte for byte" \
  sh -c "tr -d '\r' <'$T/h2' | grep -qx 'Content-Disposition: attachment; filename=\"nimbulon-$TWO.rep\"' && cmp -s '$T/download.rep' '$T/plays/mode4_quit1500.rep'"
expect "an unknown play is 404 as JSON" \
  sh -c "test \"\$(curl -s -o '$T/404.json' -w '%{http_code}' '$URL/api/play/999999')\" = 404 && python3 -c 'import json,sys; sys.exit(json.load(open(sys.argv[1]))[\"status\"] != 404)' '$T/404.json'"

# Compression: each page, list and file in gzip and in brotli when asked for, decoding to the very
# bytes sent to a client that asks for neither, and smaller; the style sheet at the address the
# pages link is cached for a year.
CSS=$(curl -s "$URL/" | sed -n 's/.*<link rel="stylesheet" href="\([^"]*\)".*/\1/p')
for path in / /mode/4 "/play/$TWO" "/api/ranking?version=106" "/player/%3Ci%3Etwo" "$CSS"; do
  curl -s -o "$T/plain" -D "$T/plain.h" "$URL$path"
  for coding in gzip br; do
    curl -s -H "Accept-Encoding: $coding" -o "$T/packed" -D "$T/packed.h" "$URL$path"
    curl -s --compressed -H "Accept-Encoding: $coding" -o "$T/unpacked" "$URL$path"
    expect "$path in $coding: $(stat -c %s "$T/packed") bytes for $(stat -c %s "$T/plain"), the same bytes decoded" \
      sh -c "tr -d '\r' <'$T/packed.h' | grep -qx 'Content-Encoding: $coding' && tr -d '\r' <'$T/packed.h' | grep -qx 'Vary: Accept-Encoding' \
             && ! grep -qi '^Content-Encoding' '$T/plain.h' && cmp -s '$T/plain' '$T/unpacked' \
             && test \$(stat -c %s '$T/packed') -lt \$(stat -c %s '$T/plain')"
  done
done
expect "the style sheet at its versioned address is cached for a year" \
  sh -c "case '$CSS' in /style.css\?v=*) ;; *) exit 1;; esac && curl -sI '$URL$CSS' | tr -d '\r' | grep -qx 'Cache-Control: public, max-age=31536000, immutable'"
expect "the style sheet at an old address is checked again" \
  sh -c "curl -sI '$URL/style.css?v=0000000000000000' | tr -d '\r' | grep -qx 'Cache-Control: no-cache'"
GZ_ETAG=$(curl -s -D - -o /dev/null -H 'Accept-Encoding: gzip' "$URL/mode/4" | tr -d '\r' | sed -n 's/^ETag: //p')
expect "the gzip form has a tag of its own ($GZ_ETAG), answered 304 in gzip only" \
  sh -c "test \"\$(curl -s -o /dev/null -w '%{http_code}' -H 'Accept-Encoding: gzip' -H 'If-None-Match: $GZ_ETAG' '$URL/mode/4')\" = 304 \
         && test \"\$(curl -s -o /dev/null -w '%{http_code}' -H 'If-None-Match: $GZ_ETAG' '$URL/mode/4')\" = 200"

# page PATH WIDTH NAME [EXPR...]: the page in browser $B; its report in $R/NAME-WIDTH.json, its
# screenshot in $SHOTS/$B/NAME-WIDTH.png.
page() {
  local path=$1 width=$2 name=$3; shift 3
  local evals=(--eval 'document.documentElement.scrollWidth' --eval 'document.title'
               --eval 'document.querySelectorAll("script, img, iframe, [onerror], [onload]").length'
               --eval 'document.body.dataset.pwned || ""')
  for e in "$@"; do evals+=(--eval "$e"); done
  timeout 120 /usr/bin/python3 "$REPO/tests/e2e/browser_page.py" --browser "$B" "$URL$path" --width "$width" \
    --screenshot "$SHOTS/$B/$name-$width.png" "${evals[@]}" >"$R/$name-$width.json" 2>"$R/$name-$width.err"
}
# The checks every page passes: loaded, no wider than the viewport, no script or injected element,
# nothing in the console, a screenshot of the requested width.
page_sound() {  # page_sound NAME WIDTH
  python3 - "$R/$1-$2.json" "$2" "$SHOTS/$B/$1-$2.png" <<'PY'
import json, struct, sys
r = json.load(open(sys.argv[1]))
width, title, injected, pwned = r["evals"][:4]
png = open(sys.argv[3], "rb").read()
shot_w, shot_h = struct.unpack(">II", png[16:24])
problems = []
if r["status"] != 200: problems.append("status %s" % r["status"])
if width > int(sys.argv[2]): problems.append("%d pixels wide in a %s viewport" % (width, sys.argv[2]))
if "pwned" in title or injected or pwned: problems.append("a script or element of a player's text: %r %r %r" % (title, injected, pwned))
if r["console"]: problems.append("console: %s" % r["console"])
if shot_w != int(sys.argv[2]) or shot_h < 200: problems.append("screenshot %dx%d" % (shot_w, shot_h))
print("   %s" % ("; ".join(problems) if problems else "%dx%d, %r" % (shot_w, shot_h, title)))
sys.exit(1 if problems else 0)
PY
}

shows_superseded() {  # shows_superseded WIDTH: the old play's page, its mark and the link to the better play
  page_sound superseded "$1" && python3 - "$R/superseded-$1.json" "$NEW" <<'PY'
import json, sys
e = json.load(open(sys.argv[1]))["evals"]
print("   %r -> %s" % (e[4], e[5]))
sys.exit(0 if "superseded by #" + sys.argv[2] in e[4] and e[5] == "/play/" + sys.argv[2] else 1)
PY
}
shows_history() {  # shows_history WIDTH: newbie's history, newest first
  page_sound history "$1" && python3 - "$R/history-$1.json" "$NEW" <<'PY'
import json, sys
rows = json.loads(json.load(open(sys.argv[1]))["evals"][4])
print("   %r" % rows)
sys.exit(0 if len(rows) == 2 and rows[0].endswith("best") and rows[1].endswith("superseded by #" + sys.argv[2]) else 1)
PY
}
finds_two() {  # finds_two WIDTH: the search's one result, and the form to search again
  page_sound search "$1" && python3 - "$R/search-$1.json" <<'PY'
import json, sys
e = json.load(open(sys.argv[1]))["evals"]
print("   %s" % e[4])
sys.exit(0 if json.loads(e[4]) == [["<i>two", "/player/%3Ci%3Etwo"]] and e[5] else 1)
PY
}

ROWS='JSON.stringify([...document.querySelectorAll("section.mode")].map(s => [s.id, [...s.querySelectorAll("tbody tr[data-id]")].map(tr => [...tr.cells].map(td => td.textContent))]))'
# Every page and every check in each browser: Debian's Chromium and Firefox ESR by default.
browser_checks() {
for width in 375 1280; do
  page / $width front "$ROWS"
  expect "$B: / at $width: readable, no script ran, nothing in the console" page_sound front $width
  page /mode/4 $width mode4 'document.querySelectorAll("tbody tr[data-id]").length'
  expect "$B: /mode/4 at $width: readable, nothing injected" page_sound mode4 $width
  page "/play/$TWO" $width play \
    'JSON.stringify([...document.querySelectorAll(".life-lost")].map(g => [g.dataset.frame, g.getBoundingClientRect().width > 0]))' \
    'document.querySelector("p.comment").textContent'
  expect "$B: /play/$TWO at $width: readable, nothing injected" page_sound play $width
  page "/player/%3Ci%3Etwo" $width player 'document.querySelector("h1").textContent' 'document.querySelector("td.comment").textContent'
  expect "$B: /player/<i>two at $width: readable, nothing injected" page_sound player $width
  page "/play/$LOST" $width lost 'document.querySelector("p.comment").textContent'
  expect "$B: /play/$LOST at $width: readable, nothing injected" page_sound lost $width
  page "/play/$OLD" $width superseded 'document.querySelector("p.superseded").textContent' \
    'document.querySelector("p.superseded a").getAttribute("href")'
  expect "$B: /play/$OLD at $width: readable, marked superseded by #$NEW" shows_superseded $width
  page "/player/newbie" $width history 'JSON.stringify([...document.querySelectorAll("table.history tbody tr")].map(tr => tr.textContent))'
  expect "$B: /player/newbie at $width: both plays in the history, the old one superseded" shows_history $width
  # Finding and sharing: the search (the form's own address), the about and API pages, a 404 page.
  page "/search?name=I%3Et" $width search 'JSON.stringify([...document.querySelectorAll("ul.players a")].map(a => [a.textContent, a.getAttribute("href")]))' \
    'document.querySelector("form.search input[name=name]") !== null'
  expect "$B: /search?name=I>t at $width: finds <i>two, the search form on the page" finds_two $width
  for p in about api; do
    page "/$p" $width "$p" 'document.querySelector("h1").textContent'
    expect "$B: /$p at $width: readable" page_sound "$p" $width
  done
  page /nope $width nope 'document.querySelector("h1").textContent'
  expect "$B: /nope at $width: the 404 page, readable" python3 -c '
import json, sys
r = json.load(open(sys.argv[1]))
print("   %s %r" % (r["status"], r["evals"][4]))
sys.exit(0 if r["status"] == 404 and r["evals"][4] == "No such page." and r["evals"][0] <= int(sys.argv[2]) else 1)' "$R/nope-$width.json" $width
done

# A page of another origin reading the list (CORS, with the preflight its If-None-Match asks for).
timeout 120 /usr/bin/python3 "$REPO/tests/e2e/browser_page.py" --browser "$B" "$ORIGIN/" --width 1280 \
  --wait-for 'document.body.dataset.names !== undefined' --eval 'document.body.dataset.names' >"$R/origin.json" 2>"$R/origin.err"
expect "$B: a page of another origin reads the list's first three names" python3 - "$R/origin.json" "$URL" <<'PY'
import json, sys, urllib.request
names = json.load(open(sys.argv[1]))["evals"][0]
whole = [e["username"] for e in json.load(urllib.request.urlopen(sys.argv[2] + "/api/ranking?version=106"))["entries"]]
print("   %s" % names)
sys.exit(0 if json.loads(names) == whole[:3] else 1)
PY

expect "$B: /mode/4 lists all 12 entries of the mode (the lap among them), where / shows its top 10" \
  python3 -c 'import json,sys; sys.exit(json.load(open(sys.argv[1]))["evals"][4] != 12)' "$R/mode4-375.json"
expect "$B: the hostile comments are shown as text, as sent" python3 - "$R" "$SCRIPT_COMMENT" "$IMG_COMMENT" <<'PY'
import json, sys
t = sys.argv[1]
shown = {json.load(open(t + "/play-1280.json"))["evals"][5], json.load(open(t + "/lost-1280.json"))["evals"][4],
         json.load(open(t + "/player-375.json"))["evals"][5]}
name = json.load(open(t + "/player-375.json"))["evals"][4]
print("   %r, name %r" % (sorted(shown), name))
sys.exit(0 if shown == {sys.argv[2], sys.argv[3]} and name == "<i>two" else 1)
PY

expect "$B: the lists on / are the game's lists (GET /ranking), entry for entry" python3 - "$R/front-1280.json" "$URL" <<'PY'
import json, sys, urllib.request
sections = dict(json.loads(json.load(open(sys.argv[1]))["evals"][4]))
modes = {"mode-4": (106, 4), "mode-5": (107, 5), "mode-2": (104, 4), "mode-3": (105, 5)}
compared = 0
for section, (version, last) in modes.items():
    text = urllib.request.urlopen("%s/ranking?version=%d" % (sys.argv[2], version)).read().decode()
    # As the game reads it: a key line and its value line (which may be empty) until an empty
    # line ends the record.
    records, record, lines = [], {}, iter(text.split("\n"))
    for line in lines:
        if line:
            record[line] = next(lines)
        else:
            records.append(record)
            record = {}
    records = [r for r in records if r]
    expected = [[r["rank"], r["username"], r["score"], "ALL" if int(r["stage"]) > last else r["stage"],
                 r["regist_date"], r["comment"]] for r in records[:10]]
    if sections[section] != expected or not expected:
        print("   %s differs:\n   page %s\n   list %s" % (section, sections[section], expected)); sys.exit(1)
    compared += len(expected)
print("   %d entries compared" % compared)
sys.exit(0 if compared == 10 + 1 + 1 + 1 else 1)
PY

expect "$B: the chart of the play that lost two lives shows both marks, where the JSON says" \
  python3 - "$R/play-375.json" "$R/play-1280.json" "$URL/api/play/$TWO" <<'PY'
import json, sys, urllib.request
api = json.load(urllib.request.urlopen(sys.argv[3]))
frames = [str(p["frame"]) for p in api["chart"]["lives_lost"]]
for report in sys.argv[1:3]:
    marks = json.loads(json.load(open(report))["evals"][4])
    print("   marks %s, lives lost at %s" % (marks, frames))
    if len(marks) != 2 or [m[0] for m in marks] != frames or not all(m[1] for m in marks): sys.exit(1)
sys.exit(0 if api["lives"] == 1 else 1)
PY

# A whole first lap, played through its five stages: the chart marks the four boundaries between
# them, in order and where the JSON's stage ends put them.
page "/play/$LAP" 1280 lap \
  'JSON.stringify([...document.querySelectorAll("line.stage-boundary")].map(l => [Number(l.getAttribute("x1")), l.getBoundingClientRect().height > 0]))'
expect "$B: /play/$LAP at 1280: readable, nothing injected" page_sound lap 1280
expect "$B: the lap's chart shows its four stage boundaries where the JSON says" \
  python3 - "$R/lap-1280.json" "$URL/api/play/$LAP" <<'PY'
import json, sys, urllib.request
api = json.load(urllib.request.urlopen(sys.argv[2]))
ends = [s["end_frame"] for s in api["chart"]["stages"]]
lines = json.loads(json.load(open(sys.argv[1]))["evals"][4])
print("   boundaries at x %s, stage ends at frames %s" % ([round(x) for x, _ in lines], ends))
if len(ends) != 5 or len(lines) != 4 or not all(shown for _, shown in lines): sys.exit(1)
xs = [x for x, _ in lines]
# The frame axis is linear: the boundaries stand in the same proportions as the frames they mark.
for x, f in zip(xs, ends):
    if abs((x - xs[0]) / (xs[-1] - xs[0]) - (f - ends[0]) / (ends[3] - ends[0])) > 0.005: sys.exit(1)
sys.exit(0 if xs == sorted(xs) and ends == sorted(ends) else 1)
PY
}
expect "a play through every stage of a lap is ranked" \
  test "$(upload lapper 'a whole lap' "$REPO/server/tests/data/first-lap.rep")" = 0
LAP=$(id_of 106 lapper)
# The other origin: a page of its own on another loopback port, fetching the list as a script would.
mkdir -p "$T/origin"
cat >"$T/origin/index.html" <<HTML
<!DOCTYPE html><html><body><script>
fetch("$URL/api/ranking?mode=4&per_page=3", {headers: {"If-None-Match": "\"x\""}})
  .then(r => r.json()).then(j => { document.body.dataset.names = JSON.stringify(j.entries.map(e => e.username)); })
  .catch(e => { document.body.dataset.names = "error: " + e; });
</script></body></html>
HTML
ORIGIN_PORT=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server "$ORIGIN_PORT" --bind 127.0.0.1 --directory "$T/origin" >/dev/null 2>&1 &
ORIGIN_PID=$!
ORIGIN="http://127.0.0.1:$ORIGIN_PORT"
for _ in $(seq 50); do curl -s -o /dev/null "$ORIGIN/" && break; sleep 0.1; done
for B in $BROWSERS; do
  R=$T/$B
  mkdir -p "$R" "$SHOTS/$B"
  browser_checks
done
kill "$ORIGIN_PID" 2>/dev/null; wait "$ORIGIN_PID" 2>/dev/null

# Sharing and the API, as other tools see them: every page's description and its JSON link, the
# robots' file and the icon, one address per play, the API's pages.
expect "every page describes itself and links its own JSON" python3 - "$URL" "$TWO" <<'PY'
import re, sys, urllib.request
url, two = sys.argv[1], sys.argv[2]
pages = {"/": "/api/ranking?mode=4", "/mode/5": "/api/ranking?mode=5&page=1&per_page=50",
         "/play/" + two: "/api/play/" + two, "/player/%3Ci%3Etwo": "/api/player/%3Ci%3Etwo"}
for path, json_link in pages.items():
    html = urllib.request.urlopen(url + path).read().decode()
    link = re.search(r'<a class="json" href="([^"]*)"', html).group(1).replace("&amp;", "&")
    described = re.search(r'<meta name="description" content="([^"]+)"', html) and re.search(r'<meta property="og:title" content="[^"]+"', html)
    print("   %s: %s" % (path, link))
    if link != json_link or not described or urllib.request.urlopen(url + link).status != 200: sys.exit(1)
PY
expect "robots.txt and a favicon are served" \
  sh -c "curl -s '$URL/robots.txt' | grep -qx 'User-agent: \*' && curl -s -o /dev/null -w '%{content_type}' '$URL/favicon.ico' | grep -qx 'image/svg+xml'"
for path in /play/0$TWO "/play/$TWO%00" /play/+$TWO; do
  expect "$path is not a second address of play $TWO (404)" test "$(curl -s --path-as-is -o /dev/null -w '%{http_code}' "$URL$path")" = 404
done
expect "the API pages mode 4's list: 2 entries a page, the second page starts at the third" python3 - "$URL" <<'PY'
import json, sys, urllib.request
one = json.load(urllib.request.urlopen(sys.argv[1] + "/api/ranking?mode=4&per_page=2"))
two = json.load(urllib.request.urlopen(sys.argv[1] + "/api/ranking?mode=4&page=2&per_page=2"))
whole = json.load(urllib.request.urlopen(sys.argv[1] + "/api/ranking?version=106"))["entries"]
print("   %d entries in %d pages" % (one["total"], one["pages"]))
sys.exit(0 if one["entries"] + two["entries"] == whole[:4] and one["pages"] == (len(whole) + 1) // 2 else 1)
PY
