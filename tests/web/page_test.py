#!/usr/bin/python3
"""The browser page in a real headless Chromium, driven as a person would drive it.

    /usr/bin/python3 -m tests.web.page_test [BUILD_DIR] [REFERENCE_PNG] [REFERENCE_TOOL]
                                                                         (from the top folder)

BUILD_DIR is the web preset's output (build/web); REFERENCE_PNG is the steady frame the native
render tests save (build/default/pictures/frame.png); next to it they save the independent
reference pictures (reference-0_0_0_0.png and its -edges.png). REFERENCE_TOOL
(build/default/tests/reference_picture) draws that reference for the spins a turned page reaches.
Prints one line per check and "N passed, N failed"; exits non-zero when any check failed.
"""

import glob
import math
import os
import subprocess
import sys
import time

from tools.browser import (Browser, BrowserError, BrowserTimeout, canvas_picture,  # noqa: F401
                           frames, hold_key, read_png, wait_frames)

WIDTH, HEIGHT = 800, 600
GREEN = (0, 255, 0)
# Eye-space to canvas: the program's 45 degree perspective on a 600-pixel-high viewport.
FOCAL = (HEIGHT / 2) / math.tan(math.radians(22.5))
CAPTIONS = [(-0.8, "Created using Quillon"),
            (-1.0, "This has been designed in anticipation to add to my project gh"),
            (-1.2, "Quenz's Matrix Demonstration using own matrices")]

results = []


def check(name, ok, detail=""):
    results.append(bool(ok))
    print("%s  %s%s" % ("ok  " if ok else "FAIL", name, "  (%s)" % (detail,) if detail else ""))
    sys.stdout.flush()


def run_sessions(sessions, only=()):
    """Runs each (name, session) in turn, or only those named; a session whose browser fails is a
    failed check of its own and the next one still runs. Prints the count; returns the exit
    code."""
    for name, run in sessions:
        if only and name not in only:
            continue
        try:
            run()
        except BrowserError as error:
            check("the %s session ran to its end" % name, False, error)
    failed = results.count(False)
    print("%d passed, %d failed" % (len(results) - failed, failed))
    return 1 if failed else 0


# ---- pictures -----------------------------------------------------------------------------------

def eye_to_canvas(x, y, z):
    return WIDTH / 2 + x * FOCAL / -z, HEIGHT / 2 - y * FOCAL / -z


def near(pixel, colour, tolerance=2):
    return all(abs(a - b) <= tolerance for a, b in zip(pixel, colour))


def root_angle(picture):
    """Turn of the whole picture in degrees (clockwise on the screen, modulo 90), from the four
    white connector lines leaving the root cube."""
    sine = cosine = 0.0
    for step in range(1440):
        phi = 2 * math.pi * step / 1440
        x, y = 400 + 45 * math.cos(phi), 300 + 45 * math.sin(phi)
        if all(c >= 230 for c in picture[int(round(y))][int(round(x))]):
            sine += math.sin(4 * phi)
            cosine += math.cos(4 * phi)
    return math.degrees(math.atan2(sine, cosine)) / 4


def angle_difference(a, b):
    return (a - b + 45) % 90 - 45


def patch_changes(before, after, centre, half):
    cx, cy = int(round(centre[0])), int(round(centre[1]))
    return sum(1 for y in range(cy - half, cy + half) for x in range(cx - half, cx + half)
               if not near(before[y][x], after[y][x]))


def caption_boxes():
    """Canvas rectangles (left, top, right, bottom) that hold each caption line."""
    boxes = []
    for y, text in CAPTIONS:
        rx, ry = eye_to_canvas(-1.6, y, -3)
        boxes.append((int(rx) - 4, int(ry) - 20, int(rx) + 11 * len(text) + 8, int(ry) + 8))
    return boxes


