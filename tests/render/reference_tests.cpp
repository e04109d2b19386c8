// The rendered steady frame against the reference picture worked out independently in
// reference_picture.cpp, pixel by pixel outside the captions, at three spin states: every cube,
// connector line and background pixel where the layout puts it. The steady frame (frame.png) and
// the reference pictures are saved for the browser page's test. The captions are text_tests.cpp's.
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
    // Hostile leftovers: the frame must switch depth testing back on with its own function.
    glDisable(GL_DEPTH_TEST);
    glDepthFunc(GL_ALWAYS);
    drawFrame(); // shows them, 43 units away
    glFinish();
    std::vector<unsigned char> rgb(size_t(rendertest::viewportWidth) * rendertest::viewportHeight *
                                   3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, rendertest::viewportWidth, rendertest::viewportHeight, GL_RGB,
                 GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

// Rows top first, as a PNG file keeps them.
std::vector<unsigned char> topRowFirst(const std::vector<unsigned char>& rgb) {
    std::vector<unsigned char> rows;
    for (int y = rendertest::viewportHeight - 1; y >= 0; --y) {
        const auto row = rgb.begin() + long(y) * rendertest::viewportWidth * 3;
        rows.insert(rows.end(), row, row + rendertest::viewportWidth * 3);
    }
    return rows;
}

bool savePng(const std::string& path, const std::vector<unsigned char>& rgb) {
    return rendertest::writePng(path, rendertest::viewportWidth, rendertest::viewportHeight,
                                topRowFirst(rgb));
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
    if (spins.root == 0 && spins.levelOne == 0 && spins.levelTwo == 0 && spins.levelThree == 0) {
        // The steady frame, captions included: the browser page's tests compare against it.
        EXPECT_TRUE(savePng(std::string(SKORVANE_PICTURE_DIR) + "/frame.png", frame));
    }
    if (result.unexplained != 0) {
        savePng(base + "-differs.png", frame);
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
