#!/usr/bin/env python3
"""Opens one page in Debian's headless Chromium and reports on it, over the DevTools protocol
spoken on a pipe (--remote-debugging-pipe: no port, no websocket library).

  cdp_page.py URL --width W [--screenshot OUT.png] [--eval EXPR]... [--timeout S]

Prints one JSON object: "evals" (each expression's value, evaluated in the page after it has
loaded), "console" (every console message, exception and browser log entry the page caused, CSP
reports among them) and "status" (the main document's HTTP status). The page is laid out at
width W (a phone's viewport below 500 pixels); the screenshot covers the whole page.
"""
import argparse, base64, json, os, select, shutil, signal, subprocess, sys, tempfile, time


class Browser:
    def __init__(self, timeout):
        self.timeout = timeout
        self.profile = tempfile.mkdtemp(prefix="nimbulon-cdp-")
        to_browser_r, self.to_browser = os.pipe()
        self.from_browser, from_browser_w = os.pipe()
        # Chromium reads commands on descriptor 3 and writes replies on 4; the parent's ends of the
        # pipes stay out of it, so that either side sees the other go.
        parent_ends = (self.to_browser, self.from_browser)
        def fds():
            r, w = os.dup(to_browser_r), os.dup(from_browser_w)
            os.dup2(r, 3)
            os.dup2(w, 4)
            for fd in (r, w, to_browser_r, from_browser_w) + parent_ends:
                if fd > 4:
                    os.close(fd)
        self.proc = subprocess.Popen(
            ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--no-default-browser-check",
             "--hide-scrollbars", "--mute-audio", "--user-data-dir=" + self.profile, "--remote-debugging-pipe",
             "about:blank"],
            preexec_fn=fds, close_fds=False, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self.next_id = 0
        self.buffer = b""
        self.events = []

    def close(self):
        try:
            self.send("Browser.close")
        except Exception:
            pass
        try:
            self.proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        os.close(self.to_browser)
        os.close(self.from_browser)
        shutil.rmtree(self.profile, ignore_errors=True)

    def _read_message(self, deadline):
        while b"\0" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError("the browser did not answer in time")
            ready, _, _ = select.select([self.from_browser], [], [], left)
            if ready:
                chunk = os.read(self.from_browser, 1 << 20)
                if not chunk:
                    raise EOFError("the browser went away")
                self.buffer += chunk
        message, _, self.buffer = self.buffer.partition(b"\0")
        return json.loads(message)

    def send(self, method, params=None, session=None):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + self.timeout
        while True:
            reply = self._read_message(deadline)
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError("%s: %s" % (method, reply["error"]))
                return reply.get("result", {})
            self.events.append(reply)

    def wait_for(self, method, session):
        deadline = time.monotonic() + self.timeout
        for i, e in enumerate(self.events):
            if e.get("method") == method and e.get("sessionId") == session:
                return self.events.pop(i)
        while True:
            e = self._read_message(deadline)
            if e.get("method") == method and e.get("sessionId") == session:
                return e
            self.events.append(e)


def main():
    # A timeout's SIGTERM still closes the browser (the finally below).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    ap = argparse.ArgumentParser()
    ap.add_argument("url")
    ap.add_argument("--width", type=int, default=1280)
    ap.add_argument("--screenshot")
    ap.add_argument("--eval", action="append", default=[])
    ap.add_argument("--timeout", type=float, default=60)
    a = ap.parse_args()
    b = Browser(a.timeout)
    try:
        target = b.send("Target.createTarget", {"url": "about:blank"})["targetId"]
        s = b.send("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        for domain in ("Page", "Runtime", "Log", "Network"):
            b.send(domain + ".enable", session=s)
        phone = a.width < 500
        metrics = {"width": a.width, "height": 800 if phone else 900, "deviceScaleFactor": 1, "mobile": phone}
        b.send("Emulation.setDeviceMetricsOverride", metrics, session=s)
        b.send("Page.navigate", {"url": a.url}, session=s)
        b.wait_for("Page.loadEventFired", s)
        result = {"evals": [], "console": [], "status": None}
        for expr in a.eval:
            r = b.send("Runtime.evaluate", {"expression": expr, "returnByValue": True}, session=s)
            result["evals"].append(r.get("result", {}).get("value"))
        if a.screenshot:
            size = b.send("Page.getLayoutMetrics", session=s)["cssContentSize"]
            b.send("Emulation.setDeviceMetricsOverride", dict(metrics, height=max(int(size["height"]), 100)), session=s)
            shot = b.send("Page.captureScreenshot", {"format": "png"}, session=s)
            with open(a.screenshot, "wb") as f:
                f.write(base64.b64decode(shot["data"]))
        for e in b.events:
            m, p = e.get("method"), e.get("params", {})
            if m == "Runtime.consoleAPICalled":
                result["console"].append({"kind": "console." + p.get("type", ""),
                                          "text": " ".join(str(x.get("value", x.get("description", ""))) for x in p.get("args", []))})
            elif m == "Runtime.exceptionThrown":
                result["console"].append({"kind": "exception", "text": json.dumps(p.get("exceptionDetails", {}))[:400]})
            elif m == "Log.entryAdded":
                entry = p.get("entry", {})
                result["console"].append({"kind": "log." + entry.get("source", ""), "text": entry.get("text", "")})
            elif m == "Network.responseReceived" and p.get("type") == "Document" and result["status"] is None:
                result["status"] = p.get("response", {}).get("status")
        print(json.dumps(result))
    finally:
        b.close()


if __name__ == "__main__":
    main()
