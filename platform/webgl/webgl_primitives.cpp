// What the GL 1.1 subset draws: immediate mode and bitmaps, turned into triangles in clip
// coordinates for webgl_draw.cpp. glBegin/glEnd take GL_QUADS and GL_LINES (other modes:
// GL_INVALID_ENUM) with the current colour, normal and texture coordinate kept as GL keeps them,
// so a colour set once per face applies to all its vertices; flat or smooth shading; aliased
// lines of any width. glRasterPos2f is transformed by modelview, projection and viewport and is
// invalid outside the view volume; glBitmap draws the set bits in the raster colour at the
// raster position minus its origin, honouring GL_UNPACK_ALIGNMENT, and advances the position,
// all only while the position is valid. Not done: lighting (the normal is kept, nothing reads
// it), texturing (see glEnable in webgl.cpp), and bitmap pixels that fall outside the viewport
// but inside the canvas (WebGL clips them; GL would draw them).
#include "platform/webgl/webgl.h"
#include "platform/webgl/webgl_state.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

namespace webgl {
namespace {

// Window coordinates to normalised device coordinates; false for an empty viewport.
bool windowToDevice(float x, float y, float& deviceX, float& deviceY) {
    if (subset.gl.viewport[2] <= 0 || subset.gl.viewport[3] <= 0) {
        return false;
    }
    deviceX = (x - static_cast<float>(subset.gl.viewport[0])) * 2 /
                  static_cast<float>(subset.gl.viewport[2]) -
              1;
    deviceY = (y - static_cast<float>(subset.gl.viewport[1])) * 2 /
                  static_cast<float>(subset.gl.viewport[3]) -
              1;
    return true;
}

void drawQuad(const Vertex corners[4], bool bitmap = false) {
    const Vertex triangles[6] = {corners[0], corners[1], corners[2],
                                 corners[0], corners[2], corners[3]};
    drawTriangles(triangles, 6, fragmentState(), bitmap);
}

Vertex mix(const Vertex& a, const Vertex& b, float t) {
    Vertex mixed = a;
    for (int i = 0; i < 4; ++i) {
        mixed.position[i] += (b.position[i] - a.position[i]) * t;
        mixed.colour[i] += (b.colour[i] - a.colour[i]) * t;
    }
    return mixed;
}

void emitQuad() {
    Vertex* v = subset.gl.pending.data();
    if (subset.gl.shadeModel == GL_FLAT) { // the last vertex of a quad gives the colour
        for (int i = 0; i < 3; ++i) {
            std::copy(v[3].colour, v[3].colour + 4, v[i].colour);
        }
    }
    drawQuad(v);
}

// GL rasterises an aliased line of width w as, for each column an x-major line crosses, a span
// of w pixels centred on the line (for a y-major line: a span in each row). WebGL in Chromium
// draws only 1-pixel lines, so that parallelogram is drawn as two triangles, built in window
// coordinates after clipping the line at the near plane (the other planes clip the triangles).
void emitLine() {
    Vertex a = subset.gl.pending[0];
    Vertex b = subset.gl.pending[1];
    if (subset.gl.shadeModel == GL_FLAT) { // the second vertex of a line gives the colour
        std::copy(b.colour, b.colour + 4, a.colour);
    }
    const float nearA = a.position[2] + a.position[3]; // z >= -w in front of the near plane
    const float nearB = b.position[2] + b.position[3];
    if (nearA < 0 && nearB < 0) {
        return;
    }
    if (nearA < 0) {
        a = mix(a, b, nearA / (nearA - nearB));
    } else if (nearB < 0) {
        b = mix(b, a, nearB / (nearB - nearA));
    }
    if (a.position[3] <= 0 || b.position[3] <= 0 || subset.gl.viewport[2] <= 0 ||
        subset.gl.viewport[3] <= 0) {
        return;
    }
    float deviceA[3], deviceB[3];
    for (int i = 0; i < 3; ++i) {
        deviceA[i] = a.position[i] / a.position[3];
        deviceB[i] = b.position[i] / b.position[3];
    }
    const float halfWidth = static_cast<float>(subset.gl.viewport[2]) / 2; // pixels per device unit
    const float halfHeight = static_cast<float>(subset.gl.viewport[3]) / 2;
    const float dx = (deviceB[0] - deviceA[0]) * halfWidth;
    const float dy = (deviceB[1] - deviceA[1]) * halfHeight;
    const float width = std::max(1.0f, std::round(subset.gl.lineWidth));
    const bool xMajor = std::fabs(dx) >= std::fabs(dy);
    const float offsetX = xMajor ? 0 : width / 2 / halfWidth; // in device coordinates
    const float offsetY = xMajor ? width / 2 / halfHeight : 0;
    const Vertex* ends[4] = {&a, &b, &b, &a};
    const float* deviceEnds[4] = {deviceA, deviceB, deviceB, deviceA};
    Vertex corners[4];
    for (int i = 0; i < 4; ++i) {
        const float side = i < 2 ? -1.0f : 1.0f;
        corners[i] = {{deviceEnds[i][0] + side * offsetX, deviceEnds[i][1] + side * offsetY,
                       deviceEnds[i][2], 1},
                      {},
                      {0, 0}};
        std::copy(ends[i]->colour, ends[i]->colour + 4, corners[i].colour);
    }
    drawQuad(corners);
}

// Unpacks a bitmap as glBitmap reads it: rows bottom-up, most significant bit first, each row
// starting on a multiple of GL_UNPACK_ALIGNMENT bytes.
std::shared_ptr<BitmapImage> unpackBitmap(GLsizei width, GLsizei height, const GLubyte* bits,
                                          GLint alignment) {
    auto image = std::make_shared<BitmapImage>();
    if (bits == nullptr || width == 0 || height == 0) {
        return image; // draws nothing; the raster position still advances
    }
    const int rowBytes = (width + 7) / 8;
    const int stride = (rowBytes + alignment - 1) / alignment * alignment;
    image->width = width;
    image->height = height;
    image->pixels.resize(static_cast<size_t>(width * height));
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const bool set = (bits[row * stride + column / 8] >> (7 - column % 8)) & 1;
            image->pixels[static_cast<size_t>(row * width + column)] = set ? 255 : 0;
        }
    }
    return image;
}

