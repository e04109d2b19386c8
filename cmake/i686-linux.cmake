# Builds 32-bit x86 Linux programs with Debian's cross compiler (g++-i686-linux-gnu), linked
# statically and run under qemu-i386, so they run where the kernel executes no 32-bit code.
# Only the matrix tests are built this way (tests/cross_matrix).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)

set(CMAKE_FIND_ROOT_PATH /usr/i686-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static programs need no 32-bit loader or libraries at run time, neither on the host nor in qemu.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
find_program(SKORVANE_QEMU_I386 qemu-i386 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${SKORVANE_QEMU_I386})
