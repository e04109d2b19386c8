// The GL 1.1 state record of the subset and the start every command makes (errors, display-list
// recording, glBegin/glEnd rules). Shared by webgl.cpp, webgl_primitives.cpp and
// webgl_lists.cpp; nothing else includes it.
#pragma once

#include "platform/webgl/webgl_internal.h"

#include <GL/gl.h>

#include <cstddef>
#include <functional>
#include <map>
#include <utility>
#include <vector>

namespace webgl {

// Column-major: element (row r, column c) at m[r + 4 * c], as glMultMatrixf reads it.
struct Matrix {
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

inline Matrix operator*(const Matrix& a, const Matrix& b) {
    Matrix product;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) {
                sum += a.m[r + 4 * k] * b.m[k + 4 * c];
            }
            product.m[r + 4 * c] = sum;
        }
    }
    return product;
}

// out = a × (x, y, z, 1)
inline void transform(const Matrix& a, float x, float y, float z, float out[4]) {
    for (int r = 0; r < 4; ++r) {
        out[r] = a.m[r] * x + a.m[r + 4] * y + a.m[r + 8] * z + a.m[r + 12];
    }
}

using DisplayList = std::vector<std::function<void()>>;

constexpr size_t stackDepths[3] = {32, 32, 10}; // modelview, projection, texture (as Mesa)

struct State {
    bool live = false; // a WebGL context is attached
    GLenum error = GL_NO_ERROR;
    // Transformation
    GLenum matrixMode = GL_MODELVIEW;
    std::vector<Matrix> stacks[3] = {{Matrix{}}, {Matrix{}}, {Matrix{}}};
    int viewport[4] = {0, 0, 0, 0};
    // Current values and the raster position (window coordinates)
    float colour[4] = {1, 1, 1, 1};
    float raster[3] = {0, 0, 0};
    float rasterColour[4] = {1, 1, 1, 1};
    bool rasterValid = true;
    // Rasterisation and per-fragment operations
    GLenum shadeModel = GL_SMOOTH;
    float lineWidth = 1;
    bool depthTest = false;
    GLenum depthFunc = GL_LESS;
    float clearColour[4] = {0, 0, 0, 0};
    float clearDepth = 1;
    GLint unpackAlignment = 4; // GL_PACK_ALIGNMENT is accepted, but nothing is ever read back
    // Between glBegin and glEnd
    bool inBeginEnd = false;
    GLenum primitive = 0;
    Matrix vertexTransform;      // projection × modelview, fixed until glEnd
    std::vector<Vertex> pending; // vertices of the primitive not yet complete
    // Display lists
    std::map<GLuint, DisplayList> lists; // generated names, with empty lists until defined
    GLuint listBase = 0;
    GLuint compilingName = 0;
    GLenum compileMode = 0; // 0 when no glNewList is open
    DisplayList compiling;
    int playing = 0; // depth of display lists being executed
    // The attribute stack: the mask pushed and the GL_LIST_BIT group
    std::vector<std::pair<GLbitfield, GLuint>> attribStack;
};

// The subset's one record: GL 1.1's state, which each webGlAttach starts afresh (no display lists),
// and what outlives a context: the WebGL objects it draws with (made again on every attachment),
// the device pixels per window pixel (webgl.h, webGlSetDeviceScale) and why attaching last failed.
struct Subset {
    State gl;
    DrawResources gpu;
    float deviceScale[2] = {1, 1};
    std::string attachFailure;
};

// Defined in webgl.cpp; nothing reads it before main() runs.
extern Subset subset; // NOLINT(bugprone-dynamic-static-initializers)

// The viewport in the backing store's device pixels.
void deviceViewport(int viewport[4]);

// GL keeps the first error until glGetError reads it.
inline void raise(GLenum error) {
    if (subset.gl.error == GL_NO_ERROR) {
        subset.gl.error = error;
    }
}

// Start of a command GL does not compile into display lists: whether it runs now. Without a
// context nothing runs; between glBegin and glEnd GL refuses most commands.
inline bool executeUnlisted(bool allowedInBeginEnd = false) {
    if (!subset.gl.live) {
        return false;
    }
    if (subset.gl.inBeginEnd && !allowedInBeginEnd) {
        raise(GL_INVALID_OPERATION);
        return false;
    }
    return true;
}

// Start of a command GL compiles into display lists: while a list is open (and no list is being
// executed) `replay`, which repeats the call, is recorded into it; the command runs now unless
// the list's mode is GL_COMPILE.
template <class Replay> bool execute(Replay&& replay, bool allowedInBeginEnd = false) {
    if (subset.gl.live && subset.gl.compileMode != 0 && subset.gl.playing == 0) {
        subset.gl.compiling.emplace_back(std::forward<Replay>(replay));
        if (subset.gl.compileMode == GL_COMPILE) {
            return false;
        }
    }
    return executeUnlisted(allowedInBeginEnd);
}

inline Matrix projectionTimesModelview() {
    return subset.gl.stacks[1].back() * subset.gl.stacks[0].back();
}

inline FragmentState fragmentState() {
    return {subset.gl.depthTest, subset.gl.depthFunc};
}

} // namespace webgl
