#!/usr/bin/python3
"""One page in a real headless browser, the same way in Debian's Chromium and Firefox ESR.

  browser_page.py [--browser chromium|firefox] URL --width W [--screenshot OUT.png] [--eval EXPR]...
                  [--wait-for EXPR] [--timeout S]

Prints one JSON object: "evals" (each expression's value, evaluated in the page after it has
loaded and, with --wait-for, once that expression is true), "console" (every console message and
exception the page caused, and every Content-Security-Policy violation) and "status" (the main
document's HTTP status). The page is laid out at width W (a phone's viewport below 500 pixels);
the screenshot covers the whole page.

Chromium is driven over the DevTools protocol on a pipe (tests/e2e/cdp_page.py's Browser);
Firefox over WebDriver BiDi, its own remote protocol, on a loopback websocket (Debian's
python3-websocket). Scripts import open_page() to drive a page further (keys, waits).
"""
import argparse, base64, json, os, re, shutil, signal, subprocess, sys, tempfile, time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

# Both browsers report a violation of the page's policy through this listener, added before any
# script of the page runs (Chromium also logs them itself; Firefox's remote log does not).
CSP_LISTENER = """() => document.addEventListener('securitypolicyviolation', (e) =>
  console.error('Content-Security-Policy violation: ' + e.violatedDirective + ' ' + e.blockedURI))"""


def phone(width):
    return width < 500


