// The core of the GL 1.1 subset (see webgl.h): attaching to WebGL, errors and strings, the
// matrix stacks and gluPerspective, the viewport, the enables and per-fragment state, clearing.
// Immediate mode and bitmaps are in webgl_primitives.cpp, display lists and the attribute stack
// in webgl_lists.cpp, the WebGL calls in webgl_draw.cpp.
#include "platform/webgl/webgl.h"
#include "platform/webgl/webgl_state.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace webgl {

Subset subset;

DrawResources& gpu() {
    return subset.gpu;
}

void deviceViewport(int viewport[4]) {
    const auto* v = subset.gl.viewport;
    const auto device = [](int value, float scale) {
        return static_cast<int>(std::lround(static_cast<float>(value) * scale));
    };
    viewport[0] = device(v[0], subset.deviceScale[0]);
    viewport[1] = device(v[1], subset.deviceScale[1]);
    viewport[2] = device(v[0] + v[2], subset.deviceScale[0]) - viewport[0];
    viewport[3] = device(v[1] + v[3], subset.deviceScale[1]) - viewport[1];
}

namespace {

std::vector<Matrix>& currentStack() {
    return subset.gl.stacks[subset.gl.matrixMode == GL_MODELVIEW    ? 0
                            : subset.gl.matrixMode == GL_PROJECTION ? 1
                                                                    : 2];
}

void multiply(const Matrix& factor) {
    if (execute([=] { multiply(factor); })) {
        currentStack().back() = currentStack().back() * factor;
    }
}

void setCapability(GLenum cap, bool enabled) {
    switch (cap) {
    case GL_DEPTH_TEST:
        subset.gl.depthTest = enabled;
        break;
    // No texture image is ever specified: in GL 1.1 texturing with an incomplete texture is as if
    // it were disabled. No blend function is ever set: with GL's default GL_ONE, GL_ZERO blending
    // replaces the destination exactly as no blending does. Both switches are accepted and change
    // nothing, so they are not kept.
    case GL_TEXTURE_2D:
    case GL_BLEND:
        break;
    default:
        raise(GL_INVALID_ENUM);
        break;
    }
}

} // namespace
} // namespace webgl

using namespace webgl;

bool webGlAttach() {
    subset.gl = State{}; // every GL state at its initial value, no display lists
    if (!webgl::attachDraw(subset.attachFailure)) {
        return false;
    }
    int device[4];
    webgl::canvasViewport(device);
    for (int i = 0; i < 4; ++i) {
        subset.gl.viewport[i] = static_cast<int>(
            std::lround(static_cast<float>(device[i]) / subset.deviceScale[i % 2]));
    }
    subset.gl.live = true;
    return true;
}

void webGlSetDeviceScale(float x, float y) {
    if (!(x > 0) || !(y > 0)) {
        return;
    }
    webgl::flush(); // what is batched was placed at the old scale
    subset.deviceScale[0] = x;
    subset.deviceScale[1] = y;
    if (subset.gl.live) {
        int device[4];
        webgl::deviceViewport(device);
        webgl::setViewport(device[0], device[1], device[2], device[3]);
    }
}

void webGlContextLost() {
    webgl::loseDraw();
}

void webGlContextRestored() {
    if (!subset.gl.live || !webgl::attachDraw(subset.attachFailure)) {
        return;
    }
    int device[4];
    webgl::deviceViewport(device);
    webgl::setViewport(device[0], device[1], device[2], device[3]);
}

const char* webGlFailure() {
    return subset.attachFailure.c_str();
}

void webGlDetach() {
    if (subset.gl.live) {
        webgl::detachDraw();
    }
    subset.gl = State{};
}

void webGlFlush() {
    if (subset.gl.live) {
        webgl::flush();
    }
}

