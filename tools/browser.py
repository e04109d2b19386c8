"""Headless Chromium for the browser tests, driven over the DevTools protocol.

Starts Debian's /usr/bin/chromium headless (WebGL on SwiftShader) with a fresh profile, and a
plain static file server for one directory, both bound to 127.0.0.1 only. Needs Debian's
python3-websocket, so run it with /usr/bin/python3.

    from tools.browser import Browser      # from the top folder, as python3 -m tests.web.page_test
    with Browser(serve_dir="build/web") as b:      # start() is called by `with`
        b.open(b.url("index.html"))                 # waits for the load event
        b.wait_for("document.body.dataset.exitCode !== undefined", timeout=10)
        b.key_down("ArrowUp"); b.key_down("ArrowUp", repeat=True); b.key_up("ArrowUp")
        png = b.screenshot_png()
        errors = [m for m in b.console_messages() if m["level"] in ("error", "warning")]

API (every call is bounded by a timeout in seconds; failures raise BrowserError):
    Browser(serve_dir=None, width=1024, height=900, timeout=30, extra_args=())
                               (900 high: a desktop page shows its picture at 800 x 600 with
                               its controls under it)
                               extra_args: more Chromium switches, e.g. "--disable-frame-rate-limit"
    start()                    starts the server (if serve_dir) and the browser; returns self
    url(path="")               http://127.0.0.1:<port>/<path> on the static server
    stop_serving()             the server's port refuses connections from now on (network cut)
    cut[name] = n              n bytes of that file are sent, then the connection drops (n < 0:
                               stalls a minute); once[name] = data answers its next request
    open(url, timeout)         navigates the one page and waits for its load event
    evaluate(js, timeout, in_frame=False)
                               value of a JavaScript expression (promises are awaited); a thrown
                               exception raises BrowserError. in_frame: in the page's first
                               child frame (an iframe of its own site, of any origin)
    wait_for(js, timeout, interval=0.05, in_frame=False)
                               polls until the expression is truthy and returns its value;
                               raises BrowserTimeout (a BrowserError) when it never is
    key_down(key, repeat=False), key_up(key), press(key)
                               real key events through Input.dispatchKeyEvent; `key` is a DOM key
                               name: ArrowUp/Down/Left/Right, Escape, Enter, Space (" "), Tab,
                               Backspace, F1..F12, a letter or a digit. repeat=True sends an
                               auto-repeat keydown, as a held key does.
    set_hidden(hidden)         makes the page hidden (document.hidden, visibilitychange fires) or
                               visible again, as minimising the window would
    screenshot_png()           PNG bytes of the page's viewport
    console_messages()         list of {"source": "console"|"log"|"exception", "level":
                               "error"|"warning"|"info"|"log"|"debug", "text": str} since start
    browser_log()              the browser process's own stderr output so far
    close()                    kills the browser and stops the server; safe to call twice, also
                               runs at interpreter exit

Helpers the page's tests, tools and benchmark share (functions of a started Browser `b`):
    read_png(data)             rows of (r, g, b) tuples of an 8-bit RGB(A) PNG
    canvas_picture(b, scale=1) the canvas as the screen shows it, in device pixels
    resample(picture, w, h)    nearest-pixel resampling (to the window's 800 x 600 by default)
    frames(b), wait_frames(b, count)
                               frames the demo presented; waits for `count` more
    keys_down(b)               the keys the demo's window procedure was told are down
    hold(b, press, release, seconds, during=None, vk=None)
                               holds a key (or control) from press() to release(), calling
                               during() every 30 ms; with vk, counts from the demo taking it as
                               held until it lets go of it. Returns the frames presented meanwhile.
    hold_key(b, key, seconds)  a key held as a finger holds it: one keydown, auto-repeats, keyup
    touch(b, kind, points)     touchStart/touchMove/touchEnd with [(id, (x, y)), ...]
"""

import atexit
import base64
import functools
import http.server
import json
import os
import shutil
import signal
import subprocess
import tempfile
import threading
import struct
import time
import zlib

import websocket

CHROMIUM = "/usr/bin/chromium"


class BrowserError(Exception):
    pass


class BrowserTimeout(BrowserError):
    pass


