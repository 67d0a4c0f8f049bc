#!/usr/bin/env python3
"""Plays the game in its page as a player would, in a headless browser (Debian's Chromium or
Firefox ESR, driven by browser_page.py): through the credit and the title into a first-lap play, holding the
fire button until the ship is lost, to the records page, into the entry dialog (name, password,
comment typed as text), sends the best play, and sees the list read again with the entry in it;
then reloads the page and checks that the best play is still in the browser's storage.

  game_page.py URL OUT_DIR [--browser chromium|firefox] [--timeout S]

Every step waits for a condition (a line of the game's log, the page's picture count, the form
being open), never a fixed time. Writes OUT_DIR/bestplay.rep (the play as the page saved it),
OUT_DIR/*.png (what the page showed at each step), OUT_DIR/log.txt (the game's log) and prints
one JSON object: "steps" (each step and whether it was reached), "console" (the page's messages).
"""
import argparse, base64, json, os, sys, tarfile, time
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import browser_page

KEYS = {"z": "z", "c": "c", "Down": "ArrowDown", "Up": "ArrowUp", "Return": "Enter", "Tab": "Tab"}
LOG_CREDIT = "ID= = 6f"
LOG_TITLE_BEGUN = "ID= = 6b"
LOG_TITLE = "ID= = 70"
LOG_PLAY = "GameMain コンストラクタ"
LOG_PLAY_END = "GameMain デストラクタ"
LOG_BOX = "メッセージ表示 "
LOG_ANSWER = "メッセージの答え "
LOG_LIST = "ランキングファイル読み込み ファイル名：/save/ranking_1lap_b.dat"
BEST = "/save/bestplay_1lap_b.rep"
SOUND_NOTE_SHOWN = "!document.getElementById('sound-note').hidden"
# A pad as the Gamepad API describes one in the standard layout, its buttons set by the test: the
# page's own reading of pads is what is tried, the same in every browser.
FAKE_PAD = """window.fakePad = {index: 0, id: 'test pad', connected: true, mapping: 'standard', axes: [0, 0, 0, 0],
  buttons: Array.from({length: 17}, () => ({pressed: false, touched: false, value: 0}))};
navigator.getGamepads = () => [window.fakePad]; true"""


class Done(Exception):
    """The steps asked for are all taken."""


