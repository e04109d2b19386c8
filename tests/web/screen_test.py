#!/usr/bin/python3
"""The page on every screen and in every hand, in a real headless Chromium with device emulation:
phones and tablets upright and on their side, full screen, installed and offline, a new build,
inside another site's frame, a failure long after start-up, and keys let go with Alt held.

    /usr/bin/python3 -m tests.web.screen_test [BUILD_DIR] [REFERENCE_PNG]     (from the top folder)

BUILD_DIR is the web preset's output (build/web); REFERENCE_PNG is the steady frame the native
render tests save (build/default/pictures/frame.png). Leaves a phone on its side in
BUILD_DIR/phone-landscape.png (the README's docs/web-landscape.png). Prints one line per check and
"N passed, N failed"; exits non-zero when any check failed.
"""

import base64
import functools
import http.server
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

sys.dont_write_bytecode = True  # no __pycache__ beside the sources
from tools.browser import (  # noqa: E402
    Browser, BrowserTimeout, canvas_picture, canvas_rect, frames, hold, keys_down,
    resample, touch, wait_frames)
from tests.web.page_test import (  # noqa: E402
    angle_difference, caption_boxes, check, in_boxes, near, read_png, root_angle, run_sessions)

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
VK_UP = 38
TODAY_AT_844 = 288 * 216  # the picture's area at 844 x 390 before the page had a landscape layout

# (width, height, device scale, touch)
SHAPES = [(390, 844, 3, True), (844, 390, 3, True), (360, 640, 2, True), (640, 360, 2, True),
          (768, 1024, 2, True), (1024, 768, 2, True), (1280, 800, 1, False),
          (1280, 657, 1, False)]

LAYOUT = """(() => {
    const box = e => (r => [r.left, r.top, r.right, r.bottom])(e.getBoundingClientRect());
    const shown = Array.from(document.querySelectorAll('.control')).filter(c => c.offsetParent);
    return {scrollWidth: document.documentElement.scrollWidth,
            width: document.documentElement.clientWidth,
            height: innerHeight, canvas: box(document.getElementById('canvas')),
            controls: shown.map(c => [c.getAttribute('aria-label').split(/[: ]/)[0], box(c)])};
})()"""


def emulate(b, width, height, scale, touch_screen):
    b.send("Emulation.setDeviceMetricsOverride", width=width, height=height,
           deviceScaleFactor=scale, mobile=touch_screen,
           screenOrientation={"type": "landscapePrimary" if width > height else
                              "portraitPrimary", "angle": 90 if width > height else 0})
    b.send("Emulation.setTouchEmulationEnabled", enabled=touch_screen,
           maxTouchPoints=5 if touch_screen else 1)


def start(b, path="index.html"):
    b.open(b.url(path))
    # (window.Module: a page that fetches itself again has a moment without one)
    b.wait_for("(window.Module && Module.test.framesPresented || 0) > 2", timeout=30)


def control_centre(layout, name):
    left, top, right, bottom = dict(layout["controls"])[name]
    return (left + right) / 2, (top + bottom) / 2


def turn_between_looks(b, frames_apart=10):
    """How far the picture turned between two looks `frames_apart` frames apart, and the 2
    degrees a frame the frames presented between them stand for (the lines repeat every 90
    degrees, so the turn is the one nearest to that). Both are taken before either is read, so
    that few frames pass between them."""
    looks = []
    for wait in (0, frames_apart):
        if wait:
            wait_frames(b, wait)
        left, top, width, height = canvas_rect(b)
        count = frames(b)
        shot = b.send("Page.captureScreenshot", format="png", clip={
            "x": left, "y": top, "width": width, "height": height,
            "scale": 1 / b.evaluate("devicePixelRatio")})
        looks.append((count, shot["data"]))
    angles = [root_angle(resample(read_png(base64.b64decode(data)))) for _, data in looks]
    expected = 2 * (looks[1][0] - looks[0][0])
    return expected + angle_difference(angles[1] - angles[0] - expected, 0), expected


