# Builds 64-bit ARM Linux programs (a Raspberry Pi running Raspberry Pi OS, an ARM board) with
# Debian's cross compiler (g++-aarch64-linux-gnu) against the arm64 libraries installed beside the
# host's (Debian multiarch: /usr/lib/aarch64-linux-gnu, /usr/include/aarch64-linux-gnu), and runs
# them here under qemu-aarch64. tools/arm64.sh installs both and drives the build.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

# The libraries live in the host's own root, in their architecture's folders; programs (the
# build tools) are the host's.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(PKG_CONFIG_EXECUTABLE aarch64-linux-gnu-pkg-config CACHE FILEPATH "pkg-config for arm64")

# The arm64 loader and libraries are in the host's root (-L /), so the dynamically linked programs,
# tests and GoogleTest's test discovery all run through qemu-aarch64 like native ones.
find_program(SKORVANE_QEMU_AARCH64 qemu-aarch64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${SKORVANE_QEMU_AARCH64} -L /)