// The bitmap's quad between the clip-space corners (x0, y0) and (x1, y1), at the raster position's
// depth and colour, with the atlas corners (s0, t0) and (s1, t1).
void drawAtRaster(float x0, float y0, float x1, float y1, float s0, float t0, float s1, float t1) {
    const float z = subset.gl.raster[2] * 2 - 1;
    const float* c = subset.gl.rasterColour;
    const Vertex corners[4] = {{{x0, y0, z, 1}, {c[0], c[1], c[2], c[3]}, {s0, t0}},
                               {{x1, y0, z, 1}, {c[0], c[1], c[2], c[3]}, {s1, t0}},
                               {{x1, y1, z, 1}, {c[0], c[1], c[2], c[3]}, {s1, t1}},
                               {{x0, y1, z, 1}, {c[0], c[1], c[2], c[3]}, {s0, t1}}};
    drawQuad(corners, true);
}

// glBitmap with its image already unpacked (as a display list keeps it).
void bitmap(const std::shared_ptr<BitmapImage>& image, float xOrigin, float yOrigin, float xMove,
            float yMove) {
    if (!execute([=] { bitmap(image, xOrigin, yOrigin, xMove, yMove); }) ||
        !subset.gl.rasterValid) {
        return;
    }
    const float left = std::floor(subset.gl.raster[0] - xOrigin);
    const float bottom = std::floor(subset.gl.raster[1] - yOrigin);
    float x0, y0, x1, y1, s0, t0, s1, t1;
    if (image->width > 0 && windowToDevice(left, bottom, x0, y0) &&
        windowToDevice(left + static_cast<float>(image->width),
                       bottom + static_cast<float>(image->height), x1, y1) &&
        placeBitmap(*image, s0, t0, s1, t1)) {
        drawAtRaster(x0, y0, x1, y1, s0, t0, s1, t1);
    }
    subset.gl.raster[0] += xMove;
    subset.gl.raster[1] += yMove;
}

// A glyph with the image last made for it and the scale it was made for.
struct Glyph {
    WebGlGlyphRasteriser rasterise;
    float scale = 0; // none made yet
    std::shared_ptr<BitmapImage> image;
    float xOrigin = 0;
    float yOrigin = 0;
    float xMove = 0;
    float yMove = 0;
};

void glyph(const std::shared_ptr<Glyph>& glyph) {
    if (!execute([=] { webgl::glyph(glyph); }) || !subset.gl.rasterValid) {
        return;
    }
    if (glyph->scale != subset.deviceScale[1]) {
        WebGlGlyphImage made;
        glyph->rasterise(subset.deviceScale[1], made);
        const bool whole =
            made.width > 0 && made.height > 0 &&
            made.bits.size() >= static_cast<size_t>((made.width + 7) / 8 * made.height);
        glyph->image = whole ? unpackBitmap(made.width, made.height, made.bits.data(), 1)
                             : std::make_shared<BitmapImage>();
        glyph->xOrigin = made.xOrigin;
        glyph->yOrigin = made.yOrigin;
        glyph->xMove = made.xMove;
        glyph->yMove = made.yMove;
        glyph->scale = subset.deviceScale[1];
    }
    const BitmapImage& image = *glyph->image;
    int device[4];
    deviceViewport(device);
    float s0, t0, s1, t1;
    if (image.width > 0 && subset.gl.viewport[2] > 0 && subset.gl.viewport[3] > 0 &&
        device[2] > 0 && device[3] > 0 && placeBitmap(*glyph->image, s0, t0, s1, t1)) {
        // The raster position in device pixels; the image sits on whole device pixels from it.
        const auto toDevice = [&](int axis) {
            return static_cast<float>(device[axis]) +
                   (subset.gl.raster[axis] - static_cast<float>(subset.gl.viewport[axis])) *
                       static_cast<float>(device[axis + 2]) /
                       static_cast<float>(subset.gl.viewport[axis + 2]);
        };
        const float left = std::floor(toDevice(0) - glyph->xOrigin);
        const float bottom = std::floor(toDevice(1) - glyph->yOrigin);
        const auto ndc = [&](float value, int axis) {
            return (value - static_cast<float>(device[axis])) * 2 /
                       static_cast<float>(device[axis + 2]) -
                   1;
        };
        const float x0 = ndc(left, 0);
        const float y0 = ndc(bottom, 1);
        const float x1 = ndc(left + static_cast<float>(image.width), 0);
        const float y1 = ndc(bottom + static_cast<float>(image.height), 1);
        drawAtRaster(x0, y0, x1, y1, s0, t0, s1, t1);
    }
    subset.gl.raster[0] += glyph->xMove;
    subset.gl.raster[1] += glyph->yMove;
}

} // namespace
} // namespace webgl

