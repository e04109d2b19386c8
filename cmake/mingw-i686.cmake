# Cross-compiles the shipped 32-bit Windows program with MinGW-w64 (Debian: g++-mingw-w64-i686).
set(CMAKE_SYSTEM_PROCESSOR x86)
set(SKORVANE_MINGW_TRIPLE i686-w64-mingw32)

# Float maths in SSE2 rather than x87 is chosen by the top CMakeLists.txt for every 32-bit x86
# GCC build, native MinGW included.

include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
