// The WebGL 1 side of the GL 1.1 subset. Two shader programs draw triangles given in clip
// coordinates with a colour per vertex: one for geometry, one for bitmaps, which reads the
// glBitmap image from an alpha texture atlas and discards the unset pixels (kept apart so that
// the geometry's depth test can run before its fragments are shaded). The triangles collect in a
// batch, drawn in as few calls as changes of program and depth test allow, when the frame is
// presented, before a clear and before a viewport change. Not used from WebGL: its lines (1 pixel
// wide in Chromium; wide lines arrive here as triangles), texturing of the program's geometry,
// blending, lighting.
#include "platform/webgl/webgl_internal.h"

#include <webgl/webgl1.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace webgl {

namespace {

constexpr int atlasWidth = 1024; // room for the captions' glyphs at device scale 3
constexpr int atlasHeight = 1024;

enum Attribute : std::uint8_t { positionAttribute, colourAttribute, bitmapAttribute };

const char* const vertexSource = R"(
attribute vec4 position;
attribute vec4 colour;
attribute vec2 bitmapCoord;
varying vec4 fragmentColour;
varying vec2 fragmentBitmap;
void main() {
    gl_Position = position;
    fragmentColour = colour;
    fragmentBitmap = bitmapCoord;
})";

const char* const geometrySource = R"(
precision mediump float;
varying vec4 fragmentColour;
void main() {
    gl_FragColor = fragmentColour;
})";

const char* const bitmapSource = R"(
#ifdef GL_FRAGMENT_PRECISION_HIGH
precision highp float;
#else
precision mediump float;
#endif
uniform sampler2D bitmaps;
varying vec4 fragmentColour;
varying vec2 fragmentBitmap;
void main() {
    if (texture2D(bitmaps, fragmentBitmap).a < 0.5) {
        discard;
    }
    gl_FragColor = fragmentColour;
})";

std::string infoLog(GLuint object, bool isProgram) {
    const auto getParameter = isProgram ? emscripten_glGetProgramiv : emscripten_glGetShaderiv;
    const auto getLog = isProgram ? emscripten_glGetProgramInfoLog : emscripten_glGetShaderInfoLog;
    GLint length = 0;
    getParameter(object, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<size_t>(std::max(length, 1)), '\0');
    getLog(object, length, &length, log.data());
    log.resize(static_cast<size_t>(std::max(length, 0)));
    return log;
}

GLuint compileShader(GLenum type, const char* source) {
    const GLuint shader = emscripten_glCreateShader(type);
    if (shader != 0) {
        emscripten_glShaderSource(shader, 1, &source, nullptr);
        emscripten_glCompileShader(shader);
    }
    return shader;
}

// Why a program did not link: a shader's compile log if one failed, else the link log.
std::string linkFailure(GLuint program, GLuint vertex, GLuint fragment) {
    for (const GLuint shader : {vertex, fragment}) {
        GLint compiled = GL_FALSE;
        emscripten_glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
        if (compiled != GL_TRUE) {
            return (shader == vertex ? "vertex shader: " : "fragment shader: ") +
                   infoLog(shader, false);
        }
    }
    return "shader program: " + infoLog(program, true);
}

