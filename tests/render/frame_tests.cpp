// Frames recorded in feedback mode: where the view puts the hierarchy, the one-frame hand-over of
// the spins, what each arrow key turns, and the GL state a frame leaves. Recorded with a 90-degree
// field of view so that no node is clipped away; the geometry is the same as with the program's
// 45 degrees.
#include "render/render_fixture.h"

#include "render/render.h"
#include "shell/app_state.h"

#include <cmath>

namespace {

using rendertest::Point;

class FrameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        rendertest::startUpOnce();
        fieldOfView = 90.0f;
        rendertest::prepareSteadyScene();
        reference = rendertest::runFrame();
        referenceCentres = rendertest::nodeCentres(reference);
        ASSERT_EQ(referenceCentres.size(), size_t(rendertest::nodeCount));
    }
    void TearDown() override {
        fieldOfView = 45.0f;
        rendertest::prepareSteadyScene();
    }

    // Runs `frames` frames with `key` held, then releases it; returns the last recorded frame.
    static std::vector<testsupport::FeedbackPrimitive> holdKey(int key, int frames) {
        std::vector<testsupport::FeedbackPrimitive> last;
        for (int i = 0; i < frames; ++i) {
            last = rendertest::runFrame(key);
        }
        return last;
    }

    std::vector<testsupport::FeedbackPrimitive> reference;
    std::vector<Point> referenceCentres;
};

void expectSamePoint(const Point& actual, const Point& expected, const char* what, size_t index) {
    EXPECT_NEAR(actual.x, expected.x, 0.05) << what << " " << index;
    EXPECT_NEAR(actual.y, expected.y, 0.05) << what << " " << index;
}

// Every centre turned clockwise by `degrees` about the root's centre.
void expectWholePictureTurned(const std::vector<Point>& centres,
                              const std::vector<Point>& reference, double degrees) {
    ASSERT_EQ(centres.size(), reference.size());
    for (size_t i = 0; i < centres.size(); ++i) {
        expectSamePoint(centres[i],
                        rendertest::turnedClockwise(reference[i], reference[0], degrees), "node",
                        i);
    }
}

TEST_F(FrameTest, FirstFrameAfterAResizeStandsAt40AndLaterFramesAt43) {
    const double steady = rendertest::eyeDistanceFromDepth(referenceCentres[0].z);
    EXPECT_NEAR(steady, 43.0, 0.05);

    resizeScene(rendertest::viewportWidth, rendertest::viewportHeight);
    const auto afterResize = rendertest::nodeCentres(rendertest::runFrame());
    ASSERT_FALSE(afterResize.empty());
    EXPECT_NEAR(rendertest::eyeDistanceFromDepth(afterResize[0].z), 40.0, 0.05);
    const Point expected = rendertest::projectEyePoint(12, 0, -40);
    expectSamePoint(afterResize[1], expected, "level-1 node", 1);

    const auto next = rendertest::nodeCentres(rendertest::runFrame());
    EXPECT_NEAR(rendertest::eyeDistanceFromDepth(next[0].z), 43.0, 0.05);
}

TEST_F(FrameTest, StartUpFrameShowsConstructionScalesAt40) {
    const auto centres = rendertest::nodeCentres(rendertest::startUpOnce().firstFrame);
    ASSERT_EQ(centres.size(), size_t(rendertest::nodeCount));
    EXPECT_NEAR(rendertest::eyeDistanceFromDepth(centres[0].z), 40.0, 0.05);
    // Node 0,0,0 before any scale was handed over: 12 + 6 + 2.5 along x.
    expectSamePoint(centres[3], rendertest::projectEyePoint(20.5, 0, -40), "node", 3);
    // The steady picture has level 2 at 1 / 1.2.
    expectSamePoint(referenceCentres[3], rendertest::projectEyePoint(12 + 6 + 2.5 / 1.2, 0, -43),
                    "node", 3);
}

