# Sourced by run.sh and test.sh: the Debian packages each needs, and installing the missing ones.

# To build and run the program. On Wayland, libdecor's cairo plugin draws the window's title bar
# and close button where the compositor draws none (GNOME); SDL only recommends it.
SKORVANE_RUN_PACKAGES=(cmake g++ make pkg-config libgl-dev libglu1-mesa-dev libgl1-mesa-dri
    libsdl2-dev libx11-dev libwayland-dev libfreetype-dev libfontconfig-dev fonts-liberation2
    libdecor-0-plugin-1-cairo)
# To run the program without a display (./run.sh on a headless machine): a virtual display, keys
# sent as a person would, and the screenshots and GIF made from what the window shows.
SKORVANE_CAPTURE_PACKAGES=(xvfb xdotool x11-utils imagemagick)
# To run its tests: offscreen Mesa through EGL, GoogleTest, and a virtual X display driven like a
# user would drive it; valgrind, clang-tidy and cppcheck for the robustness steps; Google Benchmark
# and GLM for bench/ (its frame probe also counts frames for the valgrind run), python3 for
# tools/bench.sh. xfonts-base gives Xvfb the fonts SDL's message boxes are drawn with, so the tests
# can see a box that is really up. weston is the Wayland compositor of the Wayland tests, nested in
# Xvfb; sway (on its headless backend) the one whose own commands move the window between outputs
# of two scales and close it, and grim photographs its outputs.
SKORVANE_TEST_PACKAGES=(libegl-dev libegl-mesa0 googletest libgtest-dev xvfb xdotool x11-utils
    xfonts-base imagemagick libx11-dev desktop-file-utils weston sway grim
    valgrind clang-tidy cppcheck libbenchmark-dev libglm-dev python3)

# To build the browser page (./run.sh web): Debian's Emscripten, which brings its own clang, node
# and binaryen, and serves nothing from the internet.
SKORVANE_WEB_PACKAGES=(cmake make emscripten python3)
# To look at and test the page: headless Chromium driven over the DevTools protocol, and the
# caption face the native build uses.
SKORVANE_WEB_TEST_PACKAGES=(chromium python3-websocket fonts-liberation2 python3-pil)

# To run the two commands on Debian 13 as well (tools/debian13.sh): a minimal Debian 13 root made
# with debootstrap, and git to put the current commit in it.
SKORVANE_DEBIAN13_PACKAGES=(debootstrap git)

say() { printf '==> %s\n' "$*"; }

missing_packages() {
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            printf '%s\n' "$package"
        fi
    done
}

# Installs the packages that are not there yet: as root with apt-get, otherwise says what to run.
ensure_packages() {
    if ! command -v dpkg-query >/dev/null 2>&1; then
        say "Not a Debian-based system: make sure these are installed: $*"
        return 0
    fi
    local missing
    mapfile -t missing < <(missing_packages "$@")
    if [ "${#missing[@]}" -eq 0 ]; then
        say "All ${#@} needed packages are installed"
        return 0
    fi
    if [ "$(id -u)" -ne 0 ]; then
        say "Missing packages. Install them with:"
        echo "    sudo apt-get install -y ${missing[*]}"
        return 1
    fi
    say "Installing ${#missing[@]} missing packages: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
