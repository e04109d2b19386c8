#!/usr/bin/python3
"""The browser page as phones, high-density screens, failing GPUs and slow links meet it, in a
real headless Chromium with device emulation.

    /usr/bin/python3 -m tests.web.device_test [BUILD_DIR] [REFERENCE_PNG]     (from the top folder)

BUILD_DIR is the web preset's output (build/web); REFERENCE_PNG is the steady frame the native
render tests save (build/default/pictures/frame.png). Leaves a phone screenshot in
BUILD_DIR/phone.png (the README's docs/web-phone.png). Prints one line per check and "N passed, N failed"; exits non-zero when any
check failed.
"""

import base64
import os
import re
import shutil
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no __pycache__ beside the sources
from tools.browser import (  # noqa: E402
    Browser, BrowserTimeout, canvas_picture, canvas_rect,
    frames, hold, keys_down, resample, touch, wait_frames)
from tests.web.page_test import (  # noqa: E402
    HEIGHT, WIDTH, angle_difference, caption_boxes, check, eye_to_canvas, green_extent,
    in_boxes, near, read_png, root_angle, run_sessions)

VK_LEFT, VK_UP, VK_RIGHT = 37, 38, 39


def share_equal(a, b, skip=None, tolerance=2):
    same = total = 0
    for y in range(HEIGHT):
        for x in range(WIDTH):
            if skip is None or not skip(x, y):
                total += 1
                same += near(a[y][x], b[y][x], tolerance)
    return same / total


def blended_green(picture):
    """Of the caption's green pixels in a device-pixel picture, the share blended with the
    background: a stretched backing store blends most glyph edges, a sharp one none."""
    sx, sy = len(picture[0]) / WIDTH, len(picture) / HEIGHT
    green = blended = 0
    for l, t, r, b in caption_boxes():
        for y in range(int(t * sy), int(b * sy)):
            for x in range(int(l * sx), int(r * sx)):
                red, g, blue = picture[y][x]
                if g >= 48 and red < 48 + g // 3 and blue < 48 + g // 3 and g > red + 24:
                    green += 1
                    blended += g < 240
    return blended / max(green, 1), green


def red_pixels(picture):
    return sum(1 for row in picture for p in row if p[0] >= 200 and p[1] < 60 and p[2] < 60)


def control_centre(b, label):
    """Where a finger goes on the control of that aria-label's first word."""
    return b.evaluate("""(r => [r.left + r.width / 2, r.top + r.height / 2])(Array.from(
        document.querySelectorAll('.control')).find(c => c.getAttribute('aria-label')
        .split(/[: ]/)[0] === %r).getBoundingClientRect())""" % label)


def nearest_turn(measured, expected):
    """The turn congruent to the measured one (the lines repeat every 90 degrees) nearest to the
    expected one."""
    return expected + angle_difference(measured - expected, 0)


# ---- phone --------------------------------------------------------------------------------------

