#!/usr/bin/env python3
"""Figures of the game in its page, in Debian's headless Chromium (DevTools protocol), printed:

  game_page_bench.py URL [--trials N]

  first picture   from the page's navigation to the game's first picture on the canvas, and the
                  bytes the first start fetched (compressed as sent) and a reload fetched again;
  frame cost      the game's work between two of the browser's turns (logic, drawing, the picture
                  put on the canvas, the sound mixed), median, p90, p99 and worst over a play of
                  ten seconds firing and weaving, with the canvas shown at 1x and at 2x (the
                  browser's compositor scales it: that part is not in these figures), and the
                  pictures a second over that play (the game's pace: 60 whatever the display's);
  key latency     from a key's event in the page to the game putting the picture that answers it
                  on the canvas (the title's cursor arriving on the next row), beside a minimal
                  canvas page that answers a key by drawing on its next animation frame, measured
                  the same way in the same browser, trials alternating.

A benchmark: the figures depend on the machine and its load; nothing is asserted.
"""
import argparse, json, os, random, statistics, sys, time
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
from cdp_page import Browser
from game_page import Page, LOG_TITLE, LOG_TITLE_BEGUN, LOG_PLAY, LOG_PLAY_END

# Keeps, for every key pressed, the time of its event, and for the game's page watches a region of
# the picture for the first change after it (the title's cursor arriving on a row).
WATCH = """(() => {
  window.benchKeys = [];
  window.benchAnswers = [];
  window.addEventListener('keydown', e => { window.benchKeys.push(performance.now()); }, true);
  const page = window.nimbulon;
  if (!page) return;
  const present = page.present;
  let before = null;
  page.present = (rgba, x, w) => {
    present(rgba, x, w);
    if (!window.benchRegion) return;
    const [left, top, right, bottom] = window.benchRegion;
    let sum = 0;
    for (let y = top; y < bottom; y++) for (let i = (y * 800 + left) * 4; i < (y * 800 + right) * 4; i++) sum = (sum * 31 + rgba[i]) | 0;
    if (before !== null && sum !== before && window.benchKeys.length > window.benchAnswers.length)
      window.benchAnswers.push(performance.now() - window.benchKeys[window.benchKeys.length - 1]);
    before = sum;
  };
})()"""

# The floor: a canvas that answers a key on its next animation frame.
FLOOR = """data:text/html,<!DOCTYPE html><body style="margin:0;background:%23000"><canvas id="c" width="800" height="600"></canvas>
<script>
const g = document.getElementById('c').getContext('2d');
window.benchKeys = []; window.benchAnswers = []; let pending = false, colour = 0;
window.addEventListener('keydown', e => { window.benchKeys.push(performance.now()); pending = true; });
function frame() {
  if (pending) { pending = false; colour ^= 255; g.fillStyle = 'rgb(' + colour + ',80,80)'; g.fillRect(340, 250, 120, 100);
                 window.benchAnswers.push(performance.now() - window.benchKeys[window.benchKeys.length - 1]); }
  requestAnimationFrame(frame);
}
requestAnimationFrame(frame);
window.nimbulon = { frames: 0 }; (function count() { window.nimbulon.frames++; requestAnimationFrame(count); })();
</script></body>"""


def figures(values):
    v = sorted(values)
    if not v:
        return "no samples"
    at = lambda q: v[min(len(v) - 1, int(q * len(v)))]
    return "median %.2f  p90 %.2f  p99 %.2f  worst %.2f ms  (%d)" % (statistics.median(v), at(0.9), at(0.99), v[-1], len(v))