extern "C" {

// ---- Errors and strings (never compiled into lists) -------------------------------------------

GLenum glGetError() {
    if (!executeUnlisted()) {
        return GL_NO_ERROR;
    }
    const GLenum error = subset.gl.error;
    subset.gl.error = GL_NO_ERROR;
    return error;
}

const GLubyte* glGetString(GLenum name) {
    if (!executeUnlisted()) {
        return nullptr;
    }
    const char* value = nullptr;
    switch (name) {
    case GL_VENDOR:
        value = "Skorvane";
        break;
    case GL_RENDERER:
        value = "Skorvane OpenGL 1.1 subset over WebGL 1";
        break;
    case GL_VERSION:
        value = "1.1 Skorvane WebGL";
        break;
    case GL_EXTENSIONS: // GL's own extensions: none (swap control is WGL's, offered by the layer)
        value = "";
        break;
    default:
        raise(GL_INVALID_ENUM);
        break;
    }
    return reinterpret_cast<const GLubyte*>(value);
}

void glPixelStorei(GLenum name, GLint value) {
    if (!executeUnlisted()) {
        return;
    }
    if (name != GL_UNPACK_ALIGNMENT && name != GL_PACK_ALIGNMENT) {
        raise(GL_INVALID_ENUM);
    } else if (value != 1 && value != 2 && value != 4 && value != 8) {
        raise(GL_INVALID_VALUE);
    } else if (name == GL_UNPACK_ALIGNMENT) {
        subset.gl.unpackAlignment = value;
    }
}

// ---- Matrices ----------------------------------------------------------------------------------

void glMatrixMode(GLenum mode) {
    if (!execute([=] { glMatrixMode(mode); })) {
        return;
    }
    if (mode == GL_MODELVIEW || mode == GL_PROJECTION || mode == GL_TEXTURE) {
        subset.gl.matrixMode = mode;
    } else {
        raise(GL_INVALID_ENUM);
    }
}

void glLoadIdentity() {
    if (execute([] { glLoadIdentity(); })) {
        currentStack().back() = Matrix{};
    }
}

void glPushMatrix() {
    if (!execute([] { glPushMatrix(); })) {
        return;
    }
    auto& stack = currentStack();
    if (stack.size() >= stackDepths[&stack - subset.gl.stacks]) {
        raise(GL_STACK_OVERFLOW);
    } else {
        stack.push_back(stack.back());
    }
}

void glPopMatrix() {
    if (!execute([] { glPopMatrix(); })) {
        return;
    }
    auto& stack = currentStack();
    if (stack.size() <= 1) {
        raise(GL_STACK_UNDERFLOW);
    } else {
        stack.pop_back();
    }
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    Matrix translation;
    translation.m[12] = x;
    translation.m[13] = y;
    translation.m[14] = z;
    multiply(translation);
}

void glMultMatrixf(const GLfloat* m) {
    Matrix factor;
    std::copy(m, m + 16, factor.m);
    multiply(factor);
}

// As GLU computes it, in double precision; GLU's glMultMatrixd becomes a float matrix.
void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    const double radians = fovy / 2 * 3.14159265358979323846 / 180;
    const double deltaZ = zFar - zNear;
    const double sine = std::sin(radians);
    if (deltaZ == 0 || sine == 0 || aspect == 0) {
        return;
    }
    const double cotangent = std::cos(radians) / sine;
    Matrix perspective;
    perspective.m[0] = static_cast<float>(cotangent / aspect);
    perspective.m[5] = static_cast<float>(cotangent);
    perspective.m[10] = static_cast<float>(-(zFar + zNear) / deltaZ);
    perspective.m[11] = -1;
    perspective.m[14] = static_cast<float>(-2 * zNear * zFar / deltaZ);
    perspective.m[15] = 0;
    multiply(perspective);
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    if (!execute([=] { glViewport(x, y, width, height); })) {
        return;
    }
    if (width < 0 || height < 0) {
        raise(GL_INVALID_VALUE);
        return;
    }
    const int viewport[4] = {x, y, width, height};
    std::copy(viewport, viewport + 4, subset.gl.viewport);
    int device[4];
    webgl::deviceViewport(device);
    webgl::setViewport(device[0], device[1], device[2], device[3]);
}

// ---- Per-fragment state and clearing -----------------------------------------------------------

void glEnable(GLenum cap) {
    if (execute([=] { glEnable(cap); })) {
        setCapability(cap, true);
    }
}

void glDisable(GLenum cap) {
    if (execute([=] { glDisable(cap); })) {
        setCapability(cap, false);
    }
}

void glDepthFunc(GLenum func) {
    if (!execute([=] { glDepthFunc(func); })) {
        return;
    }
    if (func < GL_NEVER || func > GL_ALWAYS) {
        raise(GL_INVALID_ENUM);
    } else {
        subset.gl.depthFunc = func;
    }
}

void glShadeModel(GLenum mode) {
    if (!execute([=] { glShadeModel(mode); })) {
        return;
    }
    if (mode != GL_FLAT && mode != GL_SMOOTH) {
        raise(GL_INVALID_ENUM);
    } else {
        subset.gl.shadeModel = mode;
    }
}

// WebGL always interpolates perspective-correctly and never smooths; hints change nothing.
void glHint(GLenum target, GLenum mode) {
    if (!execute([=] { glHint(target, mode); })) {
        return;
    }
    const bool knownTarget = target == GL_PERSPECTIVE_CORRECTION_HINT ||
                             target == GL_POINT_SMOOTH_HINT || target == GL_LINE_SMOOTH_HINT ||
                             target == GL_POLYGON_SMOOTH_HINT || target == GL_FOG_HINT;
    if (!knownTarget || (mode != GL_FASTEST && mode != GL_NICEST && mode != GL_DONT_CARE)) {
        raise(GL_INVALID_ENUM);
    }
}

void glLineWidth(GLfloat width) {
    if (!execute([=] { glLineWidth(width); })) {
        return;
    }
    if (width <= 0) {
        raise(GL_INVALID_VALUE);
    } else {
        subset.gl.lineWidth = width;
    }
}

void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a) {
    if (execute([=] { glClearColor(r, g, b, a); })) {
        const float colour[4] = {r, g, b, a};
        for (int i = 0; i < 4; ++i) {
            subset.gl.clearColour[i] = std::min(1.0f, std::max(0.0f, colour[i]));
        }
    }
}

void glClearDepth(GLclampd depth) {
    if (execute([=] { glClearDepth(depth); })) {
        subset.gl.clearDepth = static_cast<float>(std::min(1.0, std::max(0.0, depth)));
    }
}

void glClear(GLbitfield mask) {
    if (!execute([=] { glClear(mask); })) {
        return;
    }
    if (mask & ~(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT |
                 GL_ACCUM_BUFFER_BIT)) {
        raise(GL_INVALID_VALUE);
        return;
    }
    webgl::clear(mask, subset.gl.clearColour,
                 subset.gl.clearDepth); // there is no accumulation buffer
}

} // extern "C"
