#!/usr/bin/env bash
# Installs what is missing, builds the optimised preset and starts the demo. With no display at
# all, runs it on a virtual one instead, drives the arrow keys and saves screenshots and a GIF.
set -euo pipefail
cd "$(dirname "$0")"
source tools/packages.sh

has_display=no
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    has_display=yes
fi

say "Checking packages"
if [ "$has_display" = yes ]; then
    ensure_packages "${SKORVANE_RUN_PACKAGES[@]}"
else
    ensure_packages "${SKORVANE_RUN_PACKAGES[@]}" xvfb xdotool x11-utils imagemagick
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
echo "    build/capture/spinning.gif     every frame captured while the keys were held"
say "To see it live, run ./run.sh in a desktop session, or over ssh -X from a machine with a display"