def glyph_shapes(picture):
    """Each caption glyph's green pixels against the same character drawn independently (Pillow,
    Liberation Mono Bold, the 20-pixel cell the program asks for, cut at half coverage), both
    placed by their top-left ink: returns the pixels that differ and the reference's ink."""
    from PIL import Image, ImageDraw, ImageFont
    # fonts-liberation2 puts it in liberation2/ on Debian 12, in liberation/ from Debian 13 on
    path = sorted(glob.glob("/usr/share/fonts/truetype/liberation*/LiberationMono-Bold.ttf"))[0]
    size = round(20 * 2048 / sum(ImageFont.truetype(path, 2048).getmetrics()))  # 2048 units/em
    font = ImageFont.truetype(path, size)

    def placed(points):
        left, top = min((p[0] for p in points), default=0), min((p[1] for p in points), default=0)
        return {(x - left, y - top) for x, y in points}
    differ = ink = 0
    for y, text in CAPTIONS:
        rx, ry = eye_to_canvas(-1.6, y, -3)
        for i, c in enumerate(text):
            left = int(math.floor(rx)) + 11 * i
            web = placed([(x, y) for y in range(int(ry) - 20, int(ry) + 8)
                          for x in range(left - 1, left + 12) if picture[y][x] == GREEN])
            image = Image.new("L", (40, 40), 0)
            ImageDraw.Draw(image).text((5, 5), c, font=font, fill=255)
            drawn = placed([(x, y) for y in range(40) for x in range(40)
                            if image.getpixel((x, y)) >= 128])
            differ, ink = differ + len(web ^ drawn), ink + len(drawn)
    return differ, ink


def in_boxes(x, y, boxes):
    return any(l <= x < r and t <= y < b for l, t, r, b in boxes)


def green_extent(picture, box):
    l, t, r, b = box
    points = [(x, y) for y in range(t, b) for x in range(l, r) if picture[y][x] == GREEN]
    if not points:
        return None
    xs = [p[0] for p in points]
    # Rows of text have many green pixels; an edge-on green cube face at most one per row.
    ys = [y for y in range(t, b) if sum(1 for p in points if p[1] == y) >= 3]
    return min(xs), max(xs), min(ys, default=-1), max(ys, default=-1), len(points)


# ---- the checks ---------------------------------------------------------------------------------

def first_picture(b, reference, reference_path):
    wait_frames(b, 3)  # the first frame after a resize sits 40 units away, later ones 43
    picture = canvas_picture(b)
    boxes = caption_boxes()
    same = total = 0
    for y in range(HEIGHT):
        for x in range(WIDTH):
            if not in_boxes(x, y, boxes):
                total += 1
                same += near(picture[y][x], reference[y][x])
    check("steady picture equals the native frame outside the captions",
          same >= 0.99 * total, "%.3f%% of %d pixels equal" % (100.0 * same / total, total))
    pictures = os.path.dirname(os.path.abspath(reference_path))
    against_reference("steady picture", picture, os.path.join(pictures, "reference-0_0_0_0.png"),
                      os.path.join(pictures, "reference-0_0_0_0-edges.png"))
    for box, (_, text) in zip(boxes, CAPTIONS):
        web, native = green_extent(picture, box), green_extent(reference, box)
        ok = web is not None and native is not None and \
            all(abs(w - n) <= 1 for w, n in zip(web[:4], native[:4]))
        # x: where the first glyph starts and the last ends, which only the same advance gives
        check("caption %r: same place, green and advance as native" % text[:20], ok,
              "web x, x, y, y, count %s; native %s" % (web, native))
    # Edge pixels differ where the two rasterisers round differently, and a cube's green face
    # may touch a glyph; glyphs drawn upside down or mirrored differ in about half their ink.
    differ, ink = glyph_shapes(picture)
    check("caption glyphs have the shapes of an independent rendering of the text",
          differ <= 0.2 * ink, "%d of %d ink pixels differ" % (differ, ink))
    return picture


def against_reference(name, picture, colour_path, edges_path):
    """The independent reference: outside the captions at least 99 % equal, and no difference
    where it promises its exact colour (black in the edges picture; grey is beside an edge, white
    under a caption)."""
    with open(colour_path, "rb") as f:
        expected = read_png(f.read())
    with open(edges_path, "rb") as f:
        promises = read_png(f.read())
    compared = equal = unexplained = 0
    first = None
    for y in range(HEIGHT):
        for x in range(WIDTH):
            promise = promises[y][x][0]
            if promise == 255:
                continue
            compared += 1
            if near(picture[y][x], expected[y][x]):
                equal += 1
            elif promise == 0:
                unexplained += 1
                first = first or (x, y, picture[y][x], expected[y][x])
    check("%s equals the independent reference outside the captions" % name,
          compared > 400000 and equal >= 0.99 * compared and unexplained == 0,
          "%.3f%% of %d equal, %d differ away from an edge, first %s" % (
              100.0 * equal / max(compared, 1), compared, unexplained, first))


