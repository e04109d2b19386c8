#!/usr/bin/env bash
# The program for 64-bit ARM Linux (a Raspberry Pi on Raspberry Pi OS, an ARM board or laptop),
# cross-built here with Debian's g++-aarch64-linux-gnu against the arm64 libraries installed beside
# the host's (multiarch) and run under qemu-aarch64, which also runs arm64 Mesa's llvmpipe:
#   1. the matrix library and its unit tests, static (tests/cross_matrix): bit for bit against the
#      expectations the x86-64, i686 and WebAssembly builds meet;
#   2. the whole build (cmake/aarch64-linux.cmake): the program, the message box program, the test
#      programs; the scene, render and shell tests on an offscreen arm64 Mesa context (EGL
#      surfaceless);
#   3. the real program under Xvfb through tools/capture.sh, read by the end-to-end tests (its first
#      picture against the independent reference among them), and its frames per second;
#   4. the arm64 .deb (run-time dependencies from dpkg-shlibdeps on the arm64 libraries), read back
#      and its program run by tests/packaging/package_test.sh.
# Prints the time each step took. With --matrix-only (what ./test.sh runs), step 1 alone, which
# needs neither multiarch nor any arm64 library.
#
# Usage: tools/arm64.sh [--matrix-only] [BUILD_DIR]   (default build/aarch64)
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh

matrix_only=no
if [ "${1:-}" = --matrix-only ]; then
    matrix_only=yes
    shift
fi
build=${1:-build/aarch64}
emulator="qemu-aarch64 -L /"
if [ "$(dpkg --print-architecture 2>/dev/null)" = arm64 ]; then
    say "arm64: this machine is arm64; ./test.sh's own builds run natively here"
    exit 0
fi
timings=()

# timed NAME COMMAND...: runs COMMAND and notes how long it took.
timed() {
    local name=$1 start
    shift
    start=$(date +%s.%N)
    "$@"
    timings+=("$(awk -v s="$start" -v e="$(date +%s.%N)" -v n="$name" \
        'BEGIN { printf "%8.1f s  %s", e - s, n }')")
}
report_timings() {
    say "arm64: time per step"
    printf '%s\n' "${timings[@]}"
}
trap report_timings EXIT

# Sources other than Debian's own archive (a vendor's amd64-only repository) would be asked for
# arm64 indexes they do not have, failing apt-get update: each one without an Architectures line
# is kept to the host's architecture. A source is Debian's when its URIs are on debian.org or it is
# signed with Debian's archive key.
keep_third_party_sources_to_host() {
    local host file
    host=$(dpkg --print-architecture)
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        awk -v host="$host" '
            function flush() {
                if (stanza != "" && uris != "" && !debian && !arch) {
                    sub(/\n$/, "", stanza)
                    stanza = stanza "\nArchitectures: " host "\n"
                    changed = 1
                }
                printf "%s", stanza
                stanza = ""; uris = ""; debian = 0; arch = 0
            }
            /^[ \t]*$/ { flush(); print; next }
            /^URIs:/ { uris = $0; if ($0 ~ /debian\.org/) debian = 1 }
            /^Signed-By:.*debian-archive-keyring/ { debian = 1 }
            /^Architectures:/ { arch = 1 }
            { stanza = stanza $0 "\n" }
            END { flush(); exit changed ? 0 : 1 }
        ' "$file" >"$file.arm64-new" && mv "$file.arm64-new" "$file" && say "kept $file to $host" ||
            rm -f "$file.arm64-new"
    done
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$file" ] || continue
        # One-line sources: "deb URI ..." or "deb [options] URI ..." without an arch= option.
        sed -i -E "/debian\\.org/! { /^deb(-src)?[[:space:]]+\\[/ { /arch=/! s/^(deb(-src)?[[:space:]]+\\[)/\\1arch=$host /; }; /^deb(-src)?[[:space:]]+[^[[:space:]]/ s/^(deb(-src)?)[[:space:]]+/\\1 [arch=$host] /; }" \
            "$file"
    done
}