def session(b, width, height):
    target = b.send("Target.createTarget", {"url": "about:blank"})["targetId"]
    s = b.send("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
    for domain in ("Page", "Runtime", "Network"):
        b.send(domain + ".enable", session=s)
    b.send("Emulation.setDeviceMetricsOverride", {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False},
           session=s)
    return s


def bytes_fetched(b, s, since):
    total, n = 0, 0
    for e in b.events[since:]:
        if e.get("sessionId") == s and e.get("method") == "Network.loadingFinished":
            total += e["params"].get("encodedDataLength", 0)
            n += 1
    return total, n


def to_title(p):
    p.wait_log("ID= = 6f")
    if LOG_TITLE_BEGUN not in p.log():
        p.press("z")
    p.wait_log(LOG_TITLE)
    p.after_frames(60)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("url")
    ap.add_argument("--trials", type=int, default=30)
    a = ap.parse_args()
    b = Browser(180)
    try:
        for scale, (w, h) in ((1, (900, 680)), (2, (1700, 1290))):
            s = session(b, w, h)
            p = Page(b, s, "/tmp", 120)
            since = len(b.events)
            b.send("Page.navigate", {"url": a.url + "?lang=en"}, session=s)
            p.until("the first picture", lambda: p.eval("window.nimbulon && nimbulon.firstPicture"))
            if scale == 1:
                first = p.eval("nimbulon.firstPicture")
                p.wait_log(LOG_TITLE)
                p.until("the title's song", lambda: p.eval("nimbulon.playingSong()") or True)
                sent, files = bytes_fetched(b, s, since)
                print("first picture       %.0f ms after the page's navigation (loopback)" % first)
                print("bytes, first start  %d in %d responses, as sent, before any key" % (sent, files))
                song = p.eval("fetch('music/title.ogg').then(r => r.arrayBuffer()).then(b => b.byteLength)")
                print("title song          %d bytes more, fetched when the first key or click starts the sound" % song)
            to_title(p)
            print("canvas at %dx       %s" % (scale, p.eval("nimbulon.scale")))
            # A play: fire, weave left and right.
            for _ in range(20):
                if LOG_PLAY in p.log():
                    break
                p.press("z")
            p.wait_log(LOG_PLAY)
            p.key("z", True)
            p.after_frames(30)
            p.eval("nimbulon.workMs.length = 0")
            frames0, t0 = p.frames(), time.monotonic()
            moves = {"Left": ("ArrowLeft", "ArrowLeft", 37), "Right": ("ArrowRight", "ArrowRight", 39)}
            for i in range(10):
                code, key, vk = moves["Right" if i % 2 else "Left"]
                b.send("Input.dispatchKeyEvent", {"type": "rawKeyDown", "code": code, "key": key, "windowsVirtualKeyCode": vk}, session=s)
                p.after_frames(60)
                b.send("Input.dispatchKeyEvent", {"type": "keyUp", "code": code, "key": key, "windowsVirtualKeyCode": vk}, session=s)
                if LOG_PLAY_END in p.log():
                    break
            pace = (p.frames() - frames0) / (time.monotonic() - t0)
            work = p.eval("nimbulon.workMs.slice()")
            p.key("z", False)
            print("frame cost at %dx    %s" % (scale, figures(work)))
            print("pace at %dx          %.1f pictures a second" % (scale, pace))
            if scale == 1:
                b.send("Page.reload", {}, session=s)
                since = len(b.events)
                p.until("the first picture again", lambda: p.eval("window.nimbulon && nimbulon.firstPicture"))
                p.wait_log(LOG_TITLE)
                again, files = bytes_fetched(b, s, since)
                print("bytes, a reload     %d in %d responses (the rest from the cache)" % (again, files))

        # Key latency, the game's title and the floor page side by side, trials alternating.
        game_s, floor_s = session(b, 900, 680), session(b, 900, 680)
        game, floor = Page(b, game_s, "/tmp", 120), Page(b, floor_s, "/tmp", 120)
        b.send("Page.navigate", {"url": a.url + "?lang=en"}, session=game_s)
        b.send("Page.navigate", {"url": FLOOR}, session=floor_s)
        to_title(game)
        game.eval(WATCH)
        floor.until("the floor page", lambda: floor.eval("window.nimbulon && nimbulon.frames > 10"))
        results = {"game": [], "floor": []}
        # The title's cursor arrow, picture x 240..270, on the second row (Down) or the first (Up).
        rows = {"Down": [240, 352, 270, 368], "Up": [240, 332, 270, 348]}
        for trial in range(a.trials):
            for name, p_, s_ in (("game", game, game_s), ("floor", floor, floor_s)):
                # A page in the background is slowed by the browser: the measured one is brought
                # to the front (its turn to have the keyboard).
                b.send("Page.bringToFront", {}, session=s_)
                key = "Down" if trial % 2 == 0 else "Up"
                if name == "game":
                    p_.eval("window.benchRegion = %s" % json.dumps(rows[key]))
                p_.after_frames(random.randint(4, 10))
                answers = p_.eval("window.benchAnswers.length")
                p_.key(key, True)
                try:
                    p_.until("the answer", lambda: p_.eval("window.benchAnswers.length") > answers, 5)
                    results[name].append(p_.eval("window.benchAnswers[window.benchAnswers.length - 1]"))
                except TimeoutError:
                    pass
                p_.key(key, False)
                p_.after_frames(4)
        for name in ("floor", "game"):
            print("key latency %-6s  %s" % (name, figures(results[name])))
        if results["floor"] and results["game"]:
            print("key latency ratio   %.2f (game median / floor median)" %
                  (statistics.median(results["game"]) / statistics.median(results["floor"])))
    finally:
        b.close()


if __name__ == "__main__":
    main()
