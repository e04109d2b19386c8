#include "scene/matrix.h"

#include <cmath>
#include <cstring>

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

void matrixMultiply(float* m, const float* other) {
    // Built in `c` first so that m and other may alias.
    Matrix4 c;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
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