def turned_to_reference(b, tool, out_dir, frames_per_key, reached=(0, 0, 0, 0)):
    """Each arrow key held for a counted number of frames: the page is hidden before the key goes
    down and before it comes up, so every frame presented in between turned its level by exactly
    2 degrees. The picture then reached, from the spins already `reached`, is compared with the
    reference drawn for the sum; returns it."""
    spins = {}
    # Minimising the window takes the focus first (a blur, then the page hidden a moment later),
    # and the demo lets go of its keys on either: the frames with the key held are those presented
    # before the first of the two, which the page notes down as it happens.
    b.evaluate("""(() => {
        const note = () => {
            if (window.framesAtRelease === null) {
                window.framesAtRelease = Module.test.framesPresented || 0;
            }
        };
        if (window.framesAtRelease !== undefined) {
            return; // already watching
        }
        window.framesAtRelease = 0;
        document.getElementById('canvas').addEventListener('blur', note);
        window.addEventListener('blur', note);
        document.addEventListener('visibilitychange', () => document.hidden && note());
    })()""")
    for key, frames_wanted in zip(("ArrowUp", "ArrowRight", "ArrowDown", "ArrowLeft"),
                                  frames_per_key):
        b.set_hidden(True)
        b.wait_for("document.hidden")
        time.sleep(0.5)  # a frame under way when the page was hidden is still counted
        b.key_down(key)
        start = frames(b)
        b.evaluate("window.framesAtRelease = null")
        b.set_hidden(False)
        b.wait_for("(Module.test.framesPresented || 0) >= %d" % (start + frames_wanted), timeout=20)
        b.set_hidden(True)
        b.wait_for("document.hidden")
        time.sleep(0.5)
        spins[key] = 2 * (b.evaluate("window.framesAtRelease") - start)
        b.key_up(key)
        b.set_hidden(False)
        b.wait_for("!document.hidden")
    wait_frames(b, 3)  # shown again after a resize: the frame after next stands at 43 again
    picture = canvas_picture(b)
    keys = ("ArrowUp", "ArrowRight", "ArrowDown", "ArrowLeft")
    values = [before + spins[k] for before, k in zip(reached, keys)]
    base = os.path.join(out_dir, "reference-page-%d_%d_%d_%d" % tuple(values))
    made = subprocess.run([tool] + [str(v) for v in values] + [base + ".png", base + "-edges.png"])
    check("the reference tool drew the turned state", made.returncode == 0)
    if made.returncode == 0:
        against_reference("page turned to %s" % (values,), picture, base + ".png",
                          base + "-edges.png")
    return values


def spinning_keys(b, steady):
    # Positions in the steady picture: the right level-one cube, its right child and that one's
    # right child (the smallest cubes turn in place).
    level1 = eye_to_canvas(12, 0, -43)
    level2 = eye_to_canvas(18, 0, -43)
    level3 = eye_to_canvas(18 + 2.5 / 1.2, 0, -43)
    root = root_angle(steady)
    picture = steady

    def after(key, seconds=0.25):
        held = hold_key(b, key, seconds)
        wait_frames(b, 3)
        return held, canvas_picture(b)

    # Each level in turn, the smallest first, so that the places looked at stay where they are.
    _, left = after("ArrowLeft")
    check("Left turns the smallest cubes in place and nothing larger",
          patch_changes(picture, left, level3, 12) > 20 and
          patch_changes(picture, left, level2, 16) == 0 and
          patch_changes(picture, left, level1, 20) == 0,
          "changes at levels 3/2/1: %d/%d/%d" % (patch_changes(picture, left, level3, 12),
                                                 patch_changes(picture, left, level2, 16),
                                                 patch_changes(picture, left, level1, 20)))
    _, down = after("ArrowDown")
    check("Down turns the second level, not the first",
          patch_changes(left, down, level2, 16) > 20 and
          patch_changes(left, down, level1, 20) == 0,
          "changes at levels 2/1: %d/%d" % (patch_changes(left, down, level2, 16),
                                            patch_changes(left, down, level1, 20)))
    _, right = after("ArrowRight")
    check("Right turns the first level, not the whole picture",
          patch_changes(down, right, level1, 20) > 20 and
          abs(angle_difference(root_angle(right), root)) < 1.0,
          "changes at level 1: %d, root turned %.1f" % (
              patch_changes(down, right, level1, 20), angle_difference(root_angle(right), root)))
    check("arrow keys do not scroll the page", b.evaluate("window.scrollY") == 0,
          "scrollY %s" % b.evaluate("window.scrollY"))

    held, up = after("ArrowUp", 0.2)
    # The lines repeat every 90 degrees: take the turn nearest to what 2 degrees a frame gives.
    turned = 2 * held + angle_difference(root_angle(up) - root, 2 * held)
    # The key is seen at the first poll after it arrives and released likewise: a frame either way.
    check("holding Up turns the whole picture clockwise 2 degrees a frame",
          0 < held < 40 and abs(turned - 2 * held) <= 5,
          "%.1f degrees over %d frames" % (turned, held))
    wait_frames(b, 10)
    still = canvas_picture(b)
    check("releasing Up stops the turn",
          abs(angle_difference(root_angle(still), root_angle(up))) < 0.5)
    return keypad_keys(b, still)


