# Cross-compiles the shipped 32-bit Windows program with MinGW-w64 (Debian: g++-mingw-w64-i686).
set(CMAKE_SYSTEM_PROCESSOR x86)
set(SKORVANE_MINGW_TRIPLE i686-w64-mingw32)

# x87 arithmetic keeps excess precision in registers, which defeats the product's rounding of
# each term to float; SSE2 rounds every float operation as written. Every Windows PC the program
# targets has SSE2.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
