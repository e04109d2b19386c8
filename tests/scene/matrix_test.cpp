// The matrix library on its own: layout, builders, compositions and the exact rounding of the
// product, on the scalar and the SSE2 path alike. Needs no OpenGL context, so it is also built for
// Windows and run under Wine; the comparison with Mesa's matrix stack is in matrix_gl_test.cpp.
#include "scene/matrix.h"
#include "scene/matrix_product.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

using Product = void (*)(float* m, const float* other);

struct ProductPath {
    const char* name;
    Product multiply;
};

// matrixMultiply as the program calls it, and each implementation by name, so the one a given
// compiler does not pick is exercised too.
const ProductPath productPaths[] = {
    {"matrixMultiply", matrixMultiply},
    {"scalar", matrixMultiplyScalar},
#if SKORVANE_MATRIX_HAS_SSE2
    {"sse2", matrixMultiplySse2},
#endif
};

// Multiplies so that element (row, column) of the product is p0 + p1 + p2 + p3 with
// p_k = a_k * b_k: a is column `column` of m, b is row `row` of other, everything else is 0, so
// every other element of the product must come out 0.
void productOfDot(Product multiply, const float a[4], const float b[4], int row, int column,
                  Matrix4 result) {
    Matrix4 other = {};
    std::memset(result, 0, sizeof(Matrix4));
    for (int k = 0; k < 4; ++k) {
        result[k + 4 * column] = a[k];
        other[row + 4 * k] = b[k];
    }
    multiply(result, other);
}

// Checks that the dot product of a and b lands as `expected` in every one of the 16 positions of
// the product, on every path, with 0 everywhere else.
void expectDotInEveryPosition(const float a[4], const float b[4], float expected) {
    for (const ProductPath& path : productPaths) {
        for (int row = 0; row < 4; ++row) {
            for (int column = 0; column < 4; ++column) {
                SCOPED_TRACE(testing::Message()
                             << path.name << " row " << row << " column " << column);
                Matrix4 result;
                productOfDot(path.multiply, a, b, row, column, result);
                Matrix4 expectedMatrix = {};
                expectedMatrix[row + 4 * column] = expected;
                EXPECT_EQ(0, std::memcmp(result, expectedMatrix, sizeof result))
                    << "got " << result[row + 4 * column] << ", expected " << expected;
            }
        }
    }
}

} // namespace

TEST(MatrixLayout, IndexIsRowPlusFourTimesColumn) {
    EXPECT_EQ(matrixIndex(0, 3), 12);
    EXPECT_EQ(matrixIndex(2, 3), 14);
    EXPECT_EQ(matrixIndex(3, 3), 15);
    EXPECT_EQ(matrixIndex(1, 0), 1);
}