def laid_out(layout):
    """What is wrong with a layout: sideways scrolling, something out of view, a small control."""
    faults = []
    if layout["scrollWidth"] > layout["width"]:
        faults.append("scrolls sideways (%s)" % layout["scrollWidth"])
    for name, (left, top, right, bottom) in [("picture", layout["canvas"])] + layout["controls"]:
        if left < 0 or top < 0 or right > layout["width"] + 0.5 or \
                bottom > layout["height"] + 0.5:
            faults.append("%s out of view %s" % (name, [left, top, right, bottom]))
        if name != "picture" and (right - left < 44 or bottom - top < 44):
            faults.append("%s smaller than 44 px" % name)
    return faults


# ---- every shape --------------------------------------------------------------------------------

def shapes(build, reference):
    boxes = caption_boxes()
    with Browser(serve_dir=build) as b:
        for width, height, scale, touch_screen in SHAPES:
            emulate(b, width, height, scale, touch_screen)
            start(b)
            layout = b.evaluate(LAYOUT)
            left, top, right, bottom = layout["canvas"]
            area = (right - left) * (bottom - top)
            names = sorted(name for name, _ in layout["controls"])
            wanted = ["Down", "End", "Full", "Left", "Right", "Up"] if touch_screen else \
                ["End", "Full"]
            faults = laid_out(layout) + ([] if names == wanted else ["controls %s" % names])
            detail = "picture %.0f x %.0f" % (right - left, bottom - top)
            if width > height and touch_screen:
                # Thumbs' reach: the arrows on one side of the picture, End on the other.
                arrows = [dict(layout["controls"])[n] for n in ("Up", "Left", "Right", "Down")]
                end = dict(layout["controls"])["End"]
                if max(a[2] for a in arrows) > left or end[0] < right:
                    faults.append("arrows and End not either side of the picture")
            if width == 844:
                detail += ", %.2f times the 288 x 216 of before" % (area / TODAY_AT_844)
                if area < 3 * TODAY_AT_844:
                    faults.append("picture under 3 times its old area")
            if width > 800 and not touch_screen:
                # A large screen: the picture in the middle, not in the top left corner (on a
                # whole number of device pixels: within a 4 px step of it).
                if abs(left - (layout["width"] - right)) > 8:
                    faults.append("picture not centred")
            # Whatever the page does not need is held to the largest the viewport allows.
            largest = min(800, width, height * 4 / 3)
            if right - left < 0.6 * largest:
                faults.append("picture under 60 %% of the %.0f px it could have" % largest)
            check("%d x %d%s: nothing scrolls sideways, picture and every control in view, "
                  "controls at least 44 px" % (width, height, " touch" if touch_screen else ""),
                  not faults, "; ".join(faults) or detail)
            if width == 844:
                # The README's docs/web-landscape.png, at half the device's pixels.
                shot = b.send("Page.captureScreenshot", format="png", clip={
                    "x": 0, "y": 0, "width": width, "height": height, "scale": 0.5})
                with open(os.path.join(build, "phone-landscape.png"), "wb") as f:
                    f.write(base64.b64decode(shot["data"]))
                picture = resample(canvas_picture(b))
                share = sum(1 for y in range(0, 600, 2) for x in range(0, 800, 2)
                            if in_boxes(x, y, boxes) or near(picture[y][x], reference[y][x]))
                check("844 x 390: the picture, resampled to 800 x 600, is the native frame",
                      share >= 0.97 * 300 * 400, "%.2f%% equal" % (share / 1200.0))


