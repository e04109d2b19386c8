# Cross-compiles the 64-bit Windows program with MinGW-w64 (Debian: g++-mingw-w64-x86-64).
# x86-64 does its float arithmetic in SSE2 already.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(SKORVANE_MINGW_TRIPLE x86_64-w64-mingw32)

include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