# DOM key name -> (code, Windows virtual-key code, text typed or None)
_KEYS = {
    "ArrowLeft": ("ArrowLeft", 37, None),
    "ArrowUp": ("ArrowUp", 38, None),
    "ArrowRight": ("ArrowRight", 39, None),
    "ArrowDown": ("ArrowDown", 40, None),
    "Escape": ("Escape", 27, None),
    "Enter": ("Enter", 13, "\r"),
    " ": ("Space", 32, " "),
    "Tab": ("Tab", 9, None),
    "Backspace": ("Backspace", 8, None),
}
_KEYS.update({"F%d" % n: ("F%d" % n, 111 + n, None) for n in range(1, 13)})
# The keypad's 8 with NumLock on (it types "8") and off (the browser names it the Up arrow):
# name -> (DOM key, code, Windows virtual-key code, text typed or None).
_KEYPAD = {
    "Numpad8": ("8", "Numpad8", 104, "8"),
    "Numpad8-NumLockOff": ("ArrowUp", "Numpad8", 38, None),
}


def _key_info(key):
    if key == "Space":
        key = " "
    if key in _KEYS:
        return (key,) + _KEYS[key]
    if key in _KEYPAD:
        return _KEYPAD[key]
    if len(key) == 1 and key.isalnum() and key.isascii():
        code = ("Digit" if key.isdigit() else "Key") + key.upper()
        return key, code, ord(key.upper()), key
    raise BrowserError("unknown key %r" % key)


class _QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map)
    extensions_map.update({".wasm": "application/wasm", ".js": "text/javascript",
                           ".html": "text/html", ".png": "image/png",
                           ".webmanifest": "application/manifest+json"})

    cut = {}  # file name -> bytes sent before the connection is dropped (a download cut short)
    once = {}  # file name -> bytes answered in its place the next time it is asked for

    def do_GET(self):
        body = self.once.pop(os.path.basename(self.path.split("?")[0]) or "index.html", None)
        if body is None:
            return super().do_GET()
        self.send_response(200)
        self.send_header("Content-Type", self.guess_type(self.path.split("?")[0] or "/index.html"))
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def end_headers(self):
        self.send_header("Cache-Control", "no-store")
        super().end_headers()

    def copyfile(self, source, output):
        keep = self.cut.get(os.path.basename(self.path.split("?")[0]))
        if keep is None:
            return super().copyfile(source, output)
        output.write(source.read(abs(keep)))
        output.flush()
        if keep < 0:  # stalls: the connection stays open with nothing more on it
            time.sleep(60)
        self.close_connection = True

    def log_message(self, *args):
        pass


