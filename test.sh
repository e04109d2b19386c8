#!/usr/bin/env bash
# Installs what the build and the tests need, builds the default preset and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
source tools/packages.sh

say "Checking packages"
ensure_packages "${SKORVANE_RUN_PACKAGES[@]}" "${SKORVANE_TEST_PACKAGES[@]}"

# CI builds with warnings as errors; a local run only reports them.
werror=OFF
if [ "${CI:-}" = "true" ]; then
    werror=ON
fi

say "Configuring (preset default, warnings as errors: $werror)"
cmake --preset default -DSKORVANE_WARNINGS_AS_ERRORS="$werror" >/dev/null

say "Building"
cmake --build --preset default -j"$(nproc)"

say "Running the tests"
ctest --preset default -j"$(nproc)"

# A newcomer without a display gets pictures instead of an error; check that path end to end.
say "Checking ./run.sh on a machine without a display"
env -u DISPLAY -u WAYLAND_DISPLAY ./run.sh
for picture in build/capture/start.png build/capture/spinning.gif; do
    [ -s "$picture" ] || { say "./run.sh left no $picture"; exit 1; }
done

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