def phone(build):
    with Browser(serve_dir=build) as b:
        b.send("Emulation.setDeviceMetricsOverride", width=390, height=844, deviceScaleFactor=3,
               mobile=True)
        b.send("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=5)
        b.open(b.url("index.html"))
        b.wait_for("(Module.test.framesPresented || 0) > 3", timeout=30)
        wait_frames(b, 3)
        layout = b.evaluate("""(() => {
            const c = document.getElementById('canvas').getBoundingClientRect();
            const pad = document.getElementById('controls').getBoundingClientRect();
            return [document.documentElement.scrollWidth, 390, c.right, pad.bottom,
                    innerHeight, getComputedStyle(document.getElementById('controls')).display];
        })()""")
        check("phone: picture and controls fit the screen, no sideways scrolling",
              layout[0] <= layout[1] and layout[2] <= layout[1] and layout[3] <= layout[4] and
              layout[5] != "none", "scroll width %s of %s, canvas right %s, controls bottom %s "
              "of %s, controls %s" % tuple(layout))

        steady = resample(canvas_picture(b))
        root = root_angle(steady)
        up = control_centre(b, 'Up')
        held = hold(b, lambda: touch(b, "touchStart", [(0, up)]),
                    lambda: touch(b, "touchEnd", []), 0.25, vk=VK_UP)
        wait_frames(b, 3)
        turned_picture = resample(canvas_picture(b))
        turned = 2 * held + angle_difference(root_angle(turned_picture) - root, 2 * held)
        check("phone: holding the Up control with one finger turns the picture 2 degrees a frame",
              0 < held < 60 and abs(turned - 2 * held) <= 5,
              "%.1f degrees over %d frames" % (turned, held))
        wait_frames(b, 10)
        # The page as the README shows it: down to the help text, at half the device's pixels.
        bottom = b.evaluate("document.getElementById('help').getBoundingClientRect().bottom")
        shot = b.send("Page.captureScreenshot", format="png",
                      clip={"x": 0, "y": 0, "width": 390, "height": bottom + 8, "scale": 0.5})
        with open(os.path.join(build, "phone.png"), "wb") as f:
            f.write(base64.b64decode(shot["data"]))
        check("phone: letting go of Up stops the turn", keys_down(b) == [] and abs(
            angle_difference(root_angle(resample(canvas_picture(b))),
                             root_angle(turned_picture))) < 0.5, "keys down %s" % keys_down(b))

        left, right = control_centre(b, 'Left'), control_centre(b, 'Right')
        before = resample(canvas_picture(b))
        touch(b, "touchStart", [(1, left)])
        touch(b, "touchStart", [(1, left), (2, right)])
        wait_frames(b, 2)
        both = keys_down(b)
        wait_frames(b, 8)
        touch(b, "touchEnd", [(2, right)])
        one = keys_down(b)
        touch(b, "touchEnd", [])
        wait_frames(b, 3)
        after = resample(canvas_picture(b))
        level1 = eye_to_canvas(12, 0, -43)
        changed = sum(1 for y in range(int(level1[1]) - 20, int(level1[1]) + 20)
                      for x in range(int(level1[0]) - 20, int(level1[0]) + 20)
                      if not near(before[y][x], after[y][x]))
        check("phone: Left and Right held with two fingers are both held, and let go one by one",
              sorted(both) == [VK_LEFT, VK_RIGHT] and one == [VK_LEFT] and
              keys_down(b) == [] and changed > 20 and
              abs(angle_difference(root_angle(after), root_angle(before))) < 1.0,
              "both %s, after lifting one %s, level-one change %d" % (both, one, changed))

        end = control_centre(b, 'End')
        touch(b, "touchStart", [(3, end)])
        try:
            code = b.wait_for("document.body.dataset.exitCode", timeout=10)
        except BrowserTimeout:
            code = None
        finally:
            touch(b, "touchEnd", [])
        check("phone: holding End ends the program with exit code 0", code == "0",
              "code %r" % code)


# ---- high density -------------------------------------------------------------------------------

def high_density(build, reference):
    # A real scale first (the browser started at it: what a high-density screen reports, such as
    # the canvas' size in device pixels, which emulation never gives), then emulated ones.
    for scale, real in ((2, True), (2, False), (1.5, False)):
        with Browser(serve_dir=build,
                     extra_args=["--force-device-scale-factor=%s" % scale] if real else []) as b:
            if not real:
                b.send("Emulation.setDeviceMetricsOverride", width=1024, height=768,
                       deviceScaleFactor=scale, mobile=False)
            b.open(b.url("index.html"))
            b.wait_for("(Module.test.framesPresented || 0) > 3", timeout=30)
            wait_frames(b, 3)
            size = b.evaluate("(c => [c.width, c.height])(document.getElementById('canvas'))")
            ratio = b.evaluate("devicePixelRatio")
            left, top, width, height = canvas_rect(b)
            scale = "%s%s" % (scale, " (real)" if real else "")
            check("scale %s: backing store is the displayed size times the ratio" % scale,
                  size == [round(width * ratio), round(height * ratio)] and width == WIDTH,
                  "backing %s, shown %sx%s" % (size, width, height))
            device = canvas_picture(b)
            picture = resample(device)
            boxes = caption_boxes()
            share = share_equal(picture, reference)
            outside = share_equal(picture, reference, lambda x, y: in_boxes(x, y, boxes))
            check("scale %s: the picture resampled to 800 x 600 matches the native frame" % scale,
                  share >= 0.98 and outside >= 0.98,
                  "%.2f%% of all pixels, %.2f%% outside the captions" % (100 * share,
                                                                        100 * outside))
            blended, green = blended_green(device)
            places = [(green_extent(picture, box), green_extent(reference, box))
                      for box in boxes]
            placed = all(web is not None and abs(web[0] - native[0]) <= 2 and
                         abs(web[1] - native[1]) <= 3 and abs(web[2] - native[2]) <= 2
                         for web, native in places)
            check("scale %s: captions as sharp as at scale 1, in their places" % scale,
                  blended <= 0.05 and green > 0 and placed,
                  "%.1f%% of %d green pixels blended; extents %s" % (
                      100 * blended, green, [(w[:3] if w else None, n[:3]) for w, n in places]))
            if scale == "2":
                # As when the window moves to another screen or the page is zoomed.
                b.send("Emulation.setDeviceMetricsOverride", width=1024, height=768,
                       deviceScaleFactor=1.25, mobile=False)
                wait_frames(b, 5)
                size = b.evaluate("(c => [c.width, c.height])(document.getElementById('canvas'))")
                blended, green = blended_green(canvas_picture(b))
                check("ratio changed from 2 to 1.25 while running: the backing store and the "
                      "captions follow", size == [1000, 750] and blended <= 0.05 and green > 0,
                      "backing %s, %.1f%% of %d green pixels blended" % (size, 100 * blended,
                                                                          green))


# ---- lost context -------------------------------------------------------------------------------

LOSE = """(() => {
    const gl = document.getElementById('canvas').getContext('webgl');
    window.loseContextExtension = gl.getExtension('WEBGL_lose_context');
    window.loseContextExtension.loseContext();
    return gl.isContextLost();
})()"""


def notice_state(b):
    return b.evaluate("""(n => [!n.hidden, !n.querySelector('.reload').hidden,
        (r => r.top >= 0 && r.bottom <= innerHeight)(n.getBoundingClientRect())])
        (document.getElementById('context-notice'))""")


def lost_context(build, reference):
    boxes = caption_boxes()

    def outside_captions(x, y):
        return in_boxes(x, y, boxes)

    with Browser(serve_dir=build) as b:
        b.open(b.url("index.html"))
        b.wait_for("(Module.test.framesPresented || 0) > 3", timeout=30)
        wait_frames(b, 3)
        # Lost and given back while nothing turns: the native frame again, captions and all.
        lost = b.evaluate(LOSE)
        wait_frames(b, 3)
        shown = notice_state(b)
        b.evaluate("window.loseContextExtension.restoreContext()")
        b.wait_for("document.getElementById('context-notice').hidden", timeout=10)
        wait_frames(b, 3)
        picture = resample(canvas_picture(b))
        share = share_equal(picture, reference, outside_captions)
        captions = [(green_extent(picture, box), green_extent(reference, box)) for box in boxes]
        same_captions = all(w is not None and all(abs(p - q) <= 1 for p, q in zip(w[:4], n[:4]))
                            for w, n in captions)
        check("lost and restored context: the notice in view while lost, then the native frame "
              "with its captions", lost and shown[0] and shown[2] and not shown[1] and
              share >= 0.99 and same_captions, "notice/reload/in view %s; %.2f%% equal, "
              "captions %s" % (shown, 100 * share, captions))

        # Lost while Up is held: the loop and the keys go on, and the picture comes back turned.
        start_angle = root_angle(picture)
        lost_at = []
        held = hold(b, lambda: (lost_at.append(b.evaluate(LOSE)), b.key_down("ArrowUp")),
                    lambda: b.key_up("ArrowUp"), 0.4,
                    lambda: b.key_down("ArrowUp", repeat=True), vk=VK_UP)
        still_lost = b.evaluate("document.getElementById('canvas').getContext('webgl')"
                                ".isContextLost()")
        b.evaluate("window.loseContextExtension.restoreContext()")
        b.wait_for("document.getElementById('context-notice').hidden", timeout=10)
        wait_frames(b, 3)
        picture = resample(canvas_picture(b))
        turned = nearest_turn(angle_difference(root_angle(picture), start_angle), 2 * held)
        # The scene turns its cubes as well as their places, so no turned copy of the native
        # frame stands for it; the whole picture is back when its cubes are.
        cubes, native_cubes = red_pixels(picture), red_pixels(reference)
        check("restored after a loss with Up held: drawn again, turned by the frames held",
              lost_at == [True] and still_lost and 0 < held < 60 and
              abs(turned - 2 * held) <= 5 and abs(cubes - native_cubes) <= 0.2 * native_cubes,
              "%.1f degrees over %d frames held; %d red pixels, native %d"
              % (turned, held, cubes, native_cubes))
        noise = [m["text"] for m in b.console_messages() if m["level"] in ("error", "warning")
                 and "CONTEXT_LOST" not in m["text"]]
        check("restored context: no console errors or warnings beyond the loss notice",
              not noise, noise[:3])

        b.evaluate(LOSE)
        time.sleep(1.0)
        early = notice_state(b)
        b.wait_for("!document.querySelector('#context-notice .reload').hidden", timeout=10)
        late = notice_state(b)
        before = frames(b)
        time.sleep(0.3)
        check("lost for good: the notice, after a few seconds the offer to reload; frames go on",
              early[0] and not early[1] and late[0] and late[1] and late[2] and
              frames(b) > before, "after 1 s %s, later %s" % (early, late))


# ---- loading and failures -----------------------------------------------------------------------

def in_view(b, selector):
    return b.evaluate("""(e => !!e && (r => r.width > 0 && r.top >= 0 && r.left >= 0 &&
        r.bottom <= innerHeight && r.right <= innerWidth)(e.getBoundingClientRect()))
        (document.querySelector(%r))""" % selector)


def loading(build):
    with Browser(serve_dir=build) as b:
        b.send("Network.enable")
        # About a slow mobile link: 400 kbit/s down, 150 ms round trips.
        b.send("Network.emulateNetworkConditions", offline=False, latency=150,
               downloadThroughput=50000, uploadThroughput=20000)
        b.open(b.url("index.html"), timeout=60)
        seen = []
        while len(seen) < 400:
            # One look at a time: the notice may go between two.
            state = b.evaluate("""(s => s ? [document.getElementById('status-text').textContent,
                document.getElementById('progress').value, (r => r.width > 0 && r.top >= 0 &&
                r.bottom <= innerHeight && r.right <= innerWidth)(s.querySelector('p')
                .getBoundingClientRect())] : null)(document.getElementById('status'))""")
            if state is None:
                break
            seen.append(state)
            time.sleep(0.05)
        progressed = [s for s in seen if s[1] and 0 < s[1]]
        check("slow link: the loading notice is in view with the download's progress",
              len(seen) > 5 and all(s[2] for s in seen) and len({s[1] for s in progressed}) >= 3
              and any("kB" in s[0] for s in progressed), "%d looks, %d with progress, last %r" % (
                  len(seen), len(progressed), seen[-1] if seen else None))
        b.send("Network.emulateNetworkConditions", offline=False, latency=0,
               downloadThroughput=-1, uploadThroughput=-1)
        b.wait_for("(Module.test.framesPresented || 0) > 0", timeout=60)
        order = b.evaluate("""(e => [e.find(r => /skorvane[.]\\w+[.]wasm$/.test(r.name)).startTime,
            e.find(r => /skorvane[.]\\w+[.]js$/.test(r.name)).responseEnd])
            (performance.getEntriesByType('resource'))""")
        check("slow link: the .wasm is asked for before the .js has arrived", order[0] < order[1],
              ".wasm asked at %.0f ms, .js arrived at %.0f ms" % tuple(order))


def notice(b):
    return b.wait_for("(e => e && e.textContent)(document.getElementById('ended'))", timeout=20)


# A trap when the page sets trapNow (the next glClear throws as a trap does), and the 30th
# animation frame refused, as by a failing polyfill.
FAULTS = """const clear = WebGLRenderingContext.prototype.clear, frame = requestAnimationFrame;
    let calls = 0;
    WebGLRenderingContext.prototype.clear = function (...args) {
        if (window.trapNow) { trapNow = false; throw new WebAssembly.RuntimeError('trapped'); }
        return clear.apply(this, args); };
    window.requestAnimationFrame = f => { if (++calls === 30) throw new Error('polyfill');
                                          return frame.call(window, f); };"""


def failures(build):
    site = tempfile.mkdtemp(prefix="skorvane-device-test-")
    js, wasm = sorted(n for n in os.listdir(build) if re.match(r"skorvane\.\w+\.(js|wasm)$", n))
    try:
        for name in ("index.html", js, "skorvane.svg"):
            shutil.copy(os.path.join(build, name), site)
        with Browser(serve_dir=site) as b:
            b.open(b.url("index.html"))
            text = notice(b)
            time.sleep(0.5)
            page = b.evaluate("document.body.innerText")
            count = b.evaluate("document.querySelectorAll('#ended').length")
            check(".wasm missing: one plain message in view, exit code 'abort'",
                  count == 1 and in_view(b, "#ended") and "missing" in text and
                  "404" in text and "ASSERTIONS" not in page and "Aborted" not in page and
                  "Loading" not in page and b.evaluate("document.body.dataset.exitCode") ==
                  "abort", "%d notices: %r" % (count, text))

            shutil.copy(os.path.join(build, wasm), site)
            size = os.path.getsize(os.path.join(site, js))
            b.cut[js] = size // 2
            b.open(b.url("index.html"))
            cut = notice(b)
            del b.cut[js]
            b.cut[js] = -(size // 2)
            b.send("Page.addScriptToEvaluateOnNewDocument",
                   source="window.skorvaneTestSettings = {stallMs: 1500};")
            b.open(b.url("index.html"))
            stalled = notice(b)
            del b.cut[js]
            with open(os.path.join(site, js), "r+b") as f:
                f.truncate(size // 2)
            b.open(b.url("index.html"))
            truncated = notice(b)
            code = b.evaluate("document.body.dataset.exitCode")
            check(".js cut half-way says the download was interrupted, a stalled one that it "
                  "stopped, a truncated .js that it is damaged or incomplete; exit code 'abort'",
                  "interrupted" in cut and "missing" not in cut and "damaged or incomplete" in
                  truncated and "stopped: nothing arrived" in stalled and code == "abort",
                  "cut %r; truncated %r; stalled %r" % (cut, truncated, stalled))

            b.open("file://" + os.path.join(site, "index.html"))
            text = notice(b)
            check("opened from file://: says the page must be served, and how",
                  "./run.sh web" in text and "static file server" in text, text)

            shutil.copy(os.path.join(build, js), site)
            b.send("Page.addScriptToEvaluateOnNewDocument", source=FAULTS)
            b.open(b.url("index.html"))
            b.wait_for("(Module.test.framesPresented || 0) > 40", timeout=30)
            going = b.evaluate("!document.getElementById('ended')")
            b.evaluate("window.trapNow = true")
            text = notice(b)
            code = b.evaluate("document.body.dataset.exitCode")
            check("a refused animation frame leaves the demo going; a trap gives the notice and "
                  "the exit code", going and "internal error" in text and code == "abort",
                  "going %s, notice %r, code %r" % (going, text, code))

            b.send("Page.addScriptToEvaluateOnNewDocument", source="delete window.WebAssembly;")
            b.open(b.url("index.html"))
            text = notice(b)
            errors = [m["text"] for m in b.console_messages()
                      if m["source"] == "exception" and "WebAssembly" in m["text"]]
            check("no WebAssembly: one plain message in view, no script errors",
                  in_view(b, "#ended") and "WebAssembly" in text and not errors and
                  b.evaluate("document.body.dataset.exitCode") == "abort",
                  "%r, errors %s" % (text, errors[:2]))
    finally:
        shutil.rmtree(site, ignore_errors=True)


# ---- focus --------------------------------------------------------------------------------------

# Sixty of the browser's animation frames, and the frames the demo presented meanwhile.
PACE = """new Promise(done => {
    let ticks = 0;
    const first = Module.test.framesPresented;
    const tick = () => ++ticks === 60 ? done(Module.test.framesPresented - first)
                                      : requestAnimationFrame(tick);
    requestAnimationFrame(tick);
})"""


def focus(build):
    with Browser(serve_dir=build) as b:
        b.open(b.url("index.html"))
        b.wait_for("(Module.test.framesPresented || 0) > 3", timeout=30)
        presented = b.evaluate(PACE, timeout=30)
        check("one frame presented on each of the browser's animation frames",
              58 <= presented <= 61, "%d in 60" % presented)
        check("on load the demo has the keys without the page scrolling",
              b.evaluate("[document.activeElement.id, window.scrollY]") == ["canvas", 0])
        b.key_down("ArrowUp")
        wait_frames(b, 3)
        held = keys_down(b)
        # A click elsewhere on the page takes the focus from the demo; Up is let go there.
        b.evaluate("(h => { h.tabIndex = -1; h.focus({preventScroll: true}); })"
                   "(document.getElementById('help'))")
        wait_frames(b, 3)
        first = root_angle(resample(canvas_picture(b)))
        wait_frames(b, 10)
        second = root_angle(resample(canvas_picture(b)))
        b.key_up("ArrowUp")
        check("a key held when the demo loses the focus is let go",
              held == [VK_UP] and keys_down(b) == [] and abs(angle_difference(second, first))
              < 0.5, "held %s, then %s; turned %.1f after the focus left" % (
                  held, keys_down(b), angle_difference(second, first)))
        b.evaluate("document.body.style.minHeight = '300vh'; document.activeElement.blur(); "
                   "window.scrollTo(0, 0)")
        b.press(" ")
        try:
            scrolled = b.wait_for("window.scrollY > 0 && window.scrollY", timeout=5)
        except BrowserTimeout:
            scrolled = 0
        check("with the focus outside the demo, Space scrolls the page", scrolled > 0,
              "scrollY %s" % scrolled)
        end = "document.querySelector('.control.end')"
        shown = b.evaluate("(e => [e.tabIndex, getComputedStyle(e).display, e.click(), "
                           "e.getAttribute('aria-pressed')][3])(%s)" % end)
        code = b.wait_for("document.body.dataset.exitCode", timeout=10)
        check("End, focusable on a desktop too, activated by click(): pressed while held, "
              "ends the demo with exit code 0", shown == "true" and code == "0",
              "aria-pressed %r, code %r" % (shown, code))


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/web"
    reference_path = sys.argv[2] if len(sys.argv) > 2 else "build/default/pictures/frame.png"
    only = sys.argv[3:]
    reference = None
    if not only or {"high density", "lost context"} & set(only):
        with open(reference_path, "rb") as f:
            reference = read_png(f.read())
    return run_sessions((("phone", lambda: phone(build)),
                         ("high density", lambda: high_density(build, reference)),
                         ("lost context", lambda: lost_context(build, reference)),
                         ("loading", lambda: loading(build)),
                         ("failures", lambda: failures(build)),
                         ("focus", lambda: focus(build))), only)


if __name__ == "__main__":
    sys.exit(main())