TEST(MatrixBuilders, WriteEachValueAtItsRowAndColumnIndex) {
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

// The degree builders' radians are the float angle times the double value of pi / 180, formed in
// double: on an identity every element must be that angle's float sine or cosine bit for bit.
TEST(MatrixBuilders, DegreeBuildersUseTheExactDegreeFactorOverASweepAndRandomAngles) {
    std::vector<float> angles;
    for (int halfDegrees = -1440; halfDegrees <= 1440; ++halfDegrees) {
        angles.push_back(0.5f * static_cast<float>(halfDegrees));
    }
    std::mt19937 random(17);
    std::uniform_real_distribution<float> anyAngle(-100000.0f, 100000.0f);
    for (int i = 0; i < 2000; ++i) {
        angles.push_back(anyAngle(random));
    }
    struct Builder {
        const char* name;
        void (*build)(float*, float);
        int cosines[2], negativeSine, positiveSine;
    };
    const Builder builders[] = {{"x", matrixRotateXDegrees, {5, 10}, 6, 9},
                                {"y", matrixRotateYDegrees, {0, 10}, 8, 2},
                                {"z", matrixRotateZDegrees, {0, 5}, 1, 4}};
    int mismatches = 0;
    for (const Builder& builder : builders) {
        for (const float angle : angles) {
            const double radians = static_cast<double>(angle) * 0.017453292519943295;
            Matrix4 expected;
            matrixLoadIdentity(expected);
            expected[builder.cosines[0]] = expected[builder.cosines[1]] =
                static_cast<float>(std::cos(radians));
            expected[builder.negativeSine] = static_cast<float>(-std::sin(radians));
            expected[builder.positiveSine] = static_cast<float>(std::sin(radians));
            Matrix4 m;
            matrixLoadIdentity(m);
            builder.build(m, angle);
            for (int index = 0; index < 16; ++index) {
                if (m[index] != expected[index] && ++mismatches <= 5) {
                    ADD_FAILURE() << builder.name << " by " << angle << " degrees, element "
                                  << index << ": " << m[index] << " instead of " << expected[index];
                }
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(MatrixBuilders, CompositionsTheSceneReliesOn) {
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

TEST(MatrixProduct, RoundsEachProductToFloatAndSumsInOrderInDoubleInEveryPosition) {
    // (1 + 2^-12)^2 = 1 + 2^-11 + 2^-24 rounds to 1 + 2^-11 in float, cancelling the second product
    // exactly; unrounded double products would leave 2^-24.
    const float nearOne = 1.0f + std::ldexp(1.0f, -12);
    const float a1[4] = {nearOne, -(1.0f + std::ldexp(1.0f, -11)), 0, 0};
    const float b1[4] = {nearOne, 1, 0, 0};
    expectDotInEveryPosition(a1, b1, 0.0f);

    // 1 + 2^-24 + 2^-24: a float running sum stays at 1, the double sum reaches 1 + 2^-23.
    const float tiny = std::ldexp(1.0f, -24);
    const float a2[4] = {1, tiny, tiny, 0};
    const float b2[4] = {1, 1, 1, 0};
    expectDotInEveryPosition(a2, b2, 1.0f + std::ldexp(1.0f, -23));

    // 2^60 + 1 - 2^60 in that order loses the 1 in double; an extended-precision sum keeps it.
    const float big = std::ldexp(1.0f, 30);
    const float a3[4] = {big, 1, -big, 0};
    const float b3[4] = {big, 1, big, 0};
    expectDotInEveryPosition(a3, b3, 0.0f);

    // -2^60 + 0 + 2^60 + 1 gives 1 only when added left to right: a pairwise sum
    // (-2^60 + 0) + (2^60 + 1) or the reverse order 1 + 2^60 + 0 - 2^60 loses the 1.
    const float a4[4] = {big, 0, big, 1};
    const float b4[4] = {-big, 0, big, 1};
    expectDotInEveryPosition(a4, b4, 1.0f);
}

TEST(MatrixProduct, ScalarAndSse2PathsAgreeBitForBitOnRandomMatrices) {
#if !SKORVANE_MATRIX_HAS_SSE2
    GTEST_SKIP() << "this target has no SSE2 path; matrixMultiply is the scalar loop";
#else
    // Magnitudes from 2^-30 to 2^30 of both signs, so the products span 120 binades.
    std::mt19937 random(20261207);
    std::uniform_real_distribution<float> mantissa(-2.0f, 2.0f);
    std::uniform_int_distribution<int> exponent(-30, 30);
    const auto randomMatrix = [&](Matrix4 out) {
        for (int index = 0; index < 16; ++index) {
            out[index] = std::ldexp(mantissa(random), exponent(random));
        }
    };
    const int trials = 20000;
    int orderMatters = 0;
    for (int trial = 0; trial < trials; ++trial) {
        Matrix4 m;
        Matrix4 other;
        randomMatrix(m);
        randomMatrix(other);
        // Half of the trials make the third product cancel the first exactly, where the order of
        // the sum decides what is left of the second; a quarter multiply a matrix by itself,
        // through the same array.
        if (trial % 2 == 1) {
            for (int lane = 0; lane < 4; ++lane) {
                m[2 + 4 * lane] = m[0 + 4 * lane];
                other[lane + 8] = -other[lane + 0];
            }
        }
        const bool aliased = trial % 4 == 0;
        Matrix4 scalar;
        Matrix4 sse2;
        std::memcpy(scalar, m, sizeof m);
        std::memcpy(sse2, m, sizeof m);
        matrixMultiplyScalar(scalar, aliased ? scalar : other);
        matrixMultiplySse2(sse2, aliased ? sse2 : other);
        ASSERT_EQ(0, std::memcmp(scalar, sse2, sizeof scalar)) << "trial " << trial;

        // How often the left-to-right double sum differs from the reverse one in the float
        // result: the agreement above means something only if this is frequent.
        const float* right = aliased ? m : other;
        for (int index = 0; index < 16; ++index) {
            const int i = index % 4;
            const int j = index / 4;
            double forward = 0;
            double backward = 0;
            for (int k = 0; k < 4; ++k) {
                forward += static_cast<double>(m[k + 4 * j] * right[i + 4 * k]);
                backward += static_cast<double>(m[3 - k + 4 * j] * right[i + 4 * (3 - k)]);
            }
            orderMatters += static_cast<float>(forward) != static_cast<float>(backward);
        }
    }
    EXPECT_GT(orderMatters, trials / 10)
        << "too few random products depend on the order of the sum";
#endif
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