def turned_with_up_held(build):
    with Browser(serve_dir=build) as b:
        emulate(b, 390, 844, 3, True)
        start(b)
        up = control_centre(b.evaluate(LAYOUT), "Up")
        touch(b, "touchStart", [(0, up)])
        b.wait_for("(Module.test.keysDown || []).includes(%d)" % VK_UP, timeout=5)
        emulate(b, 844, 390, 3, True)  # the phone turned on its side, the finger still down
        b.wait_for("(c => c.right < innerWidth / 2 + 80)"
                   "(document.querySelector('.pad').getBoundingClientRect())", timeout=5)
        turned, expected = turn_between_looks(b)
        held = keys_down(b)
        faults = laid_out(b.evaluate(LAYOUT))
        touch(b, "touchEnd", [])
        check("turned from upright to landscape with Up held: laid out again at once, Up still "
              "held and still turning 2 degrees a frame", held == [VK_UP] and
              abs(turned - expected) <= 8 and not faults,
              "held %s, turned %.1f degrees for %d; %s" % (held, turned, expected, faults))


# ---- full screen --------------------------------------------------------------------------------

def full_screen(build):
    with Browser(serve_dir=build) as b:
        emulate(b, 844, 390, 3, True)
        start(b)
        before = b.evaluate(LAYOUT)["canvas"]
        x, y = control_centre(b.evaluate(LAYOUT), "Full")
        touch(b, "touchStart", [(0, (x, y))])
        touch(b, "touchEnd", [])
        try:
            b.wait_for("document.fullscreenElement && document.body.classList.contains("
                       "'fullscreen')", timeout=5)
            entered = True
        except BrowserTimeout:
            entered = False
        layout = b.evaluate(LAYOUT)
        hint = b.evaluate("(h => !h.hidden && h.textContent)"
                          "(document.getElementById('fullscreen-hint'))")
        check("full screen: one tap on the control, the page fills the screen with every "
              "control in view and says how to leave and end with them",
              entered and not laid_out(layout) and hint and "End ends" in hint,
              "entered %s, picture %s before %s, hint %r, %s" % (
                  entered, layout["canvas"], before, hint, laid_out(layout)))
        # Escape in full screen is the browser's way out, not the demo's end: as from a browser
        # that hands it to the page too (Chromium keeps it), then as Chromium does.
        escape = """document.getElementById('canvas').dispatchEvent(new KeyboardEvent(%r,
            {key: 'Escape', code: 'Escape', bubbles: true}))"""
        b.evaluate(escape % "keydown")
        wait_frames(b, 5)
        handed = b.evaluate("document.body.dataset.exitCode") is None
        b.evaluate(escape % "keyup")
        start_frames = frames(b)
        b.press("Escape")
        try:
            b.wait_for("!document.fullscreenElement && "
                       "!document.body.classList.contains('fullscreen')", timeout=5)
            left = True
        except BrowserTimeout:
            left = False
        wait_frames(b, 5)
        check("full screen: Escape leaves full screen and does not end the demo",
              handed and left and b.evaluate("document.body.dataset.exitCode") is None and
              frames(b) > start_frames, "running after an Escape handed over %s, left %s, "
              "exit code %s" % (handed, left, b.evaluate("document.body.dataset.exitCode")))
        time.sleep(1.0)  # past the moment an Escape that left full screen may still arrive
        b.key_down("Escape")  # held until the program has seen it, as a finger holds it
        try:
            code = b.wait_for("document.body.dataset.exitCode", timeout=10)
        finally:
            b.key_up("Escape")
        check("out of full screen, Escape ends the demo again and the controls go",
              code == "0" and b.evaluate(LAYOUT)["controls"] == [],
              "code %r, controls %s" % (code, b.evaluate(LAYOUT)["controls"]))

    # Every shape, touch or not: full screen names only the ways to leave and to end that the
    # device has, and keeps both controls in view (a desktop has no End key, a phone no Escape).
    wrong = []
    with Browser(serve_dir=build) as b:
        for shape in SHAPES:
            emulate(b, *shape)
            start(b)
            x, y = control_centre(b.evaluate(LAYOUT), "Full")
            if shape[3]:
                touch(b, "touchStart", [(0, (x, y))])
                touch(b, "touchEnd", [])
            else:
                for kind in ("mousePressed", "mouseReleased"):
                    b.send("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left",
                           clickCount=1)
            b.wait_for("document.body.classList.contains('fullscreen')", timeout=5)
            hint = b.evaluate("document.getElementById('fullscreen-hint').textContent")
            layout = b.evaluate(LAYOUT)
            names = sorted(name for name, _ in layout["controls"] if name in ("End", "Leave"))
            ways = ("Leave full screen with its control" in hint and "Escape" not in hint
                    if shape[3] else "Escape leaves full screen" in hint and "End control" in hint)
            if not ways or names != ["End", "Leave"] or laid_out(layout):
                wrong.append((shape, hint, names, laid_out(layout)))
            b.evaluate("document.exitFullscreen()")
            b.wait_for("!document.body.classList.contains('fullscreen')", timeout=5)
    check("full screen on %d shapes: the hint names the ways this device has, End and Leave "
          "in view" % len(SHAPES), not wrong, wrong)

    with Browser(serve_dir=build) as b:
        # As on the iPhone's Safari: no Fullscreen API for elements.
        b.send("Page.addScriptToEvaluateOnNewDocument", source="""
            delete Element.prototype.requestFullscreen;
            delete Element.prototype.webkitRequestFullscreen;
            Object.defineProperty(Document.prototype, 'fullscreenEnabled', {get: () => false});
            Object.defineProperty(Document.prototype, 'webkitFullscreenEnabled',
                                  {get: () => false});""")
        emulate(b, 390, 844, 3, True)
        start(b)
        names = [name for name, _ in b.evaluate(LAYOUT)["controls"]]
        check("no Fullscreen API: no Full screen control, the others in place",
              "Full" not in names and "End" in names and "Up" in names, names)


