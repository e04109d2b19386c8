#!/usr/bin/env bash
# The 32-bit arithmetic check of the Windows step: the matrix library and its unit tests, built
# for i686 Linux with the float flags of the 32-bit Windows build (-msse2 -mfpmath=sse, the
# windows-i686 preset's build type), against a GoogleTest built from Debian's sources for the same
# target, and run under qemu-i386. qemu runs 32-bit x86 code as an ordinary 64-bit process, so
# this runs on kernels that execute no 32-bit programs (where the 32-bit Wine runs cannot).
#
# Usage: tools/i686_arithmetic.sh [BUILD_DIR [FPMATH]]
#   FPMATH 387 builds with the compiler's x87 default instead (as if the flags were lost), to see
#   the product's rounding checks fail.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh

build=${1:-build/i686-linux}
fpmath=${2:-sse}
ensure_packages g++-i686-linux-gnu qemu-user googletest cmake make

say "i686: building the matrix tests for 32-bit x86 Linux (-mfpmath=$fpmath), running them under qemu-i386"
cmake -S tests/cross_matrix -B "$build" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/i686-linux.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSKORVANE_X86_FPMATH="$fpmath" >/dev/null
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure
