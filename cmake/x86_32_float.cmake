# 32-bit x86 GCC and Clang default to x87 arithmetic, whose excess precision defeats the matrix
# product's rounding of each term to float; SSE2 rounds every float operation as written. (MSVC
# uses SSE2 on x86 already; 64-bit targets always do. WebAssembly rounds every float operation as
# written; Emscripten only calls itself x86.) Included by the top CMakeLists.txt and by the i686
# Linux build of the matrix tests (tests/cross_matrix), so both get the same flags.
# SKORVANE_X86_FPMATH=387 leaves the compiler's own x87 default, as if the flags were lost, only to
# see the matrix tests catch it.
set(SKORVANE_X86_FPMATH sse CACHE STRING "-mfpmath of 32-bit x86 GCC builds: sse, or 387 to test")
if(NOT MSVC AND NOT EMSCRIPTEN AND CMAKE_SIZEOF_VOID_P EQUAL 4
   AND CMAKE_SYSTEM_PROCESSOR MATCHES "^([xX]86|i[3-6]86|AMD64|x86_64)$")
    if(SKORVANE_X86_FPMATH STREQUAL "sse")
        add_compile_options(-msse2 -mfpmath=sse)
    else()
        add_compile_options(-mfpmath=${SKORVANE_X86_FPMATH})
    endif()
endif()