# ---- installed and offline ----------------------------------------------------------------------

WORKER_READY = """navigator.serviceWorker.ready.then(r => !!r.active &&
    r.active.state === 'activated' && !!navigator.serviceWorker.controller)"""


def installable_and_offline(build):
    with Browser(serve_dir=build) as b:
        start(b)
        b.wait_for(WORKER_READY, timeout=30)
        errors = b.send("Page.getInstallabilityErrors")["installabilityErrors"]
        manifest = b.send("Page.getAppManifest")
        import json
        fields = json.loads(manifest.get("data") or "{}")
        icons = {(i.get("sizes"), i.get("purpose", "any")) for i in fields.get("icons", [])}
        check("installable: no installability errors, the manifest's fields read back",
              errors == [] and not manifest.get("errors") and fields.get("start_url") == "./"
              and fields.get("scope") == "./" and fields.get("display") == "standalone" and
              fields.get("theme_color") == "#1c1c1c" and ("192x192", "any") in icons and
              ("512x512", "any") in icons and ("512x512", "maskable") in icons,
              "errors %s %s; %s" % (errors, manifest.get("errors"), fields))

        b.stop_serving()  # the network is cut, for the page and its worker alike
        cut = b.evaluate("fetch('sw.js', {cache: 'no-store'})"
                         ".then(() => 'answered', () => 'refused')")
        b.open(b.url("index.html"))
        try:
            b.wait_for("(Module.test.framesPresented || 0) > 2", timeout=30)
            wait_frames(b, 3)
            first = root_angle(resample(canvas_picture(b)))
            held = hold(b, lambda: b.key_down("ArrowUp"), lambda: b.key_up("ArrowUp"), 0.3,
                        lambda: b.key_down("ArrowUp", repeat=True), vk=VK_UP)
            wait_frames(b, 3)
            turned = angle_difference(root_angle(resample(canvas_picture(b))) - first, 2 * held)
            ok = held > 0 and abs(turned) <= 5
        except BrowserTimeout as error:
            ok, held, turned = False, 0, str(error)
        check("offline: reloaded with the network cut, the picture is there and Up turns it",
              cut == "refused" and ok, "network %s; %d frames held, off by %s degrees" % (
                  cut, held, turned))


