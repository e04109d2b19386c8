#include "support/offscreen_gl.h"

#include "support/egl_context.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>

namespace testsupport {

bool makeOffscreenContextCurrent(int width, int height) {
    const std::string error = makeEglContextCurrent(width, height);
    if (!error.empty()) {
        ADD_FAILURE() << "no offscreen OpenGL context: " << error;
        return false;
    }
    return true;
}

Rgb readPixel(int x, int y) {
    unsigned char pixel[4] = {0, 0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    return {pixel[0], pixel[1], pixel[2]};
}

void writeColourBufferPpm(const std::string& path, int width, int height) {
    std::vector<unsigned char> rows(static_cast<size_t>(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return;
    }
    std::fprintf(file, "P6\n%d %d\n255\n", width, height);
    for (int y = height - 1; y >= 0; --y) {
        std::fwrite(&rows[static_cast<size_t>(y) * width * 3], 1, static_cast<size_t>(width) * 3,
                    file);
    }
    std::fclose(file);
}

void GlTest::SetUp() {
    ASSERT_TRUE(makeOffscreenContextCurrent());
    glViewport(0, 0, 800, 600);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor4f(1, 1, 1, 1);
    glLineWidth(1);
    while (glGetError() != GL_NO_ERROR) {
    }
}

} // namespace testsupport