// Hostile leftovers before a frame: it switches depth testing back on with its own function (the
// reference picture shows the depth test at work), and its caption pass leaves depth test,
// texturing and blending off.
TEST_F(FrameTest, SetsItsOwnDepthFunctionAndLeavesTheCaptionPassState) {
    glDisable(GL_DEPTH_TEST);
    glDepthFunc(GL_ALWAYS);
    rendertest::runFrame();

    GLint depthFunc = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    EXPECT_EQ(depthFunc, GL_LEQUAL);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(FrameTest, AKeyHeldForOneFrameShowsInTheFrameAfter) {
    const auto whileHeld = rendertest::nodeCentres(holdKey(VK_UP, 1));
    expectWholePictureTurned(whileHeld, referenceCentres, 0);
    const auto after = rendertest::nodeCentres(rendertest::runFrame());
    expectWholePictureTurned(after, referenceCentres, 2);
    const auto steady = rendertest::nodeCentres(rendertest::runFrame());
    expectWholePictureTurned(steady, referenceCentres, 2);
}

TEST_F(FrameTest, FortyFiveFramesOfUpTurnThePictureAQuarterClockwise) {
    const auto lastHeld = rendertest::nodeCentres(holdKey(VK_UP, 45));
    expectWholePictureTurned(lastHeld, referenceCentres, 88);
    const auto frame46 = rendertest::nodeCentres(rendertest::runFrame());
    expectWholePictureTurned(frame46, referenceCentres, 90);
}

TEST_F(FrameTest, LeftTurnsOnlyTheSmallestCubesAboutTheirOwnCentres) {
    holdKey(VK_LEFT, 15);
    const auto turned = rendertest::runFrame();
    const auto centres = rendertest::nodeCentres(turned);
    ASSERT_EQ(centres.size(), referenceCentres.size());
    for (size_t i = 0; i < centres.size(); ++i) {
        expectSamePoint(centres[i], referenceCentres[i], "centre", i);
    }

    const auto before = rendertest::frontFaces(reference);
    const auto after = rendertest::frontFaces(turned);
    const auto levels = rendertest::nodeLevels();
    ASSERT_EQ(before.size(), size_t(rendertest::nodeCount));
    ASSERT_EQ(after.size(), before.size());
    for (size_t node = 0; node < before.size(); ++node) {
        ASSERT_EQ(before[node].size(), 4u) << "node " << node;
        ASSERT_EQ(after[node].size(), 4u) << "node " << node;
        Point middle{0, 0, 0};
        for (const Point& corner : before[node]) {
            middle.x += corner.x / 4;
            middle.y += corner.y / 4;
        }
        const double degrees = levels[node] == 3 ? 30.0 : 0.0;
        for (size_t c = 0; c < 4; ++c) {
            expectSamePoint(after[node][c],
                            rendertest::turnedClockwise(before[node][c], middle, degrees), "node",
                            node);
        }
    }
}

TEST_F(FrameTest, RightAndDownTurnEachSubtreeOfTheirLevelAboutItsOwnCentre) {
    const auto levels = rendertest::nodeLevels();
    for (const int level : {1, 2}) {
        rendertest::prepareSteadyScene();
        holdKey(level == 1 ? VK_RIGHT : VK_DOWN, 15);
        const auto centres = rendertest::nodeCentres(rendertest::runFrame());
        ASSERT_EQ(centres.size(), referenceCentres.size());
        size_t pivot = 0; // the latest node of the turned level, in drawing order
        for (size_t i = 0; i < centres.size(); ++i) {
            if (levels[i] <= level) {
                pivot = i;
                expectSamePoint(centres[i], referenceCentres[i], "node", i);
            } else {
                const Point turned =
                    rendertest::turnedClockwise(referenceCentres[i], referenceCentres[pivot], 30);
                expectSamePoint(centres[i], turned, "node", i);
            }
        }
    }
}

} // namespace