class Page:
    def __init__(self, page, out, timeout):
        self.page, self.out, self.timeout = page, out, timeout

    def eval(self, expression):
        return self.page.evaluate(expression)

    def until(self, what, test, timeout=None):
        deadline = time.monotonic() + (timeout or self.timeout)
        while time.monotonic() < deadline:
            value = test()
            if value:
                return value
            time.sleep(0.05)
        raise TimeoutError("waited in vain for " + what)

    def log(self):
        return self.eval("window.nimbulon ? nimbulon.log() : ''") or ""

    def count(self, line):
        return self.log().count(line)

    def wait_log(self, line, times=1, timeout=None):
        self.until("%r in the game's log (%d times)" % (line, times), lambda: self.count(line) >= times, timeout)

    def frames(self):
        return self.eval("window.nimbulon ? nimbulon.frames : 0") or 0

    def after_frames(self, n):
        start = self.frames()
        self.until("%d more pictures" % n, lambda: self.frames() >= start + n)

    def key(self, name, down):
        self.page.key(KEYS[name], down)

    def press(self, name):
        # Held for a few of the game's frames, so that its poll sees it down, then let go.
        self.key(name, True)
        self.after_frames(4)
        self.key(name, False)
        self.after_frames(2)

    def pad_press(self, button):
        self.eval("fakePad.buttons[%d].pressed = true" % button)
        self.after_frames(4)
        self.eval("fakePad.buttons[%d].pressed = false" % button)
        self.after_frames(2)

    def type(self, text):
        self.page.type_text(text)
        self.after_frames(2)

    def shot(self, name):
        self.page.screenshot(os.path.join(self.out, name + ".png"))

    def file(self, path):
        data = self.eval("(() => { try { const b = nimbulon.readSave(%s); let s = ''; for (const c of b) s += String.fromCharCode(c);"
                         " return btoa(s); } catch (e) { return null; } })()" % json.dumps(path))
        return None if data is None else base64.b64decode(data)

    def answer_boxes(self, answered):
        """Answers with Return every box the game shows beyond the first `answered`; the count."""
        while self.count(LOG_BOX) > answered:
            answered += 1
            self.press("Return")
            self.wait_log(LOG_ANSWER, answered)
        return answered


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("url")
    ap.add_argument("out")
    ap.add_argument("--browser", choices=sorted(browser_page.BROWSERS), default="chromium")
    ap.add_argument("--timeout", type=float, default=120)
    ap.add_argument("--native-replay", help="a replay made natively: imported through the page's button as the "
                    "best play of the first lap and watched from the records page at the end")
    ap.add_argument("--static", action="store_true",
                    help="the page as static files from another web server: only to the title, no ranking")
    a = ap.parse_args()
    os.makedirs(a.out, exist_ok=True)
    b = browser_page.open_page(a.browser, 1000, a.timeout + 30)
    steps = []
    def step(name, ok=True):
        steps.append({"step": name, "ok": bool(ok)})
        print("   " + ("ok: " if ok else "FAIL: ") + name, file=sys.stderr)
    try:
        p = Page(b, a.out, a.timeout)
        b.navigate(a.url + "?lang=en")
        p.wait_log(LOG_CREDIT)
        p.shot("credit")
        step("the credit shows")
        step("the page says sound starts with the first key", p.eval(SOUND_NOTE_SHOWN))
        # Past the credit (a press while it is still running), then the title's first row, "play
        # the first lap", until the play begins: presses while the title loads are not seen.
        if LOG_TITLE_BEGUN not in p.log():
            p.press("z")
        p.wait_log(LOG_TITLE)
        p.after_frames(30)
        p.shot("title")
        step("the title shows")
        if a.static:
            step("the page knows it has no ranking server", p.eval("nimbulon.server()") == "")
            # A pad (the standard layout, as the Gamepad API gives it) answers the title: its
            # south button decides the first row, a first-lap play.
            p.eval(FAKE_PAD)
            for _ in range(20):
                if LOG_PLAY in p.log():
                    break
                p.pad_press(0)
            p.wait_log(LOG_PLAY)
            step("a pad's south button starts a play from the title")
            raise Done()
        for _ in range(20):
            if LOG_PLAY in p.log():
                break
            p.press("z")
        p.wait_log(LOG_PLAY)
        step("a first-lap play begins")
        step("the sound started with the first key", p.until("the sound note gone", lambda: not p.eval(SOUND_NOTE_SHOWN)))
        # Fire all along; the ship stands still and is lost within half a minute.
        p.key("z", True)
        p.after_frames(300)
        p.shot("play")
        p.wait_log(LOG_PLAY_END)
        p.key("z", False)
        step("the ship is lost and the play ends")
        # The first key started the sound: the title's song and then the stage's played, and the
        # play's effects came out of the game's mixer into Web Audio.
        step("the effects sounded (peak %s)" % p.eval("nimbulon.soundPeak"), (p.eval("nimbulon.soundPeak") or 0) > 1000)
        p.wait_log(LOG_TITLE, 2)
        p.after_frames(30)
        # The title's second row: the records of the first lap.
        lists = p.count("ranking_1lap_b.dat")
        p.press("Down")
        p.press("z")
        p.until("the records page", lambda: p.count("ranking_1lap_b.dat") > lists)
        p.after_frames(20)
        p.shot("records")
        step("the records page shows")
        # "Send the best play", three rows down (past the last and the best play); the question
        # before going online is answered.
        for _ in range(3):
            p.press("Down")
        answered = [p.count(LOG_BOX)]
        p.press("z")
        def dialog_open():
            answered[0] = p.answer_boxes(answered[0])
            return p.eval("nimbulon.formOpen()")
        p.until("the entry dialog", dialog_open)
        boxes = p.count(LOG_BOX)
        p.type("webace")
        p.press("Tab")
        p.type("hunter2")
        p.press("Tab")
        p.type("ブラウザから good luck")
        p.shot("dialog")
        step("the entry dialog takes name, password and comment")
        reads = p.count(LOG_LIST)
        p.press("Return")
        p.wait_log(LOG_BOX, boxes + 1)
        # The page asked for English (?lang=en): the game's words are the catalogue's.
        sent = "メッセージ表示 Sending the score: The score was sent." in p.log()
        p.shot("sent")
        p.answer_boxes(boxes)
        step("the game says the play was sent", sent)
        p.wait_log(LOG_LIST, reads + 1)
        p.after_frames(20)
        p.shot("list")
        listed = p.file("/save/ranking_1lap_b.dat") or b""
        step("the list read again holds the entry", b"\nwebace\n" in listed)
        best = p.file(BEST)
        if best:
            with open(os.path.join(a.out, "bestplay.rep"), "wb") as f:
                f.write(best)
        step("the best play was saved in the page", best)
        # Saved in the browser's storage: still there after a reload.
        p.until("the save folder written back", lambda: p.eval("nimbulon.saveFlushes() > 0 && !nimbulon.saving()"))
        b.reload()
        p.until("the game started again", lambda: p.eval("window.nimbulon && nimbulon.frames > 0"))
        step("the best play is still there after a reload", best and p.file(BEST) == best)
        if a.native_replay:
            # A save folder made elsewhere, imported through the page's button: the page writes
            # it into its storage and starts the game again on it.
            archive = os.path.join(a.out, "saves.tar")
            with tarfile.open(archive, "w", format=tarfile.USTAR_FORMAT) as t:
                t.add(a.native_replay, arcname="bestplay_1lap_b.rep")
            p.eval("window.beforeImport = true")
            b.set_files("#import", [os.path.abspath(archive)])
            p.until("the page started again", lambda: p.eval("!window.beforeImport && window.nimbulon && nimbulon.frames > 0"))
            with open(a.native_replay, "rb") as f:
                step("the imported best play is in the page's storage", p.file(BEST) == f.read())
            # The records page, its "best play" row (two down), watched to its end.
            if LOG_TITLE_BEGUN not in p.log():
                p.press("z")
            p.wait_log(LOG_TITLE)
            p.after_frames(30)
            lists = p.count("ranking_1lap_b.dat")
            p.press("Down")
            p.press("z")
            p.until("the records page", lambda: p.count("ranking_1lap_b.dat") > lists)
            p.after_frames(20)
            p.press("Down")
            p.press("Down")
            p.press("z")
            p.wait_log("リプレイ終了", 1, 300)
            end = [l for l in p.log().splitlines() if "リプレイ終了" in l][0]
            with open(os.path.join(a.out, "replay_end.txt"), "w") as f:
                f.write(end.split("リプレイ終了", 1)[1].strip() + "\n")
            step("the native replay was watched to its end in the page")
        with open(os.path.join(a.out, "log.txt"), "w") as f:
            f.write(p.log())
    except Done:
        pass
    except Exception as e:
        step("%s: %s" % (type(e).__name__, e), False)
        try:
            with open(os.path.join(a.out, "log.txt"), "w") as f:
                f.write(Page(b, a.out, 5).log())
            Page(b, a.out, 5).shot("failure")
        except Exception:
            pass
    finally:
        console = [("exception: " if c["kind"] == "exception" else "") + c["text"] for c in b.report()[0]]
        songs = [c[len("nimbulon music: "):] for c in console if c.startswith("nimbulon music: ")]
        if steps and all(x["ok"] for x in steps) and not a.static:
            # The title's first song may be cut short by the key that starts the play; the stage's
            # song follows the play, and the title's the return to the title.
            step("the first stage's song played with the play, the title's after it (%s)" % ", ".join(songs),
                 "stage1" in songs and "title" in songs[songs.index("stage1"):])
        print(json.dumps({"steps": steps, "console": console}, ensure_ascii=False))
        b.close()
    sys.exit(0 if steps and all(x["ok"] for x in steps) else 1)


if __name__ == "__main__":
    main()
