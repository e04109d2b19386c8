# The matrix product rounds each of its four products to float and adds them in double, and the
# tests hold every result to the bit. On a target with a fused multiply-add (arm64 always, x86
# with -mfma) GCC, whose default for C++ is -ffp-contract=fast even with -std=c++17, may fuse a
# multiply and the add after it into one rounding wherever it sees them together. Off for all of
# our code, so every float operation rounds as written on every target, as on x86 without FMA and
# in WebAssembly. Included by the top CMakeLists.txt and by the cross-built matrix tests
# (tests/cross_matrix), so both get the same flags.
if(NOT MSVC)
    add_compile_options(-ffp-contract=off)
endif()
