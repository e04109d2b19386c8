#!/usr/bin/env bash
# The Windows step of the test run: installs MinGW-w64 and Wine when missing, cross-builds the
# 32-bit (shipped) and 64-bit Windows programs with warnings as errors, and runs their tests under
# Wine: the matrix unit tests, and the real skorvane.exe on a virtual display. Before that, on any
# kernel, the 32-bit arithmetic under qemu-i386 (tools/i686_arithmetic.sh).
# Everything Wine writes goes into a throwaway prefix that is removed at the end.
# It does not build or test the Linux program; test.sh does that.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh

# Cross compilers (MinGW-w64; i686 Linux and qemu-i386 for the 32-bit arithmetic), Wine for 64-
# and 32-bit programs, and the 32-bit GL and X libraries Wine's 32-bit side loads at run time
# (Debian only recommends them). The X display, xdotool, ImageMagick and libx11-dev of the checks
# come with the test packages.
SKORVANE_WINDOWS_PACKAGES=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest g++-i686-linux-gnu
    qemu-user wine wine64 wine32:i386 libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386 libxrender1:i386
    libxrandr2:i386 libxi6:i386 libxcursor1:i386 libxcomposite1:i386 libxinerama1:i386
    libxxf86vm1:i386 libfontconfig1:i386)

# Some kernels (virtual machines built without IA32 emulation) cannot execute 32-bit programs,
# and 32-bit Windows programs run under Wine's 32-bit loader. The loader needs the i386 C library,
# a dependency of wine32, so this is asked once the packages are in.
runs_32bit_programs() {
    /lib/ld-linux.so.2 --help >/dev/null 2>&1
}

started=$SECONDS
say "Windows: checking packages"
if command -v dpkg >/dev/null 2>&1 && ! dpkg --print-foreign-architectures | grep -qx i386; then
    if [ "$(id -u)" -ne 0 ]; then
        say "32-bit Wine needs the i386 architecture: sudo dpkg --add-architecture i386"
        exit 1
    fi
    dpkg --add-architecture i386
fi
ensure_packages "${SKORVANE_WINDOWS_PACKAGES[@]}" "${SKORVANE_TEST_PACKAGES[@]}"

# One 64-bit prefix runs both the 32- and the 64-bit programs; tools/wine_run.sh takes it from
# the environment in place of the one each build folder would keep.
prefix=$(mktemp -d "${TMPDIR:-/tmp}/skorvane-wine.XXXXXX")
export SKORVANE_WINE_PREFIX=$prefix
# Debian's wineserver is the 32-bit one when wine32 is installed; see runs_32bit_programs.
wineserver=wineserver
if ! runs_32bit_programs; then
    wineserver=/usr/lib/wine/wineserver64
fi
cleanup() {
    WINEPREFIX=$prefix timeout 30 "$wineserver" -k >/dev/null 2>&1 || true
    rm -rf "$prefix"
}
trap cleanup EXIT

for preset in windows-i686 windows-x64; do
    say "Windows: configuring and building $preset (warnings as errors)"
    cmake --preset "$preset" -DSKORVANE_WARNINGS_AS_ERRORS=ON >/dev/null
    cmake --build --preset "$preset" -j"$(nproc)"
done

# The 32-bit arithmetic of the shipped build, checked on every kernel: the matrix tests built for
# i686 Linux with the same float flags and run under qemu-i386.
tools/i686_arithmetic.sh build/i686-linux

for preset in windows-i686 windows-x64; do
    if [ "$preset" = windows-i686 ] && ! runs_32bit_programs; then
        say "Windows: this kernel cannot execute 32-bit programs, so the 32-bit Windows programs" \
            "cannot run under Wine here (their arithmetic ran under qemu-i386 above);" \
            "running the $preset checks that need no Wine"
        ctest --preset "$preset" -LE wine
        continue
    fi
    say "Windows: running the $preset tests under Wine"
    ctest --preset "$preset"
done

say "Windows: done in $((SECONDS - started)) s"
