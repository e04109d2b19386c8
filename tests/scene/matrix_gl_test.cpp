// The matrix library against Mesa's own matrix stack, in a real offscreen GL context.
#include "scene/matrix.h"

#include "support/offscreen_gl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

// Tolerance relative to the matrix's largest element: GL does not promise our rounding.
void expectMatricesNear(const float* expected, const float* actual, float tolerance) {
    float largest = 1;
    for (int i = 0; i < 16; ++i) {
        largest = std::max(largest, std::fabs(expected[i]));
    }
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(expected[i], actual[i], tolerance * largest) << "element " << i;
    }
}

} // namespace

class MatrixAgainstGl : public testsupport::GlTest {};

// Our operations pre-multiply and our rotations turn the other way from glRotatef, so the same
// sequence is loaded into GL in reverse order with negated angles.
TEST_F(MatrixAgainstGl, RandomSequencesMatchMesasMatrixStack) {
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> pickOperation(0, 4);
    std::uniform_real_distribution<float> value(-3, 3);
    std::uniform_real_distribution<float> angle(-400, 400);

    for (int sequence = 0; sequence < 50; ++sequence) {
        struct Step {
            int operation;
            float x, y, z;
        };
        std::vector<Step> steps(6);
        for (Step& step : steps) {
            step = {pickOperation(random), value(random), value(random), value(random)};
            if (step.operation >= 2) {
                step.x = angle(random);
            }
        }

        Matrix4 ours;
        matrixLoadIdentity(ours);
        for (const Step& step : steps) {
            switch (step.operation) {
            case 0:
                matrixTranslate(ours, step.x, step.y, step.z);
                break;
            case 1:
                matrixScale(ours, step.x, step.y, step.z);
                break;
            case 2:
                matrixRotateXDegrees(ours, step.x);
                break;
            case 3:
                matrixRotateYDegrees(ours, step.x);
                break;
            default:
                matrixRotateZDegrees(ours, step.x);
                break;
            }
        }

        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
            switch (step->operation) {
            case 0:
                glTranslatef(step->x, step->y, step->z);
                break;
            case 1:
                glScalef(step->x, step->y, step->z);
                break;
            case 2:
                glRotatef(-step->x, 1, 0, 0);
                break;
            case 3:
                glRotatef(-step->x, 0, 1, 0);
                break;
            default:
                glRotatef(-step->x, 0, 0, 1);
                break;
            }
        }
        Matrix4 mesa;
        glGetFloatv(GL_MODELVIEW_MATRIX, mesa);
        SCOPED_TRACE(sequence);
        expectMatricesNear(mesa, ours, 1e-5f);

        // Multiplying our finished matrix onto GL's reproduces it, with no transposition.
        glLoadIdentity();
        glMultMatrixf(ours);
        Matrix4 handedOver;
        glGetFloatv(GL_MODELVIEW_MATRIX, handedOver);
        EXPECT_EQ(0, std::memcmp(handedOver, ours, sizeof ours));
    }
}
