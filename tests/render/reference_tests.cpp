// The rendered steady frame against the reference picture worked out independently in
// reference_picture.cpp, pixel by pixel outside the captions, at three spin states. The
// reference pictures are saved next to the frame for the browser page's test.
#include "render/reference_picture.h"
#include "render/render_fixture.h"

#include "render/render.h"
#include "shell/app_state.h"

#include <cstdio>
#include <string>

#ifndef SKORVANE_PICTURE_DIR
#define SKORVANE_PICTURE_DIR "."
#endif

namespace {

std::vector<unsigned char> renderedFrame(const reference::Spins& spins) {
    rendertest::prepareSteadyScene();
    rootSpin = float(spins.root);
    levelOneSpin = float(spins.levelOne);
    levelTwoSpin = float(spins.levelTwo);
    levelThreeSpin = float(spins.levelThree);
    drawFrame(); // hands the spins over
    drawFrame(); // shows them, 43 units away
    glFinish();
    std::vector<unsigned char> rgb(size_t(rendertest::viewportWidth) * rendertest::viewportHeight *
                                   3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, rendertest::viewportWidth, rendertest::viewportHeight, GL_RGB,
                 GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

std::string name(const reference::Spins& s) {
    char text[64];
    std::snprintf(text, sizeof text, "%g_%g_%g_%g", s.root, s.levelOne, s.levelTwo, s.levelThree);
    return text;
}

class ReferenceTest : public ::testing::TestWithParam<reference::Spins> {};

TEST_P(ReferenceTest, FrameMatchesTheIndependentPictureOutsideTheCaptions) {
    const reference::Spins spins = GetParam();
    const reference::Picture expected = reference::draw(spins);
    const std::vector<unsigned char> frame = renderedFrame(spins);
    const reference::Comparison result = reference::compare(expected, frame);

    const std::string base = std::string(SKORVANE_PICTURE_DIR) + "/reference-" + name(spins);
    EXPECT_TRUE(reference::save(expected, base + ".png", base + "-edges.png"));
    if (result.unexplained != 0) {
        std::vector<unsigned char> topFirst;
        for (int y = rendertest::viewportHeight - 1; y >= 0; --y) {
            const auto row = frame.begin() + long(y) * rendertest::viewportWidth * 3;
            topFirst.insert(topFirst.end(), row, row + rendertest::viewportWidth * 3);
        }
        rendertest::writePng(base + "-differs.png", rendertest::viewportWidth,
                             rendertest::viewportHeight, topFirst);
    }

    std::printf("%ld of %ld pixels equal, %ld differ beside an edge\n", result.equal,
                result.compared, result.compared - result.equal - result.unexplained);
    ASSERT_GT(result.compared, 400000);
    EXPECT_GE(result.equal, result.compared * 99 / 100)
        << result.compared - result.equal << " of " << result.compared << " pixels differ";
    EXPECT_EQ(result.unexplained, 0)
        << "pixels that differ away from any edge, the first at " << result.firstX << ","
        << result.firstY << " (from the bottom left)";
}

INSTANTIATE_TEST_SUITE_P(Spins, ReferenceTest,
                         ::testing::Values(reference::Spins{0, 0, 0, 0},
                                           reference::Spins{30, 10, 20, 40},
                                           reference::Spins{76, 136, 250, 16}),
                         [](const auto& info) { return name(info.param); });

} // namespace
