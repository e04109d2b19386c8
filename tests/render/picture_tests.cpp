// One steady-state 800 x 600 frame rendered for real and read back pixel by pixel, compared with
// positions projected independently; the frame is also saved as a PNG to look at.
#include "render/render_fixture.h"

#include "render/render.h"
#include "shell/app_state.h"

#include <cmath>
#include <vector>

#ifndef SKORVANE_PICTURE_DIR
#define SKORVANE_PICTURE_DIR "."
#endif

namespace {

using rendertest::Point;
using testsupport::Rgb;

constexpr double distance = 43.0;

bool isColour(const Rgb& pixel, int r, int g, int b) {
    return std::abs(pixel.r - r) <= 1 && std::abs(pixel.g - g) <= 1 && std::abs(pixel.b - b) <= 1;
}

Rgb pixelAt(const Point& p) {
    return testsupport::readPixel(static_cast<int>(p.x), static_cast<int>(p.y));
}

bool onScreen(const Point& p) {
    return p.x >= 5 && p.y >= 5 && p.x < rendertest::viewportWidth - 5 &&
           p.y < rendertest::viewportHeight - 5;
}

// Eye-space centres of the steady picture with nothing turned, walked as the tree is laid out.
void addCentres(double x, double y, int level, double parentScale, std::vector<Point>& out) {
    out.push_back({x, y, -distance});
    if (level == 3) {
        return;
    }
    const double offsets[] = {12, 6, 2.5};
    const double levelScales[] = {1.0, 1.0, 1.0 / 1.2, 1.0 / 1.5};
    const double scale = parentScale * levelScales[level];
    const double step = offsets[level] * scale;
    const double directions[4][2] = {{1, 0}, {0, 1}, {0, -1}, {-1, 0}};
    for (const auto& d : directions) {
        addCentres(x + d[0] * step, y + d[1] * step, level + 1, scale, out);
    }
}

class PictureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        rendertest::prepareSteadyScene();
        // Hostile leftovers: the frame must switch depth testing back on with its own function.
        glDisable(GL_DEPTH_TEST);
        glDepthFunc(GL_ALWAYS);
        drawFrame();
        glFinish();
    }
};

TEST_F(PictureTest, CubesLinesBackgroundAndCaptionsLandWhereProjected) {
    std::vector<Point> centres;
    addCentres(0, 0, 0, 1.0, centres);
    ASSERT_EQ(centres.size(), size_t(rendertest::nodeCount));
    const double captionTop = rendertest::projectEyePoint(-1.6, -0.8, -3).y + 20;
    int visible = 0;
    for (size_t i = 0; i < centres.size(); ++i) {
        const Point p = rendertest::projectEyePoint(centres[i].x, centres[i].y, centres[i].z);
        if (onScreen(p)) {
            ++visible;
            const Rgb pixel = pixelAt(p);
            // The captions are drawn over everything, so their glyphs may hide a cube's centre.
            const bool caption = p.y < captionTop && isColour(pixel, 0, 255, 0);
            EXPECT_TRUE(isColour(pixel, 255, 0, 0) || caption)
                << "centre of node " << i << ": " << pixel.r << "," << pixel.g << "," << pixel.b;
        }
    }
    EXPECT_GT(visible, 40);

    // Empty places between the arms and in three corners show the clear colour.
    for (const Point eye :
         {Point{6, 6, -distance}, Point{-6, 6, -distance}, Point{6, -6, -distance},
          Point{-6, -6, -distance}, Point{-22, 16, -distance}, Point{22, 16, -distance},
          Point{22, -16, -distance}}) {
        const Rgb pixel = pixelAt(rendertest::projectEyePoint(eye.x, eye.y, eye.z));
        EXPECT_TRUE(isColour(pixel, 51, 51, 51)) << "empty at " << eye.x << "," << eye.y;
    }

    // Connector lines, two pixels wide, between the root cube and the nearest cubes on each arm.
    for (const Point eye : {Point{2.5, 0, -distance}, Point{0, 2.5, -distance},
                            Point{-2.5, 0, -distance}, Point{0, -2.5, -distance}}) {
        const Point p = rendertest::projectEyePoint(eye.x, eye.y, eye.z);
        bool white = false;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                white = white || isColour(testsupport::readPixel(int(p.x) + dx, int(p.y) + dy), 255,
                                          255, 255);
            }
        }
        EXPECT_TRUE(white) << "line at " << eye.x << "," << eye.y;
    }

    // Captions: green glyphs starting at each raster position, nothing green left of them.
    for (const double y : {-1.2, -1.0, -0.8}) {
        const Point raster = rendertest::projectEyePoint(-1.6, y, -3);
        int green = 0, leftmost = rendertest::viewportWidth;
        for (int py = int(raster.y) - 5; py < int(raster.y) + 18; ++py) {
            for (int px = 0; px < 400; ++px) {
                if (isColour(testsupport::readPixel(px, py), 0, 255, 0)) {
                    ++green;
                    leftmost = std::min(leftmost, px);
                }
            }
        }
        EXPECT_GT(green, 100) << "caption at " << y;
        EXPECT_NEAR(leftmost, raster.x, 4) << "caption at " << y;
    }

    // What the frame leaves: its own depth function, and depth test, texture and blend off.
    GLint depthFunc = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    EXPECT_EQ(depthFunc, GL_LEQUAL);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(PictureTest, SavesTheSteadyFrameAsPng) {
    std::vector<unsigned char> rgb(size_t(rendertest::viewportWidth) * rendertest::viewportHeight *
                                   3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, rendertest::viewportWidth, rendertest::viewportHeight, GL_RGB,
                 GL_UNSIGNED_BYTE, rgb.data());
    std::vector<unsigned char> topFirst;
    for (int y = rendertest::viewportHeight - 1; y >= 0; --y) {
        const auto row = rgb.begin() + long(y) * rendertest::viewportWidth * 3;
        topFirst.insert(topFirst.end(), row, row + rendertest::viewportWidth * 3);
    }
    EXPECT_TRUE(rendertest::writePng(std::string(SKORVANE_PICTURE_DIR) + "/frame.png",
                                     rendertest::viewportWidth, rendertest::viewportHeight,
                                     topFirst));
}

} // namespace
