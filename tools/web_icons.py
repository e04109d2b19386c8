#!/usr/bin/python3
"""Makes the page's app icons from packaging/skorvane.svg, drawn by headless Chromium, into
packaging/web/: icon-192.png and icon-512.png (the icon as it is, corners transparent) and
icon-maskable-512.png (the icon's picture inside the middle 70 %, on the icon's own grey, which
a launcher may cut to any shape without touching the picture). The PNGs are kept in the
repository, so a build needs no rasteriser; run this after changing the SVG:

    /usr/bin/python3 -m tools.web_icons              (from the top folder)
"""

import base64
import os

from tools.browser import Browser

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
GREY = "#333333"  # the icon's own background


def page(svg, size, maskable):
    inner = round(size * 0.7) if maskable else size
    return ("<!doctype html><html><body style='margin:0;background:%s'>"
            "<div style='width:%dpx;height:%dpx;display:flex;align-items:center;"
            "justify-content:center'><img style='width:%dpx;height:%dpx' "
            "src='data:image/svg+xml;base64,%s'></div></body></html>"
            % (GREY if maskable else "transparent", size, size, inner, inner,
               base64.b64encode(svg).decode()))


def main():
    with open(os.path.join(ROOT, "packaging", "skorvane.svg"), "rb") as f:
        svg = f.read()
    out = os.path.join(ROOT, "packaging", "web")
    os.makedirs(out, exist_ok=True)
    with Browser(width=800, height=800) as b:
        b.send("Emulation.setDefaultBackgroundColorOverride", color={"r": 0, "g": 0, "b": 0,
                                                                      "a": 0})
        for name, size, maskable in (("icon-192.png", 192, False), ("icon-512.png", 512, False),
                                     ("icon-maskable-512.png", 512, True)):
            b.open("data:text/html;base64," +
                   base64.b64encode(page(svg, size, maskable).encode()).decode())
            b.wait_for("document.images[0].complete")
            shot = b.send("Page.captureScreenshot", format="png",
                          clip={"x": 0, "y": 0, "width": size, "height": size, "scale": 1})
            with open(os.path.join(out, name), "wb") as f:
                f.write(base64.b64decode(shot["data"]))
            print(name)


if __name__ == "__main__":
    main()