using namespace webgl;

extern "C" {

void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    if (execute([=] { glColor4f(r, g, b, a); }, true)) {
        const float colour[4] = {r, g, b, a};
        std::copy(colour, colour + 4, subset.gl.colour);
    }
}

void glColor3f(GLfloat r, GLfloat g, GLfloat b) {
    glColor4f(r, g, b, 1);
}

// Without lighting or texturing the current normal and texture coordinates change nothing that is
// drawn, so they are accepted (and listed) but not kept.
void glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    execute([=] { glNormal3f(x, y, z); }, true);
}

void glTexCoord2f(GLfloat s, GLfloat t) {
    execute([=] { glTexCoord2f(s, t); }, true);
}

void glBegin(GLenum mode) {
    if (!execute([=] { glBegin(mode); })) {
        return;
    }
    if (mode != GL_QUADS && mode != GL_LINES) {
        raise(GL_INVALID_ENUM);
        return;
    }
    subset.gl.inBeginEnd = true;
    subset.gl.primitive = mode;
    subset.gl.pending.clear();
    subset.gl.vertexTransform = projectionTimesModelview();
}

void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    if (!execute([=] { glVertex3f(x, y, z); }, true) || !subset.gl.inBeginEnd) {
        return; // outside glBegin/glEnd a vertex does nothing
    }
    Vertex vertex{{}, {}, {0, 0}};
    transform(subset.gl.vertexTransform, x, y, z, vertex.position);
    std::copy(subset.gl.colour, subset.gl.colour + 4, vertex.colour);
    subset.gl.pending.push_back(vertex);
    if (subset.gl.primitive == GL_QUADS && subset.gl.pending.size() == 4) {
        emitQuad();
        subset.gl.pending.clear();
    } else if (subset.gl.primitive == GL_LINES && subset.gl.pending.size() == 2) {
        emitLine();
        subset.gl.pending.clear();
    }
}

void glEnd() {
    if (!execute([] { glEnd(); }, true)) {
        return;
    }
    if (!subset.gl.inBeginEnd) {
        raise(GL_INVALID_OPERATION);
        return;
    }
    subset.gl.inBeginEnd = false; // an incomplete last primitive is dropped, as GL does
    subset.gl.pending.clear();
}

void glRasterPos2f(GLfloat x, GLfloat y) {
    if (!execute([=] { glRasterPos2f(x, y); })) {
        return;
    }
    float clip[4];
    transform(projectionTimesModelview(), x, y, 0, clip);
    const float w = clip[3];
    subset.gl.rasterValid =
        w > 0 && std::fabs(clip[0]) <= w && std::fabs(clip[1]) <= w && std::fabs(clip[2]) <= w;
    std::copy(subset.gl.colour, subset.gl.colour + 4, subset.gl.rasterColour);
    if (subset.gl.rasterValid) {
        const auto* v = subset.gl.viewport;
        subset.gl.raster[0] =
            static_cast<float>(v[0]) + (clip[0] / w + 1) * static_cast<float>(v[2]) / 2;
        subset.gl.raster[1] =
            static_cast<float>(v[1]) + (clip[1] / w + 1) * static_cast<float>(v[3]) / 2;
        subset.gl.raster[2] = (clip[2] / w + 1) / 2;
    }
}

void glBitmap(GLsizei width, GLsizei height, GLfloat xOrigin, GLfloat yOrigin, GLfloat xMove,
              GLfloat yMove, const GLubyte* bits) {
    if (!subset.gl.live) {
        return;
    }
    if (width < 0 || height < 0) {
        raise(GL_INVALID_VALUE);
        return;
    }
    bitmap(unpackBitmap(width, height, bits, subset.gl.unpackAlignment), xOrigin, yOrigin, xMove,
           yMove);
}

} // extern "C"

void webGlGlyph(WebGlGlyphRasteriser rasterise) {
    if (!subset.gl.live) {
        return;
    }
    auto made = std::make_shared<webgl::Glyph>();
    made->rasterise = std::move(rasterise);
    webgl::glyph(made);
}
