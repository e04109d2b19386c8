#!/usr/bin/python3
"""Figures of the browser page, measured in headless Chromium; nothing here is a test.

    /usr/bin/python3 -m bench.web_bench [BUILD_DIR] [SECONDS]        (build/web, 10)

  size         skorvane.wasm + skorvane.js of the build, in bytes
  fps          frames the demo presents per second, against a bare WebGL 1 page that only clears
               its canvas on every animation frame, loaded into the same browser in the same run
  first frame  page load (navigation start) to the demo's first present, median of five loads
  scale 3 / 1  mean time per frame with animation frames unthrottled, at device scale 3 (a
               2400 x 1800 backing store) against scale 1, in one browser in the same run
  page files   the manifest, the service worker, the icons and index.html, in bytes
  844 x 390    the picture's area on a phone on its side (touch, scale 3) against the 288 x 216
               the page showed there before it had a landscape layout
  offline      first frame on a first visit (fresh profile, network) against a second visit with
               the network cut (the service worker answers), median of three of each

    /usr/bin/python3 -m bench.web_bench first-frame [BUILD_DIR] [BEFORE_DIR]

  first frame on a phone   navigation start to the first present on an emulated mid-range phone
               (170 ms latency, 9 Mbit/s, CPU slowed 4 times), median of five first visits with
               the site's storage and the browser's cache cleared before each, each from a blank
               tab, after one uncounted visit that warms the browser itself; with BEFORE_DIR
               (another build's build/web, e.g. the main branch's), that build's figures from the
               same browser in the same run, visits alternating
  slow link    (400 ms, 400 kbit/s) the first frame after the last byte of the program arrived
  second visit the service worker answering, on the phone's link
  gzip         what a host that compresses the .js and .wasm sends

Build the release page first: cmake --preset web && cmake --build --preset web
"""

import glob
import gzip
import os
import shutil
import statistics
import sys
import tempfile

from tools.browser import Browser

WORKER_READY = """navigator.serviceWorker.ready.then(r => !!r.active &&
    r.active.state === 'activated' && !!navigator.serviceWorker.controller)"""
PAGE_FILES = ("index.html", "manifest.webmanifest", "sw.js", "icon-192.png", "icon-512.png",
              "icon-maskable-512.png", "skorvane.svg")

BARE_PAGE = """<!doctype html>
<html><head><meta charset="utf-8"><title>bare WebGL</title></head>
<body style="margin:0;padding:16px;background:#1c1c1c">
<canvas id="canvas" width="800" height="600"></canvas>
<script>
  const gl = document.getElementById('canvas').getContext('webgl',
      {alpha: false, depth: true, antialias: false});
  window.framesPresented = 0;
  function frame() {
    gl.clearColor(0.2, 0.2, 0.2, 1);
    gl.clear(gl.COLOR_BUFFER_BIT | gl.DEPTH_BUFFER_BIT);
    window.framesPresented++;
    requestAnimationFrame(frame);
  }
  requestAnimationFrame(frame);
</script></body></html>
"""

# Frames counted over a window of the page's own clock, after a second to settle.
RATE = """new Promise(done => setTimeout(() => {
    const count = () => %s;
    const f0 = count(), t0 = performance.now();
    setTimeout(() => done((count() - f0) * 1000 / (performance.now() - t0)), %d);
}, 1000))"""


PHONE = dict(latency=170, downloadThroughput=9e6 / 8, uploadThroughput=9e6 / 8)
SLOW = dict(latency=400, downloadThroughput=400e3 / 8, uploadThroughput=400e3 / 8)
# The first present, and when the last byte of the program arrived, from navigation start.
# (Builds before the page's test interface had its own object kept the counters on Module.)
TIMES = """(m => (t => t && [t, Math.max(...performance.getEntriesByType('resource')
    .filter(e => /skorvane[.].*(js|wasm)/.test(e.name)).map(e => e.responseEnd))])
    (m && (m.test || m).firstPresentTime))(window.Module)"""


def visit(b, path, link, cpu, clear=True):
    b.open("about:blank")
    if clear:
        b.send("Network.clearBrowserCache")
        b.send("Storage.clearDataForOrigin", origin=b.url("").rstrip("/"),
               storageTypes="all")
    b.send("Network.emulateNetworkConditions", offline=False, **link)
    b.send("Emulation.setCPUThrottlingRate", rate=cpu)
    b.open(b.url(path + "/index.html"), timeout=120)
    times = b.wait_for(TIMES, timeout=120)
    b.send("Emulation.setCPUThrottlingRate", rate=1)
    return times