def keypad_keys(b, steady):
    """The keypad's 8 is the Up arrow with NumLock off, as on Windows, and VK_NUMPAD8 with it on,
    which turns nothing."""
    def held_as(key):
        b.key_down(key)
        try:
            told = b.wait_for("(k => k.includes(38) ? 38 : k.includes(104) ? 104 : 0)"
                              "(Module.test.keysDown || [])", timeout=5)
            wait_frames(b, 4)  # held while the program draws a few frames
            return told
        except BrowserTimeout:
            return 0
        finally:
            b.key_up(key)

    told_off = held_as("Numpad8-NumLockOff")
    wait_frames(b, 5)
    off = canvas_picture(b)
    told_on = held_as("Numpad8")
    wait_frames(b, 5)
    on = canvas_picture(b)
    turned = angle_difference(root_angle(off), root_angle(steady))
    check("the keypad's 8 with NumLock off is Up and turns the whole picture",
          told_off == 38 and abs(turned) >= 1.0,
          "key told %d, turned %.1f" % (told_off, turned))
    check("the keypad's 8 with NumLock on is VK_NUMPAD8 and turns nothing",
          told_on == 104 and abs(angle_difference(root_angle(on), root_angle(off))) < 0.5,
          "key told %d" % told_on)
    return on


def hidden_page(b, shown):
    b.set_hidden(True)
    b.wait_for("document.hidden")
    before = frames(b)
    # A hidden page's timers run about once a second, so a program that went on drawing would
    # present a few frames here.
    time.sleep(3.0)
    stopped = frames(b) - before
    # A page whose script never hands control back would not answer at all.
    answered = b.evaluate("new Promise(r => setTimeout(() => r(document.hidden), 50))",
                          timeout=10)
    check("a hidden page draws nothing and stays responsive", stopped <= 1 and answered,
          "%d frames while hidden" % stopped)
    b.set_hidden(False)
    b.wait_for("!document.hidden")
    wait_frames(b, 5)
    again = canvas_picture(b)
    equal = sum(1 for y in range(HEIGHT) for x in range(WIDTH) if near(again[y][x], shown[y][x]))
    check("shown again, it goes on at the same angles", equal >= 0.999 * WIDTH * HEIGHT,
          "%d pixels differ" % (WIDTH * HEIGHT - equal))


def canvas_resized(b, shown):
    # Half the pixels, still shown 800 x 600 on the page: the same picture, only coarser.
    b.evaluate("(c => { c.width = 400; c.height = 300; })(document.getElementById('canvas'))")
    wait_frames(b, 5)
    picture = canvas_picture(b)
    # Above the captions: their glyphs keep their size in pixels, so they grow on the page.
    pixels = [(x, y) for y in range(0, 450, 2) for x in range(0, WIDTH, 2)]
    equal = sum(1 for x, y in pixels if near(picture[y][x], shown[y][x]))
    check("a canvas given another size gets the picture fitted to it",
          equal >= 0.85 * len(pixels), "%.1f%% equal" % (100.0 * equal / len(pixels)))


def escape_ends(b):
    b.key_down("Escape")
    try:
        code = b.wait_for("document.body.dataset.exitCode", timeout=10)
    finally:
        b.key_down("Escape", repeat=True)
        b.key_up("Escape")
    text = b.evaluate("(document.getElementById('ended') || {}).textContent || ''")
    check("Escape ends the program with exit code 0 and the page says so",
          code == "0" and "ended" in text and "Reload" in text, "code %r, text %r" % (code, text))