def append_wasm_section(path, name, payload):
    """A custom section at the end of a module: valid, ignored by the program, another build."""
    def leb(n):
        out = bytearray()
        while True:
            byte, n = n & 0x7F, n >> 7
            out.append(byte | (0x80 if n else 0))
            if not n:
                return bytes(out)
    body = leb(len(name)) + name + payload
    with open(path, "ab") as f:
        f.write(b"\x00" + leb(len(body)) + body)


def new_build(build):
    site = tempfile.mkdtemp(prefix="skorvane-screen-test-")
    try:
        for name in os.listdir(build):
            if os.path.isfile(os.path.join(build, name)):
                shutil.copy(os.path.join(build, name), site)
        with Browser(serve_dir=site) as b:
            start(b)
            b.wait_for(WORKER_READY, timeout=30)
            first = b.evaluate("document.documentElement.dataset.build")
            first_bytes = os.path.getsize(os.path.join(site, "skorvane.wasm"))
            first_wasm = [n for n in os.listdir(site) if re.match(r"skorvane\.\w+\.wasm$", n)][0]
            # The site gets a second build: another .js, another .wasm, stamped as a build is.
            with open(os.path.join(site, "skorvane.js"), "a") as f:
                f.write("\nwindow.secondBuild = true;\n")
            append_wasm_section(os.path.join(site, "skorvane.wasm"), b"skorvane-test",
                                b"second build")
            second_bytes = os.path.getsize(os.path.join(site, "skorvane.wasm"))
            stamp = ["cmake", "-DSOURCE_DIR=" + os.path.join(ROOT, "platform", "web"),
                     "-DPAGE_DIR=" + site, "-P",
                     os.path.join(ROOT, "platform", "web", "stamp_page.cmake")]
            subprocess.run(stamp, check=True)
            with open(os.path.join(site, "index.html"), "rb") as f:
                old_page = f.read()
            second = re.search(rb'data-build="(\w+)"', old_page).group(1).decode()
            # The visit after the site changed finds the new worker, which caches the second
            # build whole and takes over; that visit itself still runs the first build whole.
            start(b)
            during = b.evaluate("[document.documentElement.dataset.build, !!window.secondBuild,"
                                " Module.test.programBytes]")
            b.wait_for("navigator.serviceWorker.getRegistration().then(r => r && r.active && "
                       "!r.installing && !r.waiting && r.active.scriptURL.endsWith('sw.js') && "
                       "caches.keys().then(k => k.length === 2))", timeout=30)
            start(b)
            after = b.evaluate("[document.documentElement.dataset.build, !!window.secondBuild,"
                               " Module.test.programBytes]")
            cached = b.evaluate("caches.open('skorvane-' + document.documentElement.dataset.build)"
                                ".then(c => c.keys()).then(k => k.map(r => r.url.split('/')"
                                ".pop()).sort())")
            check("a second build served to a page with the first cached: the next visit runs "
                  "the second's page, .js and .wasm, all of them cached together",
                  during == [first, False, first_bytes] and after[0] != first and
                  after[1:] == [True, second_bytes] and len(cached) == 8,
                  "first %s; visit after the change %s; next %s (wasm %d bytes); cached %s" % (
                      first, during, after, second_bytes, cached))
            # The first build's program, gone from the site, is still answered to a page of it
            # (the worker keeps the build before its own); after a third build it is not, and
            # no request for it is ever answered with another build's program.
            asked = "fetch(%r).then(r => r.ok ? r.arrayBuffer().then(a => a.byteLength) : r.status)"
            kept = b.evaluate(asked % first_wasm)
            with open(os.path.join(site, "skorvane.js"), "a") as f:
                f.write("\nwindow.thirdBuild = true;\n")
            subprocess.run(stamp, check=True)
            start(b)
            b.wait_for("caches.keys().then(k => k.length === 2 && !k.includes('skorvane-%s'))"
                       % first, timeout=30)
            gone = b.evaluate(asked % first_wasm)
        # A first visit racing a deploy: the page of the build before arrives, then its program
        # is gone from the site; it fetches its own page again and runs the new build whole.
        with Browser(serve_dir=site) as b:
            b.once["index.html"] = old_page
            start(b)
            raced = b.evaluate("[document.documentElement.dataset.build !== %r, !!window."
                               "thirdBuild, Module.test.programBytes]" % second)
            check("the previous build's program kept for a page of it, never another's after "
                  "two builds; a first visit racing a deploy runs the new build whole",
                  kept == first_bytes and gone == 404 and raced == [True, True, second_bytes],
                  "kept %s, after a third build %s, raced %s" % (kept, gone, raced))
    finally:
        shutil.rmtree(site, ignore_errors=True)


