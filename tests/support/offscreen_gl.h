// The GL tests' use of the offscreen Mesa context of support/egl_context.h (800 x 600 with a depth
// buffer): a failed context fails the test, pixels and feedback are read back, and a fixture resets
// the state, so tests render and read back exactly what the program would draw.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace testsupport {

// Creates the context once per process and makes it current; on failure it records a fatal
// test failure (a GL test fails, never skips, when there is no context).
bool makeOffscreenContextCurrent(int width = 800, int height = 600);

// An RGB pixel read back from the colour buffer, 0..255 per channel, with y counted from the
// bottom as OpenGL does.
struct Rgb {
    int r, g, b;
};
Rgb readPixel(int x, int y);

// Writes the current colour buffer (width x height) as a binary PPM, top row first.
void writeColourBufferPpm(const std::string& path, int width, int height);

// Records everything drawn by `draw` in GL feedback mode (GL_3D_COLOR) and returns the buffer.
template <typename Draw> std::vector<float> captureFeedback(Draw draw, int capacity = 1 << 16);

// Fixture for GL tests: the context is current and the matrices and state are reset.
class GlTest : public ::testing::Test {
  protected:
    void SetUp() override;
};

} // namespace testsupport

#include "support/offscreen_gl_inl.h"