# The arm64 libraries beside the host's. apt must not remove any host package to make room (a
# Multi-Arch: same library is upgraded on both sides to one version, which is fine).
install_arm64_libraries() {
    local packages=(libsdl2-dev:arm64 libgl-dev:arm64 libglu1-mesa-dev:arm64 libegl-dev:arm64
        libx11-dev:arm64 libwayland-dev:arm64 libfreetype-dev:arm64 libfontconfig-dev:arm64
        libgtest-dev:arm64 libgl1-mesa-dri:arm64 libegl-mesa0:arm64)
    local missing
    mapfile -t missing < <(missing_packages "${packages[@]}")
    [ "${#missing[@]}" -eq 0 ] && return 0
    [ "$(id -u)" -eq 0 ] || { say "as root: dpkg --add-architecture arm64; apt-get install ${missing[*]}"; return 1; }
    dpkg --print-foreign-architectures | grep -qx arm64 || dpkg --add-architecture arm64
    keep_third_party_sources_to_host
    # Other apt runs on the machine are waited for, not raced.
    local wait_for_lock=(-o DPkg::Lock::Timeout=900)
    apt-get "${wait_for_lock[@]}" update -qq
    local removals
    removals=$(apt-get -s install --no-install-recommends "${missing[@]}" | grep '^Remv' || true)
    if [ -n "$removals" ]; then
        echo "arm64: installing ${missing[*]} would remove host packages:" >&2
        echo "$removals" >&2
        return 1
    fi
    say "Installing ${#missing[@]} arm64 packages: ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive apt-get "${wait_for_lock[@]}" install -y -qq \
        --no-install-recommends "${missing[@]}" \
        >/dev/null
}

install_packages() {
    ensure_packages g++-aarch64-linux-gnu qemu-user googletest cmake make
    if [ "$matrix_only" = no ]; then
        # The host's side: the display, keys, screenshots, the package tools (dpkg-shlibdeps).
        ensure_packages "${SKORVANE_CAPTURE_PACKAGES[@]}" xfonts-base desktop-file-utils dpkg-dev \
            fonts-liberation2 pkg-config
        install_arm64_libraries
    fi
}
timed "packages" install_packages

matrix_tests() {
    say "arm64: the matrix tests, static, under qemu-aarch64"
    cmake -S tests/cross_matrix -B "$build-matrix" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/aarch64-linux.cmake" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build-matrix" -j"$(nproc)" >/dev/null
    ctest --test-dir "$build-matrix" --output-on-failure
}
timed "matrix tests: build and run" matrix_tests
[ "$matrix_only" = yes ] && exit 0

build_all() {
    say "arm64: building the program, the message box program and the tests"
    cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/aarch64-linux.cmake" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" -j"$(nproc)"
}
timed "build" build_all
export LIBGL_ALWAYS_SOFTWARE=1

# run_tests PROGRAM: a test program of the build under the emulator, on arm64 Mesa.
run_tests() {
    say "arm64: $1 under qemu-aarch64"
    $emulator "$build/tests/$1"
}
timed "scene tests" run_tests scene_tests
timed "render tests" run_tests render_tests
timed "shell tests" run_tests shell_tests

# The real program, as the end-to-end tests run it natively: the capture first, then the tests
# that read its screenshots. (The tests that start the program themselves need an arm64 program
# started from an arm64 one, which qemu-aarch64 does not do without binfmt_misc.)
end_to_end() {
    say "arm64: the real program under Xvfb and qemu-aarch64"
    SKORVANE_EMULATOR=$emulator tools/capture.sh --format ppm --no-gif --out "$build/e2e/capture" \
        "$build/shell/skorvane"
    $emulator "$build/tests/e2e_tests" --gtest_filter='CapturedRun.*'
}
timed "real program: capture and end-to-end tests" end_to_end

# Frames presented per second over 20 s, after the first three.
frame_rate() {
    (
        source tools/xvfb_session.sh
        trap session_stop EXIT
        xvfb_start
        local log count start
        log=$(mktemp)
        SKORVANE_EMULATOR=$emulator start_with_probe "$log" "$build/shell/skorvane" "$build/shell/skorvane"
        wait_for_presents "$probe_count" 3 "$program_pid" 120
        count=$(probe_presents "$probe_count")
        start=$(date +%s.%N)
        sleep 20
        awk -v n="$(($(probe_presents "$probe_count") - count))" -v s="$start" -v e="$(date +%s.%N)" \
            'BEGIN { printf "==> arm64: %.2f frames per second under qemu-aarch64 with llvmpipe (%d in %.1f s)\n", n / (e - s), n, e - s }'
        rm -f "$log"
    )
}
timed "frames per second (20 s)" frame_rate

package() {
    say "arm64: the .deb, left in $build, and read back"
    (cd "$build" && cpack -G DEB >/dev/null)
    ls -l "$build"/skorvane_*_arm64.deb
    SKORVANE_EMULATOR=$emulator bash tests/packaging/package_test.sh "$build" "$PWD"
}
timed "package" package