# ---- inside another page's frame ----------------------------------------------------------------

HOST = """<!doctype html><html><body style="margin:0">
<input id="field" autofocus>
<div style="height: 1500px"></div>
<div id="holder"></div>
<div style="height: 1500px"></div>
</body></html>"""


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def type_text(b, text):
    for char in text:
        b.press(" " if char == " " else char)


def frames_keep_focus(build):
    site = tempfile.mkdtemp(prefix="skorvane-host-")
    host = None
    try:
        with open(os.path.join(site, "host.html"), "w") as f:
            f.write(HOST)
        handler = functools.partial(Quiet, directory=site)
        host = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=host.serve_forever, kwargs={"poll_interval": 0.1},
                         daemon=True).start()
        with Browser(serve_dir=build) as b:
            frame_url = b.url("index.html")
            for kind in ("same-origin", "cross-origin"):
                # Same origin: the host on the demo's own site; cross-origin: on another port.
                if kind == "same-origin":
                    shutil.copy(os.path.join(site, "host.html"), os.path.join(build, "host.html"))
                    b.open(b.url("host.html"))
                else:
                    b.open("http://127.0.0.1:%d/host.html" % host.server_address[1])
                b.wait_for("document.activeElement.id === 'field'", timeout=5)
                type_text(b, "hel")
                b.evaluate("""(() => { const f = document.createElement('iframe');
                    f.src = %r; f.width = 820; f.height = 700; f.id = 'demo';
                    document.getElementById('holder').appendChild(f); })()""" % frame_url)
                # The demo has started and drawn: it has had its chance to take the keyboard.
                b.wait_for("(window.Module && Module.test.framesPresented || 0) > 2",
                           timeout=30, in_frame=True)
                type_text(b, "lo world")
                typed = b.evaluate("[document.getElementById('field').value, "
                                   "document.activeElement.id]")
                b.evaluate("document.activeElement.blur(); window.scrollTo(0, 0)")
                for key in ("ArrowDown", " ", "ArrowDown"):
                    b.press(key)
                try:
                    scrolled = b.wait_for("window.scrollY > 0 && window.scrollY", timeout=5)
                except BrowserTimeout:
                    scrolled = 0
                # Clicked, the demo takes the keyboard: the host stops scrolling on Down.
                b.evaluate("document.getElementById('demo').scrollIntoView()")
                x, y = b.evaluate("(r => [r.left + 400, r.top + 300])"
                                  "(document.getElementById('demo').getBoundingClientRect())")
                for kind_of in ("mousePressed", "mouseReleased"):
                    b.send("Input.dispatchMouseEvent", type=kind_of, x=x, y=y, button="left",
                           clickCount=1)
                b.wait_for("document.activeElement.id === 'demo'", timeout=5)
                # Keyboard scrolling is animated: wait for the host to stand still first.
                b.wait_for("new Promise(r => { const y = scrollY; "
                           "setTimeout(() => r(scrollY === y), 300); })", timeout=10)
                at = b.evaluate("window.scrollY")
                b.press("ArrowDown")
                b.press("ArrowDown")
                time.sleep(0.3)
                still = b.evaluate("window.scrollY") == at
                check("%s frame: the host keeps its autofocus field, its typing and its "
                      "scrolling until the demo is clicked, which then takes the keys" % kind,
                      typed == ["hello world", "field"] and scrolled > 0 and still,
                      "typed %s, scrolled %s, still after the click %s" % (typed, scrolled,
                                                                          still))
    finally:
        if host is not None:
            host.shutdown()
            host.server_close()
        shutil.rmtree(site, ignore_errors=True)
        if os.path.exists(os.path.join(build, "host.html")):
            os.remove(os.path.join(build, "host.html"))


