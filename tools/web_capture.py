#!/usr/bin/python3
"""Opens the web build's page in headless Chromium and saves a screenshot of it once the demo has
drawn a few frames, after holding Up for a moment so the picture shows it turning.

    /usr/bin/python3 tools/web_capture.py [BUILD_DIR] [OUT_PNG]     (build/web, build/capture/web.png)
"""

import base64
import os
import sys
import time

from browser import Browser


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/web"
    out = sys.argv[2] if len(sys.argv) > 2 else "build/capture/web.png"
    os.makedirs(os.path.dirname(out) or ".", exist_ok=True)
    with Browser(serve_dir=build) as b:
        b.open(b.url("index.html"))
        b.wait_for("(Module.test.framesPresented || 0) > 3", timeout=60)
        b.key_down("ArrowUp")
        time.sleep(0.25)
        b.key_up("ArrowUp")
        start = b.evaluate("Module.test.framesPresented")
        b.wait_for("Module.test.framesPresented > %d" % (start + 3), timeout=20)
        # The whole page, however much of it the headless window shows.
        width, height = b.evaluate("[document.documentElement.scrollWidth,"
                                   " document.documentElement.scrollHeight]")
        shot = b.send("Page.captureScreenshot", format="png", captureBeyondViewport=True,
                      clip={"x": 0, "y": 0, "width": width, "height": height, "scale": 1})
        with open(out, "wb") as f:
            f.write(base64.b64decode(shot["data"]))
    print(out)


if __name__ == "__main__":
    main()
