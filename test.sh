#!/usr/bin/env bash
# Installs what the build and the tests need, builds the default preset and runs every test.
# ./test.sh --quick stops after the default preset's ctest run: the edit-build-test loop, about a
# minute once everything is installed and built. ./test.sh --web runs the same, then builds the
# browser page and tests it in headless Chromium, and stops (tools/debian13.sh runs it on Debian 13).
# CI runs the whole of it.
set -euo pipefail
cd "$(dirname "$0")"
source tools/packages.sh

quick=no
web_only=no
case "${1:-}" in
"") ;;
--quick) quick=yes ;;
--web) web_only=yes ;;
*)
    echo "usage: $0 [--quick | --web]" >&2
    exit 2
    ;;
esac

say "Checking packages"
ensure_packages "${SKORVANE_RUN_PACKAGES[@]}" "${SKORVANE_TEST_PACKAGES[@]}"

# CI builds with warnings as errors; a local run only reports them.
werror=OFF
if [ "${CI:-}" = "true" ]; then
    werror=ON
fi

# The browser page: the GL subset's own checks, then the page itself in headless Chromium against
# the native steady frame the render tests saved and against the independent reference pictures;
# and ./run.sh web leaving its screenshot.
web_tests() {
    say "Building the web page (preset web) and testing it in headless Chromium"
    ensure_packages "${SKORVANE_WEB_PACKAGES[@]}" "${SKORVANE_WEB_TEST_PACKAGES[@]}"
    cmake --preset web >/dev/null
    cmake --build --preset web -j"$(nproc)"
    cmake -S tests/web -B build/gl-check \
        -DCMAKE_TOOLCHAIN_FILE=/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake >/dev/null
    cmake --build build/gl-check -j"$(nproc)"
    ctest --test-dir build/gl-check --output-on-failure
    /usr/bin/python3 -m tests.web.page_test build/web build/default/pictures/frame.png \
        build/default/tests/reference_picture
    /usr/bin/python3 -m tests.web.device_test build/web build/default/pictures/frame.png
    /usr/bin/python3 -m tests.web.screen_test build/web build/default/pictures/frame.png
    rm -f build/capture/web.png
    env -u DISPLAY -u WAYLAND_DISPLAY ./run.sh web > build/run-web.log 2>&1 &
    run_web=$!
    served=no
    for _ in $(seq 600); do
        kill -0 "$run_web" 2>/dev/null || break
        if [ -s build/capture/web.png ] && /usr/bin/python3 -c "import urllib.request as u; \
                u.urlopen('http://127.0.0.1:8000/skorvane.wasm', timeout=5)" 2>/dev/null; then
            served=yes
            break
        fi
        sleep 0.5
    done
    kill "$run_web" 2>/dev/null || true
    wait "$run_web" 2>/dev/null || true
    [ "$served" = yes ] || { cat build/run-web.log; say "./run.sh web left no screenshot or served nothing"; exit 1; }
}

say "Configuring (preset default, warnings as errors: $werror)"
cmake --preset default -DSKORVANE_WARNINGS_AS_ERRORS="$werror" >/dev/null

say "Building"
cmake --build --preset default -j"$(nproc)"

say "Running the tests"
ctest --preset default -j"$(nproc)"
if [ "$web_only" = yes ]; then
    web_tests
    say "Web run done: the default preset's tests and the page's passed"
    exit 0
fi
if [ "$quick" = yes ]; then
    say "Quick run done: the default preset's tests passed (./test.sh without --quick runs the rest)"
    exit 0
fi

# The message box shown and answered 50 times with a GL thread busy in the process (the default
# run does each kind of answer once): a box shown from a forked copy of the process hung within
# that many rounds.
say "The message box, 50 rounds with a busy GL thread"
SKORVANE_BOX_ROUNDS=50 LIBGL_ALWAYS_SOFTWARE=1 build/default/tests/platform_tests \
    --gtest_filter='MessageBoxDeathTest.*'

# A newcomer without a display gets pictures instead of an error; check that path end to end.
say "Checking ./run.sh on a machine without a display"
env -u DISPLAY -u WAYLAND_DISPLAY ./run.sh
for picture in build/capture/start.png build/capture/spinning.gif; do
    [ -s "$picture" ] || { say "./run.sh left no $picture"; exit 1; }
done

# Before the static checks, which read the browser layer through build/web.
web_tests

# The whole suite again with AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer,
# including the fault sweep (FaultSweep.*), where every platform call of a session fails once in
# turn, and the end-to-end runs of the real program. First a check that the build really is
# instrumented: with the flags lost it would build and pass as a second plain debug run.
say "Building and running the tests under ASan, UBSan and LSan (preset asan, with the fault sweep)"
cmake --preset asan -DSKORVANE_WARNINGS_AS_ERRORS="$werror" >/dev/null
cmake --build --preset asan -j"$(nproc)"
tools/check_instrumented.sh build/asan/shell/skorvane build/asan/tests/*_tests
ctest --preset asan -j"$(nproc)"

say "Running the real program under valgrind for 300 frames"
tools/valgrind_check.sh build/default/shell/skorvane 300

# The sanitizer build is a debug build, so it also checks for GL errors after every frame; the
# options are those of the asan test preset.
say "Soak: 60 s of random arrow keys, minimising and resizing (sanitizer build, GL errors checked)"
ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1 \
    LSAN_OPTIONS=suppressions=$PWD/tools/lsan.supp:print_suppressions=0 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    tools/soak.sh build/asan/shell/skorvane 60

say "Static checks: clang-tidy and cppcheck"
tools/static_checks.sh build/default

# Cross-builds the Windows programs and tests them under Wine (installs MinGW-w64 and Wine).
tools/windows.sh

# The matrix library and its tests built for 64-bit ARM and run under qemu-aarch64, bit for bit
# against the same expectations. (tools/arm64.sh without --matrix-only builds, tests and packages
# the whole program for arm64.)
tools/arm64.sh --matrix-only

# Debian 13 (trixie) as a new user there has it: ./test.sh --web on a clone of this commit in a
# minimal Debian 13 root (Emscripten 3.1.69, GCC 14, Mesa 25), so a change that only breaks there
# is seen here too.
tools/debian13.sh