def framed_box(build):
    """A framed demo whose box comes up (no WebGL there): the host keeps its typing, space too."""
    box = "document.getElementById('demo').contentDocument.querySelector('.message-box')"
    with open(os.path.join(build, "host.html"), "w") as f:
        f.write(HOST)
    try:
        with Browser(serve_dir=build) as b:
            b.send("Page.addScriptToEvaluateOnNewDocument", source="""if (window !== top) {
                const get = HTMLCanvasElement.prototype.getContext;
                HTMLCanvasElement.prototype.getContext = function (kind, ...rest) {
                    return /webgl/.test(kind) ? null : get.call(this, kind, ...rest); }; }""")
            b.open(b.url("host.html"))
            b.wait_for("document.activeElement.id === 'field'", timeout=5)
            type_text(b, "hel")
            b.evaluate("(f => { f.src = 'index.html'; f.width = 820; f.height = 700; f.id = 'demo';"
                       " document.getElementById('holder').appendChild(f); })"
                       "(document.createElement('iframe'))")
            b.wait_for("(f => !!f.contentDocument && !!%s)(document.getElementById('demo'))" % box,
                       timeout=30)
            type_text(b, "lo world")
            typed = b.evaluate("[document.getElementById('field').value, document.activeElement"
                               ".id, %s.ownerDocument.body.dataset.exitCode || null]" % box)
            b.evaluate("document.getElementById('demo').scrollIntoView()")
            x, y = b.evaluate("(r => (o => [r.left + o.left + 5, r.top + o.top + 5])(%s"
                              ".querySelector('button').getBoundingClientRect()))(document"
                              ".getElementById('demo').getBoundingClientRect())" % box)
            for kind in ("mousePressed", "mouseReleased"):
                b.send("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left",
                       clickCount=1)
            code = b.wait_for("document.getElementById('demo').contentDocument.body.dataset"
                              ".exitCode", timeout=10)
            check("framed demo with its message box up: the host keeps its typing, the box "
                  "waits and is answered by a click on it",
                  typed == ["hello world", "field", None] and code == "1", (typed, code))
    finally:
        os.remove(os.path.join(build, "host.html"))


# ---- failures and keys --------------------------------------------------------------------------

