#!/usr/bin/env bash
# Installs what is missing, builds the optimised preset and starts the demo. With no display at
# all, runs it on a virtual one instead, drives the arrow keys and saves screenshots and a GIF.
# ./run.sh web builds the browser page instead and serves it on http://127.0.0.1:8000/.
set -euo pipefail
cd "$(dirname "$0")"
source tools/packages.sh

has_display=no
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    has_display=yes
fi

if [ "${1:-}" = web ]; then
    # The demo as a web page: build it, show where it is served, and without a display leave a
    # screenshot of it taken in headless Chromium.
    say "Checking packages"
    if [ "$has_display" = yes ]; then
        ensure_packages "${SKORVANE_WEB_PACKAGES[@]}"
    else
        ensure_packages "${SKORVANE_WEB_PACKAGES[@]}" "${SKORVANE_WEB_TEST_PACKAGES[@]}"
    fi
    say "Configuring (preset web)"
    cmake --preset web >/dev/null
    say "Building the page"
    cmake --build --preset web -j"$(nproc)"
    if [ "$has_display" = no ]; then
        say "No display found: taking a screenshot of the page in headless Chromium"
        /usr/bin/python3 tools/web_capture.py build/web build/capture/web.png
        echo "    build/capture/web.png        the page after holding Up for a moment"
    fi
    say "Serving build/web at http://127.0.0.1:8000/ : open it in a browser (Ctrl+C stops)"
    exec /usr/bin/python3 -m http.server 8000 --bind 127.0.0.1 --directory build/web
fi

say "Checking packages"
if [ "$has_display" = yes ]; then
    ensure_packages "${SKORVANE_RUN_PACKAGES[@]}"
else
    ensure_packages "${SKORVANE_RUN_PACKAGES[@]}" "${SKORVANE_CAPTURE_PACKAGES[@]}"
fi

say "Configuring (preset default)"
cmake --preset default >/dev/null
say "Building the program"
cmake --build --preset default --target skorvane present_probe -j"$(nproc)"
program=build/default/shell/skorvane

if [ "$has_display" = yes ]; then
    say "Starting Skorvane: arrow keys spin the levels, Escape or closing the window ends it"
    exec "$program"
fi

say "No display found: running Skorvane on a virtual display (Xvfb) and capturing it"
tools/capture.sh --out build/capture "$program"
say "Screenshots and an animation of the real program:"
echo "    build/capture/start.png        the first picture"
echo "    build/capture/after-Up.png     after holding Up (the whole picture turned)"
echo "    build/capture/after-Left.png   after holding Left (the smallest cubes turned in place)"
echo "    build/capture/spinning.gif     the frames captured while the keys were held (at most 120)"
say "To see it live, run ./run.sh in a desktop session, or over ssh -X from a machine with a display"