class ChromiumPage:
    """A tab of headless Chromium over the DevTools protocol."""

    def __init__(self, width, timeout):
        from cdp_page import Browser
        self.timeout = timeout
        self.b = Browser(timeout)
        target = self.b.send("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.s = self.b.send("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        for domain in ("Page", "Runtime", "Log", "Network"):
            self.b.send(domain + ".enable", session=self.s)
        self.metrics = {"width": width, "height": 800 if phone(width) else 900, "deviceScaleFactor": 1,
                        "mobile": phone(width)}
        self.b.send("Emulation.setDeviceMetricsOverride", self.metrics, session=self.s)

    def navigate(self, url):
        self.b.send("Page.navigate", {"url": url}, session=self.s)
        self.b.wait_for("Page.loadEventFired", self.s)

    def evaluate(self, expr):
        r = self.b.send("Runtime.evaluate", {"expression": expr, "returnByValue": True, "awaitPromise": True},
                        session=self.s)
        return r.get("result", {}).get("value")

    def screenshot(self, path):
        size = self.b.send("Page.getLayoutMetrics", session=self.s)["cssContentSize"]
        self.b.send("Emulation.setDeviceMetricsOverride", dict(self.metrics, height=max(int(size["height"]), 100)),
                    session=self.s)
        shot = self.b.send("Page.captureScreenshot", {"format": "png"}, session=self.s)
        with open(path, "wb") as f:
            f.write(base64.b64decode(shot["data"]))
        self.b.send("Emulation.setDeviceMetricsOverride", self.metrics, session=self.s)

    def key(self, key, down):
        code = KEYS.get(key, (key, "Key" + key.upper() if len(key) == 1 else key, 0))
        vk = code[2] or ord(key.upper()[0])
        self.b.send("Input.dispatchKeyEvent", {"type": "rawKeyDown" if down else "keyUp", "key": code[0], "code": code[1],
                                               "windowsVirtualKeyCode": vk, "nativeVirtualKeyCode": vk}, session=self.s)

    def type_text(self, text):
        self.b.send("Input.insertText", {"text": text}, session=self.s)

    def set_files(self, selector, paths):
        root = self.b.send("DOM.getDocument", {}, session=self.s)["root"]["nodeId"]
        node = self.b.send("DOM.querySelector", {"nodeId": root, "selector": selector}, session=self.s)["nodeId"]
        self.b.send("DOM.setFileInputFiles", {"files": paths, "nodeId": node}, session=self.s)

    def reload(self):
        self.b.send("Page.reload", {}, session=self.s)
        self.b.wait_for("Page.loadEventFired", self.s)

    def report(self):
        console, status = [], None
        for e in self.b.events:
            m, p = e.get("method"), e.get("params", {})
            if m == "Runtime.consoleAPICalled":
                console.append({"kind": "console." + p.get("type", ""),
                                "text": " ".join(str(x.get("value", x.get("description", ""))) for x in p.get("args", []))})
            elif m == "Runtime.exceptionThrown":
                console.append({"kind": "exception", "text": json.dumps(p.get("exceptionDetails", {}))[:400]})
            elif m == "Log.entryAdded":
                entry = p.get("entry", {})
                console.append({"kind": "log." + entry.get("source", ""), "text": entry.get("text", "")})
            elif m == "Network.responseReceived" and p.get("type") == "Document" and status is None:
                status = p.get("response", {}).get("status")
        return console, status

    def close(self):
        self.b.close()


# key name: (DOM key, DOM code, Windows virtual key code) for Chromium; Firefox takes the
# WebDriver code points below.
KEYS = {"ArrowLeft": ("ArrowLeft", "ArrowLeft", 37), "ArrowUp": ("ArrowUp", "ArrowUp", 38),
        "ArrowRight": ("ArrowRight", "ArrowRight", 39), "ArrowDown": ("ArrowDown", "ArrowDown", 40),
        "Enter": ("Enter", "Enter", 13), "Escape": ("Escape", "Escape", 27), "Space": (" ", "Space", 32),
        "Shift": ("Shift", "ShiftLeft", 16), "Backspace": ("Backspace", "Backspace", 8), "Tab": ("Tab", "Tab", 9),
        "F11": ("F11", "F11", 122)}
WEBDRIVER_KEYS = {"ArrowLeft": "\ue012", "ArrowUp": "\ue013", "ArrowRight": "\ue014", "ArrowDown": "\ue015",
                  "Enter": "\ue007", "Escape": "\ue00c", "Space": " ", "Shift": "\ue008", "Backspace": "\ue003",
                  "Tab": "\ue004", "F11": "\ue03b"}

# Firefox must not reach out to the network: this machine has none but loopback, and a test must
# not depend on what answers outside.
FIREFOX_PREFS = {
    "app.update.disabledForTesting": True, "app.normandy.enabled": False, "browser.shell.checkDefaultBrowser": False,
    "browser.startup.homepage_override.mstone": "ignore", "browser.newtabpage.enabled": False,
    "datareporting.policy.dataSubmissionEnabled": False, "datareporting.healthreport.uploadEnabled": False,
    "toolkit.telemetry.enabled": False, "network.captive-portal-service.enabled": False,
    "network.connectivity-service.enabled": False, "browser.safebrowsing.malware.enabled": False,
    "browser.safebrowsing.phishing.enabled": False, "browser.safebrowsing.downloads.enabled": False,
    "extensions.update.enabled": False, "extensions.getAddons.cache.enabled": False,
    "services.settings.server": "http://127.0.0.1:9/", "network.dns.disablePrefetch": True,
    "network.prefetch-next": False,
    "dom.meta-viewport.enabled": True, "browser.tabs.warnOnClose": False, "ui.prefersReducedMotion": 1,
    "layout.css.devPixelsPerPx": "1.0", "gfx.webrender.software": True,
    # Scrollbars over the page, not beside it, as Chromium's --hide-scrollbars: the page keeps the
    # viewport's whole width.
    "ui.useOverlayScrollbars": 1,
 "widget.gtk.overlay-scrollbars.enabled": True,
}


class FirefoxPage:
    """A tab of headless Firefox ESR over WebDriver BiDi."""

    def __init__(self, width, timeout):
        import websocket  # Debian's python3-websocket
        self.timeout = timeout
        self.profile = tempfile.mkdtemp(prefix="nimbulon-firefox-")
        with open(os.path.join(self.profile, "user.js"), "w") as f:
            for k, v in FIREFOX_PREFS.items():
                f.write("user_pref(%s, %s);\n" % (json.dumps(k), json.dumps(v)))
        self.log = open(os.path.join(self.profile, "stderr.log"), "w+")
        # With no sound card Firefox's audio never starts and a page's AudioContext stays suspended
        # whatever the player does; a PulseAudio server of the page's own with a null sink stands in
        # for the device, so that sound starts on the first key as on a player's machine.
        self.sound = os.path.join(self.profile, "pulse")
        os.mkdir(self.sound)
        self.pulse = subprocess.Popen(
            ["pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n", "--use-pid-file=false", "--disable-shm=true",
             "--load=module-null-sink sink_name=silent",
             "--load=module-native-protocol-unix auth-anonymous=1 socket=" + os.path.join(self.sound, "native")],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, process_group=0,
            env=dict(os.environ, XDG_RUNTIME_DIR=self.sound, HOME=self.sound))
        env = dict(os.environ, MOZ_HEADLESS="1", MOZ_CRASHREPORTER_DISABLE="1",
                   PULSE_SERVER="unix:" + os.path.join(self.sound, "native"))
        env.pop("DISPLAY", None)
        height = 800 if phone(width) else 900
        deadline = time.monotonic() + timeout
        while not os.path.exists(os.path.join(self.sound, "native")) and time.monotonic() < deadline:
            if self.pulse.poll() is not None:
                break
            time.sleep(0.05)
        self.proc = subprocess.Popen(
            ["firefox-esr", "--headless", "--no-remote", "--profile", self.profile, "--remote-debugging-port=0",
             "--width=%d" % width, "--height=%d" % height, "about:blank"],
            stdout=subprocess.DEVNULL, stderr=self.log, env=env, process_group=0)
        self.ws, self.next_id, self.events = None, 0, []
        try:
            self.ws = websocket.create_connection(self._listening() + "/session", timeout=timeout,
                                                  suppress_origin=True)
            self.send("session.new", {"capabilities": {"alwaysMatch": {"acceptInsecureCerts": True,
                                                                       "unhandledPromptBehavior": "dismiss"}}})
            self.ctx = self.send("browsingContext.getTree", {})["contexts"][0]["context"]
            # Setting the viewport waits until the page's width follows, which neither the first
            # about:blank nor (on a phone, whose layout is 980 pixels wide by default) a page without
            # a viewport tag ever does; an empty page of our own with one does.
            self.navigate("data:text/html,<meta name=viewport content='width=device-width'><title></title>")
            self.send("browsingContext.setViewport", {"context": self.ctx, "viewport": {"width": width, "height": height}})
            self.send("session.subscribe", {"events": ["log.entryAdded", "network.responseCompleted"]})
            self.send("script.addPreloadScript", {"functionDeclaration": CSP_LISTENER})
        except BaseException:
            self.close()
            raise

    def _listening(self):
        deadline = time.monotonic() + self.timeout
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                raise RuntimeError("firefox-esr ended before it listened (status %s)" % self.proc.returncode)
            self.log.seek(0)
            m = re.search(r"WebDriver BiDi listening on (ws://\S+)", self.log.read())
            if m:
                return m.group(1)
            time.sleep(0.05)
        raise TimeoutError("firefox-esr did not open its remote protocol in time")

    def send(self, method, params):
        self.next_id += 1
        self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        deadline = time.monotonic() + self.timeout
        while True:
            self.ws.settimeout(max(0.01, deadline - time.monotonic()))
            reply = json.loads(self.ws.recv())
            if reply.get("id") == self.next_id:
                if reply.get("type") == "error":
                    raise RuntimeError("%s: %s %s" % (method, reply.get("error"), reply.get("message")))
                return reply.get("result", {})
            self.events.append(reply)

    def navigate(self, url):
        self.send("browsingContext.navigate", {"context": self.ctx, "url": url, "wait": "complete"})

    def evaluate(self, expr):
        r = self.send("script.evaluate", {"expression": expr, "target": {"context": self.ctx}, "awaitPromise": True,
                                          "resultOwnership": "none",
                                          "serializationOptions": {"maxObjectDepth": 20, "maxDomDepth": 0}})
        # An expression of the test's that throws is the test's affair, not the page's: no value, and
        # nothing in the page's console (as with Chromium's Runtime.evaluate).
        if r.get("type") == "exception":
            return None
        return remote_value(r.get("result", {}))

    def screenshot(self, path):
        shot = self.send("browsingContext.captureScreenshot", {"context": self.ctx, "origin": "document"})
        with open(path, "wb") as f:
            f.write(base64.b64decode(shot["data"]))

    def key(self, key, down):
        value = WEBDRIVER_KEYS.get(key, key)
        self.send("input.performActions", {"context": self.ctx, "actions": [
            {"type": "key", "id": "keyboard", "actions": [{"type": "keyDown" if down else "keyUp", "value": value}]}]})

    def type_text(self, text):
        # One key a character, as typed; WebDriver sends any character a key may give.
        actions = []
        for ch in text:
            actions += [{"type": "keyDown", "value": ch}, {"type": "keyUp", "value": ch}]
        self.send("input.performActions", {"context": self.ctx, "actions": [
            {"type": "key", "id": "keyboard", "actions": actions}]})

    def set_files(self, selector, paths):
        node = self.send("script.evaluate", {"expression": "document.querySelector(%s)" % json.dumps(selector),
                                             "target": {"context": self.ctx}, "awaitPromise": False,
                                             "resultOwnership": "root"})["result"]
        self.send("input.setFiles", {"context": self.ctx, "element": {"sharedId": node["sharedId"]}, "files": paths})

    def reload(self):
        self.send("browsingContext.reload", {"context": self.ctx, "wait": "complete"})

    def report(self):
        console, status = [], None
        for e in self.events:
            m, p = e.get("method"), e.get("params", {})
            if m == "log.entryAdded":
                kind = ("console." + p.get("method", p.get("level", ""))) if p.get("type") == "console" else "exception"
                console.append({"kind": kind, "text": p.get("text", "")})
            elif m == "network.responseCompleted" and p.get("navigation") and status is None:
                status = p.get("response", {}).get("status")
        return console, status

    def close(self):
        # The browser and its content processes stand in a process group of their own (in the test
        # run's session, where its check for leftovers looks): closed politely, then the group ended.
        if self.ws:
            try:
                self.send("browser.close", {})
            except Exception:
                pass
            try:
                self.ws.close()
            except Exception:
                pass
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            pass
        for sig in (signal.SIGTERM, signal.SIGKILL):
            try:
                os.killpg(self.proc.pid, sig)
            except ProcessLookupError:
                break
            time.sleep(0.5)
        if self.proc.poll() is None:
            self.proc.wait()
        self.pulse.terminate()
        try:
            self.pulse.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.pulse.kill()
            self.pulse.wait()
        self.log.close()
        shutil.rmtree(self.profile, ignore_errors=True)


def remote_value(v):
    """A WebDriver BiDi remote value as the plain JSON value CDP's returnByValue would give."""
    t = v.get("type")
    if t in ("string", "boolean"):
        return v.get("value")
    if t == "number":
        n = v.get("value")
        if isinstance(n, str):  # NaN, Infinity, -0
            return None if n in ("NaN", "Infinity", "-Infinity") else 0
        return n
    if t in ("null", "undefined"):
        return None
    if t in ("array", "set"):
        return [remote_value(x) for x in v.get("value", [])]
    if t in ("object", "map"):
        return {(k if isinstance(k, str) else str(remote_value(k))): remote_value(x) for k, x in v.get("value", [])}
    if t == "bigint":
        return int(v.get("value"))
    return None


BROWSERS = {"chromium": ChromiumPage, "firefox": FirefoxPage}


def open_page(browser, width=1280, timeout=60):
    return BROWSERS[browser](width, timeout)


def wait_until(page, expr, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if page.evaluate(expr):
            return True
        time.sleep(0.1)
    return False


def main():
    # A timeout's SIGTERM still closes the browser (the finally below).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    ap = argparse.ArgumentParser()
    ap.add_argument("url")
    ap.add_argument("--browser", choices=sorted(BROWSERS), default=os.environ.get("BROWSER", "chromium"))
    ap.add_argument("--width", type=int, default=1280)
    ap.add_argument("--screenshot")
    ap.add_argument("--eval", action="append", default=[])
    ap.add_argument("--wait-for")
    ap.add_argument("--timeout", type=float, default=60)
    a = ap.parse_args()
    page = open_page(a.browser, a.width, a.timeout)
    try:
        page.navigate(a.url)
        result = {"browser": a.browser, "evals": [], "console": [], "status": None, "waited": None}
        if a.wait_for:
            result["waited"] = wait_until(page, a.wait_for, a.timeout)
        result["evals"] = [page.evaluate(expr) for expr in a.eval]
        if a.screenshot:
            page.screenshot(a.screenshot)
        result["console"], result["status"] = page.report()
        print(json.dumps(result))
    finally:
        page.close()


if __name__ == "__main__":
    main()
