// The matrix library on its own: layout, builders, compositions and the exact rounding of the
// product. Needs no OpenGL context, so it is also built for Windows and run under Wine; the
// comparison with Mesa's matrix stack is in matrix_gl_test.cpp.
#include "scene/matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

// Builds a matrix whose element (0, 0) of the product is p0 + p1 + p2 + p3 with p_k = a_k * b_k.
float productOfDot(const float a[4], const float b[4]) {
    Matrix4 m = {};
    Matrix4 other = {};
    for (int k = 0; k < 4; ++k) {
        m[k] = a[k];         // m[k + 4 * 0]
        other[4 * k] = b[k]; // other[0 + 4 * k]
    }
    matrixMultiply(m, other);
    return m[0];
}

} // namespace

TEST(MatrixLayout, IndexIsRowPlusFourTimesColumn) {
    EXPECT_EQ(matrixIndex(0, 3), 12);
    EXPECT_EQ(matrixIndex(2, 3), 14);
    EXPECT_EQ(matrixIndex(3, 3), 15);
    EXPECT_EQ(matrixIndex(1, 0), 1);
}

TEST(MatrixBuilders, WriteTheirValuesAtTheDocumentedIndices) {
    const double a = 0.3;
    const float c = static_cast<float>(std::cos(a));
    const float s = static_cast<float>(std::sin(a));
    struct Case {
        const char* name;
        void (*build)(float*);
        Matrix4 expected;
    };
    const Case cases[] = {
        {"translate",
         [](float* m) { matrixTranslate(m, 2, -3, 4); },
         {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 2, -3, 4, 1}},
        {"scale",
         [](float* m) { matrixScale(m, 2, -3, 4); },
         {2, 0, 0, 0, 0, -3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1}},
        {"rotate x",
         [](float* m) { matrixRotateX(m, 0.3); },
         {1, 0, 0, 0, 0, c, -s, 0, 0, s, c, 0, 0, 0, 0, 1}},
        {"rotate y",
         [](float* m) { matrixRotateY(m, 0.3); },
         {c, 0, s, 0, 0, 1, 0, 0, -s, 0, c, 0, 0, 0, 0, 1}},
        {"rotate z",
         [](float* m) { matrixRotateZ(m, 0.3); },
         {c, -s, 0, 0, s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        Matrix4 m;
        matrixLoadIdentity(m);
        test.build(m);
        // A product with the identity is exact, so the builder's values come through bit for bit.
        EXPECT_EQ(0, std::memcmp(m, test.expected, sizeof m));
    }
}

TEST(MatrixBuilders, DocumentedCompositions) {
    Matrix4 m;
    matrixLoadIdentity(m);
    matrixTranslate(m, 0, 0, -40);
    const Matrix4 pushedBack = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -40, 1};
    EXPECT_EQ(0, std::memcmp(m, pushedBack, sizeof m));

    matrixLoadIdentity(m);
    matrixTranslate(m, 1, 2, 3);
    matrixTranslate(m, 4, 5, 6);
    EXPECT_FLOAT_EQ(m[12], 5);
    EXPECT_FLOAT_EQ(m[13], 7);
    EXPECT_FLOAT_EQ(m[14], 9);

    // Rotation applies after the translation already accumulated: (1, 0, 0) turns clockwise.
    matrixLoadIdentity(m);
    matrixTranslate(m, 1, 0, 0);
    matrixRotateZDegrees(m, 90);
    EXPECT_NEAR(m[12], 0, 1e-6);
    EXPECT_NEAR(m[13], -1, 1e-6);
    EXPECT_NEAR(m[14], 0, 1e-6);

    matrixLoadIdentity(m);
    matrixRotateZDegrees(m, 90);
    EXPECT_NEAR(m[1], -1, 1e-6);
    EXPECT_NEAR(m[4], 1, 1e-6);

    Matrix4 before = {0.5f, -2, 3, 0, 1e-3f, 7, -1, 0, 4, 4, 4, 0, -8, 9, 10, 1};
    std::memcpy(m, before, sizeof m);
    matrixScale(m, 1, 1, 1);
    EXPECT_EQ(0, std::memcmp(m, before, sizeof m));
}

TEST(MatrixProduct, RoundsEachProductToFloatBeforeSummingInDouble) {
    // (1 + 2^-12)^2 = 1 + 2^-11 + 2^-24 rounds to 1 + 2^-11 in float, cancelling the second product
    // exactly; unrounded double products would leave 2^-24.
    const float nearOne = 1.0f + std::ldexp(1.0f, -12);
    const float a1[4] = {nearOne, -(1.0f + std::ldexp(1.0f, -11)), 0, 0};
    const float b1[4] = {nearOne, 1, 0, 0};
    EXPECT_EQ(productOfDot(a1, b1), 0.0f);

    // 1 + 2^-24 + 2^-24: a float running sum stays at 1, the double sum reaches 1 + 2^-23.
    const float tiny = std::ldexp(1.0f, -24);
    const float a2[4] = {1, tiny, tiny, 0};
    const float b2[4] = {1, 1, 1, 0};
    EXPECT_EQ(productOfDot(a2, b2), 1.0f + std::ldexp(1.0f, -23));

    // 2^60 + 1 - 2^60 in that order loses the 1 in double; an extended-precision or reordered sum
    // would keep it.
    const float big = std::ldexp(1.0f, 30);
    const float a3[4] = {big, 1, -big, 0};
    const float b3[4] = {big, 1, big, 0};
    EXPECT_EQ(productOfDot(a3, b3), 0.0f);
}

TEST(MatrixProduct, IsOtherTimesMAndSafeWhenBothAreTheSameArray) {
    Matrix4 m = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    Matrix4 copy;
    std::memcpy(copy, m, sizeof m);
    Matrix4 expected;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) {
                sum += copy[r + 4 * k] * copy[k + 4 * c];
            }
            expected[r + 4 * c] = sum; // small integers: exact in any order
        }
    }
    matrixMultiply(m, m);
    EXPECT_EQ(0, std::memcmp(m, expected, sizeof m));

    // Non-commuting case: other x m, not m x other.
    Matrix4 translate;
    matrixLoadIdentity(translate);
    translate[12] = 5;
    Matrix4 scale;
    matrixLoadIdentity(scale);
    scale[0] = 2;
    matrixMultiply(translate, scale); // scale after translate: the translation doubles
    EXPECT_FLOAT_EQ(translate[12], 10);
}
