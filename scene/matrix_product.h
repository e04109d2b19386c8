// The two implementations behind matrixMultiply, callable by name so that the tests can hold them
// against each other bit for bit: a portable scalar loop and four SSE2 lanes. matrixMultiply uses
// the SSE2 one wherever the compiler targets SSE2 (GCC and Clang with __SSE2__, MSVC on x64 or
// with /arch:SSE2), the scalar one everywhere else. Both give other x m with the same rounding.
#pragma once

void matrixMultiplyScalar(float* m, const float* other);

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define SKORVANE_MATRIX_HAS_SSE2 1
void matrixMultiplySse2(float* m, const float* other);
#else
#define SKORVANE_MATRIX_HAS_SSE2 0
#endif