// Both programs are compiled and linked before any is asked how it went: each question waits for
// the browser's GPU process, so asking once, at the end, keeps start-up to one wait, and a shader's
// own status is read only when its program failed.
bool linkPrograms(const char* const* fragmentSources, GLuint* programs, int count,
                  std::string& failure) {
    std::vector<GLuint> shaders;
    for (int i = 0; i < count; ++i) {
        const GLuint vertex = compileShader(GL_VERTEX_SHADER, vertexSource);
        const GLuint fragment = compileShader(GL_FRAGMENT_SHADER, fragmentSources[i]);
        programs[i] = vertex && fragment ? emscripten_glCreateProgram() : 0;
        shaders.push_back(vertex);
        shaders.push_back(fragment);
        if (programs[i] == 0) {
            continue;
        }
        emscripten_glAttachShader(programs[i], vertex);
        emscripten_glAttachShader(programs[i], fragment);
        emscripten_glBindAttribLocation(programs[i], positionAttribute, "position");
        emscripten_glBindAttribLocation(programs[i], colourAttribute, "colour");
        emscripten_glBindAttribLocation(programs[i], bitmapAttribute, "bitmapCoord");
        emscripten_glLinkProgram(programs[i]);
    }
    bool allLinked = true;
    for (int i = 0; i < count && allLinked; ++i) {
        GLint linked = GL_FALSE;
        if (programs[i] == 0) {
            failure = "WebGL could not create a shader (context lost?)";
        } else {
            emscripten_glGetProgramiv(programs[i], GL_LINK_STATUS, &linked);
            if (linked != GL_TRUE) {
                failure = linkFailure(programs[i], shaders[2 * i], shaders[2 * i + 1]);
            }
        }
        allLinked = linked == GL_TRUE;
    }
    for (const GLuint shader : shaders) {
        emscripten_glDeleteShader(shader); // a no-op for 0; attached ones live on with the program
    }
    if (!allLinked) {
        for (int i = 0; i < count; ++i) {
            emscripten_glDeleteProgram(programs[i]);
            programs[i] = 0;
        }
    }
    return allLinked;
}

void bindAttribute(Attribute attribute, GLint size, size_t offset) {
    emscripten_glEnableVertexAttribArray(attribute);
    emscripten_glVertexAttribPointer(attribute, size, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                                     reinterpret_cast<const void*>(offset));
}

void resetAtlas() {
    ++gpu().atlasGeneration; // every image must be uploaded again
    gpu().shelfX = gpu().shelfY = gpu().shelfHeight = 0;
}

} // namespace

bool attachDraw(std::string& failure) {
    failure.clear();
    while (emscripten_glGetError() != GL_NO_ERROR) {
        // errors left from earlier use of the context are not this attach's
    }
    const char* const fragmentSources[] = {geometrySource, bitmapSource};
    GLuint programs[2] = {0, 0};
    linkPrograms(fragmentSources, programs, 2, failure);
    gpu().geometryProgram = programs[0];
    gpu().bitmapProgram = programs[1];
    if (gpu().bitmapProgram == 0) {
        detachDraw();
        return false;
    }
    emscripten_glGenBuffers(1, &gpu().buffer);
    emscripten_glGenTextures(1, &gpu().atlas);
    emscripten_glActiveTexture(GL_TEXTURE0);
    emscripten_glBindTexture(GL_TEXTURE_2D, gpu().atlas);
    emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    emscripten_glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    emscripten_glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA, atlasWidth, atlasHeight, 0, GL_ALPHA,
                            GL_UNSIGNED_BYTE, nullptr);
    emscripten_glUseProgram(gpu().bitmapProgram);
    emscripten_glUniform1i(emscripten_glGetUniformLocation(gpu().bitmapProgram, "bitmaps"), 0);
    gpu().batch.clear();
    gpu().runs.clear();
    resetAtlas();
    if (emscripten_glGetError() != GL_NO_ERROR) {
        failure = "WebGL refused to create the buffers";
        detachDraw();
        return false;
    }
    return true;
}

void detachDraw() {
    emscripten_glDeleteProgram(gpu().geometryProgram); // deleting 0 does nothing
    emscripten_glDeleteProgram(gpu().bitmapProgram);
    emscripten_glDeleteBuffers(1, &gpu().buffer);
    emscripten_glDeleteTextures(1, &gpu().atlas);
    gpu().geometryProgram = gpu().bitmapProgram = gpu().buffer = gpu().atlas = 0;
    gpu().batch.clear();
    gpu().runs.clear();
}

void loseDraw() {
    gpu().geometryProgram = gpu().bitmapProgram = gpu().buffer = gpu().atlas = 0;
    gpu().batch.clear();
    gpu().runs.clear();
}