class Browser:
    def __init__(self, serve_dir=None, width=1024, height=900, timeout=30, extra_args=()):
        self.serve_dir = serve_dir
        self.cut, self.once = {}, {}  # see cut and once above
        self.extra_args = list(extra_args)
        self.width, self.height = width, height
        self.timeout = timeout
        self._server = self._server_thread = self._port = None
        self._process = self._profile = self._stderr = None
        self._ws = self._reader = None
        self._session = None
        self._next_id = 0
        self._lock = threading.Lock()
        self._replies = {}
        self._arrived = threading.Condition()
        self._events = []
        self._messages = []
        self._closed = False

    # ---- lifetime ----------------------------------------------------------------------------

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.close()

    def start(self):
        atexit.register(self.close)
        try:
            if self.serve_dir is not None:
                self._start_server()
            self._start_browser()
        except BaseException:
            self.close()
            raise
        return self

    def _start_server(self):
        handler = functools.partial(type("Handler", (_QuietHandler,), dict(cut=self.cut,
                                                                           once=self.once)),
                                    directory=os.path.abspath(self.serve_dir))
        self._server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self._server.daemon_threads = True
        self._port = self._server.server_address[1]
        self._server_thread = threading.Thread(target=self._server.serve_forever,
                                               kwargs={"poll_interval": 0.1}, daemon=True)
        self._server_thread.start()

    def _start_browser(self):
        self._profile = tempfile.mkdtemp(prefix="skorvane-chromium-")
        self._stderr = open(os.path.join(self._profile, "stderr.log"), "w+b")
        args = [CHROMIUM, "--headless=new", "--use-angle=swiftshader",
                "--enable-unsafe-swiftshader", "--no-sandbox", "--disable-gpu-sandbox",
                "--no-first-run", "--no-default-browser-check", "--disable-background-networking",
                "--disable-component-update", "--disable-sync", "--disable-quic",
                "--disable-default-apps", "--disable-extensions", "--mute-audio",
                "--disable-features=Translate,MediaRouter,OptimizationHints",
                # Names resolve to nothing but the local host: no request can leave the machine.
                "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1",
                "--window-size=%d,%d" % (self.width, self.height),
                "--remote-debugging-port=0", "--user-data-dir=" + self._profile] + \
            self.extra_args + ["about:blank"]
        # A session of its own, so close() can end the browser with all its helper processes.
        self._process = subprocess.Popen(args, stdin=subprocess.DEVNULL,
                                         stdout=self._stderr, stderr=self._stderr,
                                         start_new_session=True)
        port_file = os.path.join(self._profile, "DevToolsActivePort")
        deadline = time.monotonic() + self.timeout
        lines = []
        while len(lines) < 2:
            if self._process.poll() is not None:
                raise BrowserError("chromium exited with %s:\n%s"
                                   % (self._process.returncode, self.browser_log()))
            if time.monotonic() > deadline:
                raise BrowserTimeout("chromium wrote no DevToolsActivePort")
            time.sleep(0.05)
            try:
                with open(port_file) as f:
                    lines = f.read().split()
            except OSError:
                pass
        self._ws = websocket.create_connection(
            "ws://127.0.0.1:%s%s" % (lines[0], lines[1]), timeout=self.timeout,
            suppress_origin=True)
        self._ws.settimeout(0.2)
        self._reader = threading.Thread(target=self._read_loop, daemon=True)
        self._reader.start()
        pages = [t for t in self._call("Target.getTargets")["targetInfos"] if t["type"] == "page"]
        target = pages[0]["targetId"] if pages else \
            self._call("Target.createTarget", url="about:blank")["targetId"]
        self._target = target
        self._session = self._call("Target.attachToTarget", targetId=target,
                                   flatten=True)["sessionId"]
        for domain in ("Page", "Runtime", "Log"):
            self.send(domain + ".enable")
        self.send("Page.setLifecycleEventsEnabled", enabled=True)
        self.send("Page.bringToFront")  # the page has the focus, as after a click into it

    def close(self):
        if self._closed:
            return
        self._closed = True
        if self._ws is not None:
            try:
                self._ws.settimeout(2)
                self._call("Browser.close", timeout=2)
            except Exception:
                pass
            try:
                self._ws.close()
            except Exception:
                pass
        if self._reader is not None:
            self._reader.join(timeout=2)
        if self._process is not None:
            for sig, wait in ((None, 3), (signal.SIGTERM, 3), (signal.SIGKILL, 5)):
                if sig is not None:
                    try:
                        os.killpg(self._process.pid, sig)
                    except ProcessLookupError:
                        pass
                try:
                    self._process.wait(timeout=wait)
                    break
                except subprocess.TimeoutExpired:
                    continue
            # Helpers (GPU, renderer) live in the same process group; make sure none survive.
            try:
                os.killpg(self._process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        if self._server is not None:
            self._server.shutdown()
            self._server.server_close()
            self._server_thread.join(timeout=2)
        if self._stderr is not None:
            self._stderr.close()
        if self._profile is not None:
            shutil.rmtree(self._profile, ignore_errors=True)

    # ---- protocol ----------------------------------------------------------------------------

    def _read_loop(self):
        while not self._closed or self._ws.connected:
            try:
                raw = self._ws.recv()
            except websocket.WebSocketTimeoutException:
                if self._closed:
                    return
                continue
            except Exception:
                break
            if not raw:
                continue
            message = json.loads(raw)
            with self._arrived:
                if "id" in message:
                    self._replies[message["id"]] = message
                else:
                    self._on_event(message)
                self._arrived.notify_all()
        with self._arrived:
            self._replies[None] = {"error": {"message": "connection to chromium lost"}}
            self._arrived.notify_all()

    def _on_event(self, message):
        method, params = message.get("method"), message.get("params", {})
        self._events.append(message)
        if method == "Runtime.consoleAPICalled":
            text = " ".join(str(a.get("value", a.get("description", a.get("type"))))
                            for a in params.get("args", []))
            level = {"warning": "warning", "error": "error", "assert": "error",
                     "debug": "debug", "info": "info"}.get(params.get("type"), "log")
            self._messages.append({"source": "console", "level": level, "text": text})
        elif method == "Log.entryAdded":
            entry = params.get("entry", {})
            level = {"verbose": "debug"}.get(entry.get("level"), entry.get("level", "info"))
            text = entry.get("text", "")
            if entry.get("url"):
                text += " (%s)" % entry["url"]
            self._messages.append({"source": "log", "level": level, "text": text})
        elif method == "Runtime.exceptionThrown":
            details = params.get("exceptionDetails", {})
            text = details.get("exception", {}).get("description") or details.get("text", "")
            self._messages.append({"source": "exception", "level": "error", "text": text})

    def _call(self, method, timeout=None, session=None, **params):
        with self._lock:
            self._next_id += 1
            ident = self._next_id
        message = {"id": ident, "method": method, "params": params}
        if session:
            message["sessionId"] = session
        self._ws.send(json.dumps(message))
        deadline = time.monotonic() + (timeout or self.timeout)
        with self._arrived:
            while ident not in self._replies:
                if None in self._replies:
                    raise BrowserError(self._replies[None]["error"]["message"])
                left = deadline - time.monotonic()
                if left <= 0:
                    raise BrowserTimeout("no answer to %s" % method)
                self._arrived.wait(left)
            reply = self._replies.pop(ident)
        if "error" in reply:
            raise BrowserError("%s: %s" % (method, reply["error"].get("message")))
        return reply.get("result", {})

    def send(self, method, timeout=None, **params):
        """Sends one DevTools command to the page and returns its result (for what the API
        above does not cover)."""
        return self._call(method, timeout=timeout, session=self._session, **params)

    # ---- page --------------------------------------------------------------------------------

    def stop_serving(self):
        """Stops the static server: its port refuses every connection from now on, as a site
        with the network cut."""
        if self._server is not None:
            self._server.shutdown()
            self._server.server_close()
            self._server_thread.join(timeout=2)
            self._server = None

    def url(self, path=""):
        if self._port is None:
            raise BrowserError("no directory is served")
        return "http://127.0.0.1:%d/%s" % (self._port, path.lstrip("/"))

    def open(self, url, timeout=None):
        with self._arrived:
            mark = len(self._events)
        result = self.send("Page.navigate", url=url, timeout=timeout)
        if result.get("errorText"):
            raise BrowserError("cannot open %s: %s" % (url, result["errorText"]))
        frame = result.get("frameId")
        deadline = time.monotonic() + (timeout or self.timeout)
        with self._arrived:
            while True:
                for event in self._events[mark:]:
                    params = event.get("params", {})
                    if event.get("method") == "Page.lifecycleEvent" and \
                            params.get("name") == "load" and params.get("frameId") == frame:
                        return
                mark = len(self._events)
                left = deadline - time.monotonic()
                if left <= 0:
                    raise BrowserTimeout("%s did not finish loading" % url)
                self._arrived.wait(left)

    def _child_frame_context(self):
        # The newest script context of the page's first child frame: the parent cannot reach
        # into a frame of another origin, but the protocol can, by the frame's context.
        children = self.send("Page.getFrameTree")["frameTree"].get("childFrames", [])
        with self._arrived:
            created = [e["params"]["context"] for e in self._events
                       if e.get("method") == "Runtime.executionContextCreated"]
        for context in reversed(created):
            aux = context.get("auxData", {})
            if children and aux.get("isDefault") and aux.get("frameId") == \
                    children[0]["frame"]["id"]:
                return context["id"]
        raise BrowserError("the page has no child frame with a script context")

    def evaluate(self, js, timeout=None, in_frame=False):
        where = {"contextId": self._child_frame_context()} if in_frame else {}
        result = self.send("Runtime.evaluate", expression=js, returnByValue=True,
                           awaitPromise=True, timeout=timeout, **where)
        if "exceptionDetails" in result:
            details = result["exceptionDetails"]
            raise BrowserError("evaluating %r: %s" % (
                js, details.get("exception", {}).get("description") or details.get("text")))
        return result.get("result", {}).get("value")

    def wait_for(self, js, timeout=None, interval=0.05, in_frame=False):
        deadline = time.monotonic() + (timeout or self.timeout)
        while True:
            try:
                value = self.evaluate(js, timeout=max(1.0, deadline - time.monotonic()),
                                      in_frame=in_frame)
            except BrowserError:
                if not in_frame:  # a frame may not have loaded yet, or be loading again
                    raise
                value = None
            if value:
                return value
            if time.monotonic() > deadline:
                raise BrowserTimeout("still false after %ss: %s" % (timeout or self.timeout, js))
            time.sleep(interval)

    def key_down(self, key, repeat=False):
        key, code, vk, text = _key_info(key)
        params = {"type": "keyDown" if text else "rawKeyDown", "key": key, "code": code,
                  "windowsVirtualKeyCode": vk, "nativeVirtualKeyCode": vk,
                  "autoRepeat": bool(repeat)}
        if text:
            params.update(text=text, unmodifiedText=text)
        self.send("Input.dispatchKeyEvent", **params)

    def key_up(self, key):
        key, code, vk, _ = _key_info(key)
        self.send("Input.dispatchKeyEvent", type="keyUp", key=key, code=code,
                  windowsVirtualKeyCode=vk, nativeVirtualKeyCode=vk)

    def press(self, key):
        self.key_down(key)
        self.key_up(key)

    def set_hidden(self, hidden):
        # Measured in headless new (Chromium 156): minimising the window hides the page
        # (document.hidden, visibilitychange, requestAnimationFrame stops) and restoring shows it
        # again. Opening another tab also hides it; Page.setWebLifecycleState "frozen" hides it
        # too but "active" leaves it hidden.
        window = self._call("Browser.getWindowForTarget", targetId=self._target)["windowId"]
        self._call("Browser.setWindowBounds", windowId=window,
                   bounds={"windowState": "minimized" if hidden else "normal"})

    def screenshot_png(self):
        return base64.b64decode(self.send("Page.captureScreenshot", format="png")["data"])

    def console_messages(self):
        with self._arrived:
            return list(self._messages)

    def browser_log(self):
        if self._stderr is None:
            return ""
        self._stderr.flush()
        with open(self._stderr.name, "rb") as f:
            return f.read().decode("utf-8", "replace")


# ---- helpers shared by the page's tests, tools and benchmark ------------------------------------

WINDOW_WIDTH, WINDOW_HEIGHT = 800, 600


def read_png(data):
    """Rows of (r, g, b) tuples from an 8-bit RGB or RGBA, non-interlaced PNG."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, chunks, header = 8, [], None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            chunks.append(body)
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    assert depth == 8 and colour in (2, 6) and interlace == 0, "unsupported PNG"
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(b"".join(chunks))
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride if kind else 0):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc
                                      else corner)) & 255
        rows.append([tuple(line[x * channels:x * channels + 3]) for x in range(width)])
        previous = line
    return rows


def canvas_rect(b):
    return b.evaluate("(r => [r.left, r.top, r.width, r.height])"
                      "(document.getElementById('canvas').getBoundingClientRect())")


def canvas_picture(b, scale=1):
    """The canvas as the screen shows it, in device pixels (800 x 600 on a desktop page at
    scale 1); scale 1 / devicePixelRatio gives it in CSS pixels, quicker to read."""
    left, top, width, height = canvas_rect(b)
    shot = b.send("Page.captureScreenshot", format="png",
                  clip={"x": left, "y": top, "width": width, "height": height, "scale": scale})
    return read_png(base64.b64decode(shot["data"]))


def resample(picture, width=WINDOW_WIDTH, height=WINDOW_HEIGHT):
    """Nearest-pixel resampling to the window's 800 x 600, at pixel centres."""
    sx, sy = len(picture[0]) / width, len(picture) / height
    return [[picture[min(int((y + 0.5) * sy), len(picture) - 1)]
             [min(int((x + 0.5) * sx), len(picture[0]) - 1)] for x in range(width)]
            for y in range(height)]


def frames(b):
    return b.evaluate("Module.test.framesPresented || 0")


def wait_frames(b, count, timeout=20):
    start = frames(b)
    b.wait_for("(Module.test.framesPresented || 0) >= %d" % (start + count), timeout=timeout)


def keys_down(b):
    return b.evaluate("Module.test.keysDown || []")


def hold(b, press, release, seconds, during=None, vk=None):
    """Frames presented while a key or control is held from press() to release(); with vk, from
    the demo taking that key as held until it lets go of it."""
    press()
    # With vk, the frame counts are the ones the page noted as the key went down and up: read
    # afterwards, frames presented in between would be missed on a busy machine.
    if vk is not None:
        start = b.wait_for("(Module.test.keysDown || []).includes(%d) && "
                           "[Module.test.keysChangedAtFrame]" % vk, timeout=5)[0]
    else:
        start = frames(b)
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        time.sleep(0.03)
        if during:
            during()
    release()
    if vk is not None:
        return b.wait_for("!(Module.test.keysDown || []).includes(%d) && "
                          "[Module.test.keysChangedAtFrame]" % vk, timeout=5)[0] - start
    return frames(b) - start


def hold_key(b, key, seconds, vk=None):
    """A key held as a finger holds it: one keydown, auto-repeats, one keyup."""
    return hold(b, lambda: b.key_down(key), lambda: b.key_up(key), seconds,
                lambda: b.key_down(key, repeat=True), vk)


def touch(b, kind, points):
    b.send("Input.dispatchTouchEvent", type=kind,
           touchPoints=[{"x": x, "y": y, "id": ident} for ident, (x, y) in points])
