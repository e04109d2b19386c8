// The matrix operations declared in scene/matrix.h and the two product paths of
// scene/matrix_product.h. Nothing here draws or needs a rendering context.
#include "scene/matrix.h"
#include "scene/matrix_product.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#if SKORVANE_MATRIX_HAS_SSE2
#include <emmintrin.h>
#endif

const Matrix4 identityMatrix = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

namespace {

const double radiansPerDegree = 0.017453292519943295;

// A rotation by `angle` writes cos at two diagonal indices, -sin at `negativeSine` and sin at
// `positiveSine`; the placement alone decides the axis and the direction of turning.
void multiplyByRotation(float* m, double angle, int firstCosine, int secondCosine, int negativeSine,
                        int positiveSine) {
    Matrix4 tmpMatrix;
    std::memcpy(tmpMatrix, identityMatrix, sizeof tmpMatrix);
    const double sine = std::sin(angle);
    const double cosine = std::cos(angle);
    tmpMatrix[firstCosine] = static_cast<float>(cosine);
    tmpMatrix[secondCosine] = static_cast<float>(cosine);
    tmpMatrix[negativeSine] = static_cast<float>(-sine);
    tmpMatrix[positiveSine] = static_cast<float>(sine);
    matrixMultiply(m, tmpMatrix);
}

} // namespace

int matrixIndex(int row, int column) {
    return row + 4 * column;
}

void matrixLoadIdentity(float* m) {
    std::memcpy(m, identityMatrix, sizeof identityMatrix);
}

void matrixMultiplyScalar(float* m, const float* other) {
    // Built in `c` first so that m and other may alias.
    Matrix4 c;
    for (int j = 0; j < 4; ++j) {
        for (int i = 0; i < 4; ++i) {
            const float p0 = m[0 + 4 * j] * other[i + 0];
            const float p1 = m[1 + 4 * j] * other[i + 4];
            const float p2 = m[2 + 4 * j] * other[i + 8];
            const float p3 = m[3 + 4 * j] * other[i + 12];
            const double sum = static_cast<double>(p0) + static_cast<double>(p1) +
                               static_cast<double>(p2) + static_cast<double>(p3);
            c[i + 4 * j] = static_cast<float>(sum);
        }
    }
    std::memcpy(m, c, sizeof c);
}

#if SKORVANE_MATRIX_HAS_SSE2
void matrixMultiplySse2(float* m, const float* other) {
    // Column j of the result needs column j of m and the four contiguous rows
    // other[4k .. 4k + 3], so four lanes (i = 0..3) run side by side: each lane rounds its four
    // products to float and adds p0 + p1 + p2 + p3 in that order in double, exactly as the
    // scalar loop does. Built in `c` first so that m and other may alias.
    Matrix4 c;
    const __m128 row0 = _mm_loadu_ps(other + 0);
    const __m128 row1 = _mm_loadu_ps(other + 4);
    const __m128 row2 = _mm_loadu_ps(other + 8);
    const __m128 row3 = _mm_loadu_ps(other + 12);
    for (std::size_t j = 0; j < 4; ++j) {
        const __m128 p0 = _mm_mul_ps(_mm_set1_ps(m[0 + 4 * j]), row0);
        const __m128 p1 = _mm_mul_ps(_mm_set1_ps(m[1 + 4 * j]), row1);
        const __m128 p2 = _mm_mul_ps(_mm_set1_ps(m[2 + 4 * j]), row2);
        const __m128 p3 = _mm_mul_ps(_mm_set1_ps(m[3 + 4 * j]), row3);
        // Lanes 0 and 1, then lanes 2 and 3, widened to double.
        __m128d low = _mm_add_pd(_mm_cvtps_pd(p0), _mm_cvtps_pd(p1));
        low = _mm_add_pd(_mm_add_pd(low, _mm_cvtps_pd(p2)), _mm_cvtps_pd(p3));
        __m128d high =
            _mm_add_pd(_mm_cvtps_pd(_mm_movehl_ps(p0, p0)), _mm_cvtps_pd(_mm_movehl_ps(p1, p1)));
        high = _mm_add_pd(_mm_add_pd(high, _mm_cvtps_pd(_mm_movehl_ps(p2, p2))),
                          _mm_cvtps_pd(_mm_movehl_ps(p3, p3)));
        _mm_storeu_ps(&c[4 * j], _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high)));
    }
    std::memcpy(m, c, sizeof c);
}
#endif

void matrixMultiply(float* m, const float* other) {
#if SKORVANE_MATRIX_HAS_SSE2
    matrixMultiplySse2(m, other);
#else
    matrixMultiplyScalar(m, other);
#endif
}

void matrixTranslate(float* m, float x, float y, float z) {
    Matrix4 tmpMatrix;
    std::memcpy(tmpMatrix, identityMatrix, sizeof tmpMatrix);
    tmpMatrix[12] = x;
    tmpMatrix[13] = y;
    tmpMatrix[14] = z;
    matrixMultiply(m, tmpMatrix);
}

void matrixScale(float* m, float x, float y, float z) {
    Matrix4 tmpMatrix;
    std::memcpy(tmpMatrix, identityMatrix, sizeof tmpMatrix);
    tmpMatrix[0] = x;
    tmpMatrix[5] = y;
    tmpMatrix[10] = z;
    matrixMultiply(m, tmpMatrix);
}

void matrixRotateX(float* m, double angle) {
    multiplyByRotation(m, angle, 5, 10, 6, 9);
}
void matrixRotateY(float* m, double angle) {
    multiplyByRotation(m, angle, 0, 10, 8, 2);
}
void matrixRotateZ(float* m, double angle) {
    multiplyByRotation(m, angle, 0, 5, 1, 4);
}

void matrixRotateXDegrees(float* m, float angle) {
    matrixRotateX(m, angle * radiansPerDegree);
}
void matrixRotateYDegrees(float* m, float angle) {
    matrixRotateY(m, angle * radiansPerDegree);
}
void matrixRotateZDegrees(float* m, float angle) {
    matrixRotateZ(m, angle * radiansPerDegree);
}