void drawTriangles(const Vertex* vertices, int count, FragmentState state, bool bitmap) {
    if (gpu().bitmapProgram == 0 || count <= 0) {
        return;
    }
    if (gpu().runs.empty() || !(gpu().runs.back().state == state) ||
        gpu().runs.back().bitmap != bitmap) {
        gpu().runs.push_back({static_cast<int>(gpu().batch.size()), 0, state, bitmap});
    }
    gpu().runs.back().count += count;
    gpu().batch.insert(gpu().batch.end(), vertices, vertices + count);
}

void flush() {
    if (gpu().batch.empty()) {
        return;
    }
    emscripten_glActiveTexture(GL_TEXTURE0);
    emscripten_glBindTexture(GL_TEXTURE_2D, gpu().atlas);
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, gpu().buffer);
    emscripten_glBufferData(GL_ARRAY_BUFFER,
                            static_cast<GLsizeiptr>(gpu().batch.size() * sizeof(Vertex)),
                            gpu().batch.data(), GL_STREAM_DRAW);
    bindAttribute(positionAttribute, 4, offsetof(Vertex, position));
    bindAttribute(colourAttribute, 4, offsetof(Vertex, colour));
    bindAttribute(bitmapAttribute, 2, offsetof(Vertex, bitmap));
    for (const Run& run : gpu().runs) {
        emscripten_glUseProgram(run.bitmap ? gpu().bitmapProgram : gpu().geometryProgram);
        if (run.state.depthTest) {
            emscripten_glEnable(GL_DEPTH_TEST);
            emscripten_glDepthFunc(run.state.depthFunc);
        } else {
            emscripten_glDisable(GL_DEPTH_TEST);
        }
        emscripten_glDrawArrays(GL_TRIANGLES, run.first, run.count);
    }
    gpu().batch.clear();
    gpu().runs.clear();
}

bool placeBitmap(BitmapImage& image, float& s0, float& t0, float& s1, float& t1) {
    if (gpu().bitmapProgram == 0 || image.width > atlasWidth || image.height > atlasHeight) {
        return false;
    }
    if (image.atlasGeneration != gpu().atlasGeneration) {
        if (gpu().shelfX + image.width > atlasWidth) { // next shelf, one pixel apart
            gpu().shelfX = 0;
            gpu().shelfY += gpu().shelfHeight + 1;
            gpu().shelfHeight = 0;
        }
        if (gpu().shelfY + image.height > atlasHeight) { // full: draw what uses it, then start over
            flush();
            resetAtlas();
        }
        emscripten_glActiveTexture(GL_TEXTURE0);
        emscripten_glBindTexture(GL_TEXTURE_2D, gpu().atlas);
        emscripten_glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        emscripten_glTexSubImage2D(GL_TEXTURE_2D, 0, gpu().shelfX, gpu().shelfY, image.width,
                                   image.height, GL_ALPHA, GL_UNSIGNED_BYTE, image.pixels.data());
        image.atlasGeneration = gpu().atlasGeneration;
        image.atlasX = gpu().shelfX;
        image.atlasY = gpu().shelfY;
        gpu().shelfX += image.width + 1;
        gpu().shelfHeight = std::max(gpu().shelfHeight, image.height);
    }
    s0 = static_cast<float>(image.atlasX) / atlasWidth;
    t0 = static_cast<float>(image.atlasY) / atlasHeight;
    s1 = static_cast<float>(image.atlasX + image.width) / atlasWidth;
    t1 = static_cast<float>(image.atlasY + image.height) / atlasHeight;
    return true;
}

void clear(unsigned mask, const float colour[4], float depth) {
    flush();
    if (gpu().bitmapProgram == 0) {
        return; // no context to clear
    }
    emscripten_glClearColor(colour[0], colour[1], colour[2], colour[3]);
    emscripten_glClearDepthf(depth);
    emscripten_glClear(mask & (GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT));
}

void setViewport(int x, int y, int width, int height) {
    flush();
    if (gpu().bitmapProgram == 0) {
        return;
    }
    emscripten_glViewport(x, y, width, height);
}

void canvasViewport(int viewport[4]) {
    emscripten_glGetIntegerv(GL_VIEWPORT, viewport);
}

} // namespace webgl
