# Shared part of the MinGW-w64 toolchains: cross-compiles for Windows from a Debian host.
# The including file sets SKORVANE_MINGW_TRIPLE (i686-w64-mingw32 or x86_64-w64-mingw32) first.
# Not for native MinGW (MSYS2) or MSVC builds, which need no toolchain file.
set(CMAKE_SYSTEM_NAME Windows)

# Debian ships each compiler in a win32-threads and a posix-threads variant; the program starts no
# threads, and the win32 variant needs no winpthread DLL.
find_program(SKORVANE_MINGW_GCC NAMES ${SKORVANE_MINGW_TRIPLE}-gcc-win32 ${SKORVANE_MINGW_TRIPLE}-gcc)
find_program(SKORVANE_MINGW_GXX NAMES ${SKORVANE_MINGW_TRIPLE}-g++-win32 ${SKORVANE_MINGW_TRIPLE}-g++)
set(CMAKE_C_COMPILER ${SKORVANE_MINGW_GCC})
set(CMAKE_CXX_COMPILER ${SKORVANE_MINGW_GXX})
set(CMAKE_RC_COMPILER ${SKORVANE_MINGW_TRIPLE}-windres)

# Debian installs the target's headers and import libraries under /usr/<triple>.
set(CMAKE_FIND_ROOT_PATH /usr/${SKORVANE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The .exe files must run on a bare Windows: the GCC runtime goes into them, so they import
# nothing but system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