def abort_long_after_start(build):
    with Browser(serve_dir=build) as b:
        start(b)
        wait_frames(b, 30)
        # Far more key events in one task than the program's memory holds: it aborts with an
        # out-of-memory error, long after its first frame.
        b.evaluate("""(() => {
            const canvas = document.getElementById('canvas');
            for (let i = 0; i < 700000 && !document.body.dataset.exitCode; ++i) {
                canvas.dispatchEvent(new KeyboardEvent('keydown', {key: 'a', code: 'KeyA',
                                                                   bubbles: true}));
            }
        })()""", timeout=120)
        try:
            text = b.wait_for("(e => e && e.textContent)(document.getElementById('ended'))",
                              timeout=10)
        except BrowserTimeout:
            text = None
        # The abort reports itself twice, "Aborted(OOM)" and then the uncaught RuntimeError it
        # throws; the second can reach the console after the notice is up (in about one run of
        # three, with Emscripten 3.1.6 and 3.1.69 alike). Lines are counted from both on.
        deadline = time.monotonic() + 10
        while (not [m for m in b.console_messages() if "RuntimeError: Aborted(" in m["text"]]
               and time.monotonic() < deadline):
            time.sleep(0.05)
        lines = len(b.console_messages())
        aborts = len([m for m in b.console_messages() if "Aborted(" in m["text"]])
        stopped_at = frames(b)
        keys_then = keys_down(b)
        for _ in range(20):
            b.press("ArrowUp")
        # The hidden canvas has no focus now: a handler still on it would tell the dead program.
        b.evaluate("document.getElementById('canvas').dispatchEvent(new KeyboardEvent('keydown',"
                   " {key: 'ArrowLeft', code: 'ArrowLeft', bubbles: true}))")
        b.evaluate("window.dispatchEvent(new Event('blur'))")
        time.sleep(0.5)
        type_errors = [m["text"] for m in b.console_messages() if "TypeError" in m["text"]]
        more = len(b.console_messages()) - lines
        check("a failure long after start-up: its one notice, the exit code, and no more work",
              text and "memory" in text and b.evaluate("document.body.dataset.exitCode") ==
              "abort" and b.evaluate("document.querySelectorAll('#ended').length") == 1 and
              aborts == 2 and not type_errors and more == 0 and frames(b) == stopped_at and
              keys_down(b) == keys_then and
              b.evaluate(LAYOUT)["controls"] == [],
              "notice %r, %d abort reports (2), %d console lines after them, frames %d -> %d, "
              "keys %s -> %s, %s" % (text, aborts, more, stopped_at, frames(b), keys_then,
                                     keys_down(b), type_errors[:2]))


def alt_release(build):
    with Browser(serve_dir=build) as b:
        start(b)
        b.key_down("ArrowUp")
        b.wait_for("(Module.test.keysDown || []).includes(%d)" % VK_UP, timeout=5)
        b.send("Input.dispatchKeyEvent", type="rawKeyDown", key="Alt", code="AltLeft",
               windowsVirtualKeyCode=18, nativeVirtualKeyCode=18, modifiers=1)
        b.send("Input.dispatchKeyEvent", type="keyUp", key="ArrowUp", code="ArrowUp",
               windowsVirtualKeyCode=38, nativeVirtualKeyCode=38, modifiers=1)
        b.send("Input.dispatchKeyEvent", type="keyUp", key="Alt", code="AltLeft",
               windowsVirtualKeyCode=18, nativeVirtualKeyCode=18)
        wait_frames(b, 3)
        held_after_alt = keys_down(b)
        turned, expected = turn_between_looks(b)
        still_turning = abs(turned - expected) <= 8
        b.evaluate("(h => { h.tabIndex = -1; h.focus({preventScroll: true}); })"
                   "(document.getElementById('help'))")
        wait_frames(b, 3)
        first = root_angle(resample(canvas_picture(b)))
        wait_frames(b, 10)
        turned = angle_difference(root_angle(resample(canvas_picture(b))), first)
        check("Up let go with Alt held stays held, as on Windows, until a blur lets go of it",
              held_after_alt == [VK_UP] and still_turning and keys_down(b) == [] and
              abs(turned) < 0.5, "held after Alt %s, turning %s, then %s turned %.1f" % (
                  held_after_alt, still_turning, keys_down(b), turned))


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/web"
    reference_path = sys.argv[2] if len(sys.argv) > 2 else "build/default/pictures/frame.png"
    only = sys.argv[3:]
    reference = None
    if not only or "shapes" in only:
        with open(reference_path, "rb") as f:
            reference = read_png(f.read())
    return run_sessions((("shapes", lambda: shapes(build, reference)),
                         ("turn", lambda: turned_with_up_held(build)),
                         ("full screen", lambda: full_screen(build)),
                         ("offline", lambda: installable_and_offline(build)),
                         ("new build", lambda: new_build(build)),
                         ("frames", lambda: frames_keep_focus(build)),
                         ("framed box", lambda: framed_box(build)),
                         ("abort", lambda: abort_long_after_start(build)),
                         ("alt", lambda: alt_release(build))), only)


if __name__ == "__main__":
    sys.exit(main())
