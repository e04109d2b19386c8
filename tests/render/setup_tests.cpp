// Start-up state, the projection that follows the window size, and the swap-control look-up.
#include "render/render_fixture.h"

#include "render/render.h"
#include "shell/app_state.h"

#include <cmath>

namespace {

using rendertest::startUpOnce;

class SetupTest : public testsupport::GlTest {
  protected:
    void SetUp() override {
        GlTest::SetUp();
        startUpOnce();
    }
    void TearDown() override { resizeScene(rendertest::viewportWidth, rendertest::viewportHeight); }
};

void expectPerspective(double fovDegrees, double aspect, double n, double f) {
    const double pi = 3.14159265358979323846;
    const double cot = 1.0 / std::tan(fovDegrees * pi / 360.0);
    double expected[16] = {};
    expected[0] = cot / aspect;
    expected[5] = cot;
    expected[10] = (f + n) / (n - f);
    expected[11] = -1;
    expected[14] = 2 * f * n / (n - f);
    GLfloat actual[16];
    glGetFloatv(GL_PROJECTION_MATRIX, actual);
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(actual[i], expected[i], 1e-5 * std::fabs(expected[i]) + 1e-6) << "index " << i;
    }
}

TEST_F(SetupTest, StartUpSetsItsGlStateAndBuildsTheTree) {
    const rendertest::StartUpRecord& r = startUpOnce();
    EXPECT_TRUE(r.sceneBuilt);
    EXPECT_EQ(r.shadeModel, GL_SMOOTH);
    EXPECT_NEAR(r.clearColour[0], 0.2f, 1e-6);
    EXPECT_NEAR(r.clearColour[1], 0.2f, 1e-6);
    EXPECT_NEAR(r.clearColour[2], 0.2f, 1e-6);
    EXPECT_NEAR(r.clearColour[3], 0.5f, 1e-6);
    EXPECT_EQ(r.clearDepth, 1.0f);
    EXPECT_TRUE(r.depthTest);
    EXPECT_TRUE(r.texture2d);
    EXPECT_TRUE(r.blend);
    EXPECT_EQ(r.depthFunc, GL_LEQUAL);
    EXPECT_EQ(r.perspectiveHint, GL_NICEST);
    // The tree is built under rootNode; its 85 nodes and their places are the tree's own test
    // (scene_node_test.cpp).
    EXPECT_NE(rootNode.children, nullptr);
}

TEST_F(SetupTest, ResizeSetsViewportPerspectiveAndResetsModelview) {
    glMatrixMode(GL_PROJECTION);
    glTranslatef(1, 2, 3);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(0, 0, -3);

    resizeScene(800, 600);

    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 0);
    EXPECT_EQ(viewport[1], 0);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 600);
    expectPerspective(45, 800.0 / 600.0, 1, 100);

    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    GLfloat modelview[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(modelview[i], (i % 5 == 0) ? 1.0f : 0.0f) << "index " << i;
    }
}

TEST_F(SetupTest, ZeroHeightReadsAsOneAndAspectIsNotTruncated) {
    resizeScene(800, 0);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 1);
    expectPerspective(45, 800.0, 1, 100);

    // 3 / 2 in integers would be 1.
    resizeScene(3, 2);
    expectPerspective(45, 1.5, 1, 100);
}

TEST(ExtensionOffered, SearchesForTheNameAsASubstring) {
    EXPECT_TRUE(extensionOffered("WGL_ARB_a WGL_EXT_swap_control WGL_b", "WGL_EXT_swap_control"));
    EXPECT_TRUE(extensionOffered("WGL_EXT_swap_control_tear", "WGL_EXT_swap_control"));
    EXPECT_FALSE(extensionOffered("WGL_EXT_swap_contro GL_ARB_x", "WGL_EXT_swap_control"));
    EXPECT_FALSE(extensionOffered("", "WGL_EXT_swap_control"));
    EXPECT_FALSE(extensionOffered(nullptr, "WGL_EXT_swap_control"));
}

TEST_F(SetupTest, SwapControlEntryPointIsLookedUpOnlyWhenOffered) {
    swapIntervalProc = nullptr;
    enableSwapControl(1);
    if (extensionOffered(platformExtensionString(), "WGL_EXT_swap_control")) {
        EXPECT_EQ(swapIntervalProc, reinterpret_cast<SwapIntervalProc>(reinterpret_cast<void (*)()>(
                                        wglGetProcAddress("wglSwapIntervalEXT"))));
        // The interval asked for is the one the driver is given.
        const auto currentInterval = reinterpret_cast<int(WINAPI*)()>(
            reinterpret_cast<void (*)()>(wglGetProcAddress("wglGetSwapIntervalEXT")));
        ASSERT_NE(currentInterval, nullptr);
        swapIntervalProc(0);
        enableSwapControl(1);
        EXPECT_EQ(currentInterval(), 1);
    } else {
        EXPECT_EQ(swapIntervalProc, nullptr);
    }
}

} // namespace
