#pragma once

#include <GL/gl.h>

namespace testsupport {

template <typename Draw> std::vector<float> captureFeedback(Draw draw, int capacity) {
    std::vector<float> buffer(static_cast<size_t>(capacity));
    glFeedbackBuffer(capacity, GL_3D_COLOR, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    buffer.resize(used < 0 ? 0 : static_cast<size_t>(used));
    return buffer;
}

} // namespace testsupport