def opened_hidden(b):
    # As when the page is opened in a background tab: hidden from the start, no change event.
    b.set_hidden(True)
    b.open(b.url("index.html"))
    time.sleep(3.0)
    drawn = b.evaluate("[document.hidden, Module.test.framesPresented || 0]")
    b.set_hidden(False)
    b.wait_for("(Module.test.framesPresented || 0) > %d" % (drawn[1] + 5), timeout=20)
    check("a page opened hidden starts minimised and draws once shown",
          drawn[0] and drawn[1] <= 1, "hidden %s, %d frames while hidden" % tuple(drawn))


def no_webgl(b):
    # As in a browser without WebGL: every request for a WebGL context is refused.
    b.send("Page.addScriptToEvaluateOnNewDocument", source="""
        const original = HTMLCanvasElement.prototype.getContext;
        HTMLCanvasElement.prototype.getContext = function (kind, ...rest) {
            return /webgl/.test(kind) ? null : original.call(this, kind, ...rest);
        };""")
    b.open(b.url("index.html"))
    box = b.wait_for("(b => b && [b.querySelector('h2').textContent,"
                     " b.querySelector('p').textContent,"
                     " (b.querySelector('.reason') || {}).textContent])"
                     "(document.querySelector('.message-box'))", timeout=20)
    still_running = b.evaluate("document.body.dataset.exitCode === undefined")
    b.press("Enter")  # OK has the focus, as in a Windows message box
    code = b.wait_for("document.body.dataset.exitCode", timeout=10)
    ended = b.evaluate("(document.getElementById('ended') || {}).textContent || ''")
    errors = [m["text"] for m in b.console_messages() if m["level"] == "error"]
    check("without WebGL the page shows the context error, waits for OK, exits with 1",
          box[:2] == ["ERROR", "Can't Create A GL Rendering Context."] and still_running and
          code == "1" and any("Can't Create A GL Rendering Context." in e for e in errors),
          "box %r, waited %r, code %r" % (box[:2], still_running, code))
    # The layer's reason for the failure is shown in the box, as the Linux layer prints it, and
    # stays in the closing notice.
    reason = "WebGL is not available in this browser"
    check("the box and the closing notice say why: WebGL was refused",
          (box[2] or "").startswith(reason) and reason in ended,
          "reason %r, notice %r" % (box[2], ended))


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/web"
    reference_path = sys.argv[2] if len(sys.argv) > 2 else "build/default/pictures/frame.png"
    tool = sys.argv[3] if len(sys.argv) > 3 else "build/default/tests/reference_picture"
    with open(reference_path, "rb") as f:
        reference = read_png(f.read())
    try:
        with Browser(serve_dir=build) as b:
            b.open(b.url("index.html"))
            b.wait_for("(Module.test.framesPresented || 0) > 0", timeout=30)
            check("the window title is the document's title", b.evaluate("document.title") ==
                  "Skorvane")
            steady = first_picture(b, reference, reference_path)
            shown = spinning_keys(b, steady)
            hidden_page(b, shown)
            canvas_resized(b, shown)
            escape_ends(b)
            noise = [m for m in b.console_messages() if m["level"] in ("error", "warning")]
            check("no console errors or warnings in a normal run", not noise, noise[:3])
    except BrowserError as error:
        check("the normal run's browser session ran to its end", False, error)
    try:
        with Browser(serve_dir=build) as b:
            b.open(b.url("index.html"))
            b.wait_for("(Module.test.framesPresented || 0) > 2", timeout=30)
            pictures = os.path.dirname(os.path.abspath(reference_path))
            # Two turned states with every level at a different angle, the second from the first.
            first = turned_to_reference(b, tool, pictures, (15, 5, 10, 20))
            turned_to_reference(b, tool, pictures, (5, 20, 15, 8), first)
    except BrowserError as error:
        check("the turned page's browser session ran to its end", False, error)
    try:
        with Browser(serve_dir=build) as b:
            opened_hidden(b)
            no_webgl(b)
    except BrowserError as error:
        check("the second browser session ran to its end", False, error)
    failed = results.count(False)
    print("%d passed, %d failed" % (len(results) - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