def program_sizes(build):
    names = glob.glob(os.path.join(build, "skorvane.*.js")) + \
        glob.glob(os.path.join(build, "skorvane.*.wasm")) or \
        [os.path.join(build, "skorvane.js"), os.path.join(build, "skorvane.wasm")]
    raw = sum(os.path.getsize(n) for n in names)
    packed = sum(len(gzip.compress(open(n, "rb").read(), 9)) for n in names)
    return raw, packed


def first_frame(build, before):
    site = tempfile.mkdtemp(prefix="skorvane-web-bench-")
    builds = [("after", build)] + ([("before", before)] if before else [])
    try:
        for name, source in builds:
            shutil.copytree(source, os.path.join(site, name),
                            ignore=shutil.ignore_patterns("CMakeFiles", "platform", "render",
                                                          "scene", "shell", "*.cmake"))
        phone, after_byte, slow, second = {}, {}, {}, {}
        with Browser(serve_dir=site, timeout=180) as b:
            b.send("Network.enable")
            # A browser just started is slower at everything (its GPU process, font and code
            # caches are cold); a visitor's has been running. One visit of each build warms it.
            for name, _ in builds:
                visit(b, name, PHONE, 4)
            for _ in range(5):
                for name, _ in builds:
                    first, last_byte = visit(b, name, PHONE, 4)
                    phone.setdefault(name, []).append(first)
                    after_byte.setdefault(name, []).append(first - last_byte)
            for name, _ in builds:
                first, last_byte = visit(b, name, SLOW, 1)
                slow[name] = (first, last_byte)
                visit(b, name, PHONE, 4)
                b.wait_for(WORKER_READY, timeout=60)
                second[name] = visit(b, name, PHONE, 4, clear=False)[0]
    finally:
        shutil.rmtree(site, ignore_errors=True)
    print("| figure | " + " | ".join(name for name, _ in builds) + " |")
    print("|---|" + "---|" * len(builds))
    print("| first frame, phone, median of 5 (ms) | " + " | ".join(
        "%.0f (%s)" % (statistics.median(phone[n]), ", ".join("%.0f" % t for t in phone[n]))
        for n, _ in builds) + " |")
    print("| the same, after the program's last byte (ms) | " + " | ".join(
        "%.0f (%s)" % (statistics.median(after_byte[n]),
                       ", ".join("%.0f" % t for t in after_byte[n])) for n, _ in builds) + " |")
    print("| slow link: first frame / last program byte / after it (ms) | " + " | ".join(
        "%.0f / %.0f / %.0f" % (slow[n][0], slow[n][1], slow[n][0] - slow[n][1])
        for n, _ in builds) + " |")
    print("| second visit, service worker, phone (ms) | " + " | ".join(
        "%.0f" % second[n] for n, _ in builds) + " |")
    print("| .js + .wasm, plain / gzip -9 (bytes) | " + " | ".join(
        "%d / %d" % program_sizes(source) for _, source in builds) + " |")


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "first-frame":
        return first_frame(sys.argv[2] if len(sys.argv) > 2 else "build/web",
                           sys.argv[3] if len(sys.argv) > 3 else None)
    build = sys.argv[1] if len(sys.argv) > 1 else "build/web"
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 10.0
    sizes = {name: os.path.getsize(os.path.join(build, name))  # the link's output
             for name in ("skorvane.wasm", "skorvane.js")}
    site = tempfile.mkdtemp(prefix="skorvane-web-bench-")
    try:
        for name in os.listdir(build):
            if os.path.isfile(os.path.join(build, name)):
                shutil.copy(os.path.join(build, name), site)
        with open(os.path.join(site, "bare.html"), "w") as f:
            f.write(BARE_PAGE)
        with Browser(serve_dir=site, timeout=seconds + 60) as b:
            first_frames = []
            for _ in range(5):
                b.open(b.url("index.html"))
                first_frames.append(b.wait_for("Module.test.firstPresentTime", timeout=60))
            demo = b.evaluate(RATE % ("Module.test.framesPresented", seconds * 1000),
                              timeout=seconds + 30)
            b.open(b.url("bare.html"))
            bare = b.evaluate(RATE % ("window.framesPresented", seconds * 1000),
                              timeout=seconds + 30)
            b.open(b.url("index.html"))
            demo_again = b.evaluate(RATE % ("Module.test.framesPresented", seconds * 1000),
                                    timeout=seconds + 30)
        # Unpaced, so that a frame takes what drawing it costs.
        with Browser(serve_dir=site, timeout=seconds + 60,
                     extra_args=["--disable-frame-rate-limit", "--disable-gpu-vsync"]) as b:
            frame_ms = {}
            for scale in (1, 3, 1, 3):
                b.send("Emulation.setDeviceMetricsOverride", width=1024, height=768,
                       deviceScaleFactor=scale, mobile=False)
                b.open(b.url("index.html"))
                b.wait_for("(Module.test.framesPresented || 0) > 0", timeout=60)
                rate = b.evaluate(RATE % ("Module.test.framesPresented", seconds * 500),
                                  timeout=seconds + 30)
                frame_ms.setdefault(scale, []).append(1000.0 / rate)
        # A phone on its side.
        with Browser(serve_dir=site, timeout=60) as b:
            b.send("Emulation.setDeviceMetricsOverride", width=844, height=390,
                   deviceScaleFactor=3, mobile=True)
            b.send("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=5)
            b.open(b.url("index.html"))
            b.wait_for("(Module.test.framesPresented || 0) > 0", timeout=60)
            landscape = b.evaluate("(r => [r.width, r.height])"
                                   "(document.getElementById('canvas').getBoundingClientRect())")
        # First visits, each in a fresh profile, and second visits with the network cut.
        first_visit, offline_visit = [], []
        for _ in range(3):
            with Browser(serve_dir=site, timeout=60) as b:
                b.open(b.url("index.html"))
                first_visit.append(b.wait_for("Module.test.firstPresentTime", timeout=60))
                b.wait_for(WORKER_READY, timeout=60)
                b.stop_serving()
                b.open(b.url("index.html"))
                offline_visit.append(b.wait_for("Module.test.firstPresentTime", timeout=60))
    finally:
        shutil.rmtree(site, ignore_errors=True)
    demo_fps = (demo + demo_again) / 2
    print("| figure | value | reference |")
    print("|---|---|---|")
    print("| skorvane.wasm + skorvane.js | %d + %d = %d bytes (%.1f kB) | goal at most 200 kB |"
          % (sizes["skorvane.wasm"], sizes["skorvane.js"], sum(sizes.values()),
             sum(sizes.values()) / 1000.0))
    print("| frames per second | %.1f (two runs: %.1f, %.1f) | bare WebGL clear page %.1f: "
          "ratio %.2f (goal at least 0.9) |" % (demo_fps, demo, demo_again, bare, demo_fps / bare))
    print("| page load to first frame | median %.0f ms (of %s) | |"
          % (statistics.median(first_frames), ", ".join("%.0f" % t for t in first_frames)))
    one, three = statistics.mean(frame_ms[1]), statistics.mean(frame_ms[3])
    print("| frame time unpaced, scale 3 against 1 | %.2f ms against %.2f ms (runs %s; %s): "
          "ratio %.2f | same browser, same run |"
          % (three, one, ", ".join("%.2f" % t for t in frame_ms[3]),
             ", ".join("%.2f" % t for t in frame_ms[1]), three / one))
    print("| the page's other files | %s | |" % ", ".join(
        "%s %d" % (name, os.path.getsize(os.path.join(build, name))) for name in PAGE_FILES))
    area = landscape[0] * landscape[1]
    print("| picture at 844 x 390 (touch, scale 3) | %.0f x %.0f = %.0f px^2 | 288 x 216 = 62208 "
          "before: %.2f times (goal at least 3) |" % (landscape[0], landscape[1], area,
                                                      area / 62208.0))
    print("| first frame, second visit offline | median %.0f ms (of %s) | first visit median "
          "%.0f ms (of %s) |" % (statistics.median(offline_visit),
                                 ", ".join("%.0f" % t for t in offline_visit),
                                 statistics.median(first_visit),
                                 ", ".join("%.0f" % t for t in first_visit)))


if __name__ == "__main__":
    main()
