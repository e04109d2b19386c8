// Fonts: the layer's part of CreateFontA and wglUseFontBitmapsA over the browser's own text
// drawing (Canvas 2D), as GDI draws them on Windows: each glyph is drawn into a small canvas, its
// coverage cut at half into a one-bit image, and drawn as glBitmap draws, with the font's advance.
// wglUseFontBitmapsA only records the glyphs; a glyph is measured and drawn when its list is first
// drawn, at the size the canvas' device pixels call for (webgl.h, webGlGlyph), so captions stay
// sharp on high-density screens and keep their places, and only the glyphs the captions use are
// ever measured (a glyph's first measure, its shaping, is most of its cost). The face is the one
// asked for, then Liberation Mono (the face "Courier New" resolves to on Linux, with the same
// metrics), then the browser's monospace. Outline text is not offered.
#include "platform/web/web_internal.h"

#include "platform/webgl/webgl.h"

#include <emscripten/emscripten.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace {

using webplatform::layer;

constexpr int glyphBox = 64;   // pixels at scale 1; far more than a caption glyph needs
constexpr int glyphWidth = 32; // the widest glyph kept, at scale 1

// The glyph box and width at a device scale: at 1 those above.
int scaledBox(float scale) {
    return static_cast<int>(std::ceil(glyphBox * scale));
}
int scaledWidth(float scale) {
    return std::max(1, static_cast<int>(std::lround(glyphWidth * scale)));
}

// The page's one canvas for drawing glyphs, at least `box` pixels square, or null when the page
// cannot draw text at all.
EM_JS(bool, glyphCanvasReady, (int box), {
    if (!Module.layer.glyphContext || Module.layer.glyphContext.canvas.width < box) {
        const canvas = document.createElement('canvas');
        canvas.width = box;
        canvas.height = box;
        Module.layer.glyphContext = canvas.getContext('2d', {willReadFrequently : true});
    }
    return !!Module.layer.glyphContext;
});

// The size (CSS pixels) at which the face draws `height`: a positive height is the cell (ascent +
// descent), as Windows reads it; a negative one the em size. Needs glyphCanvasReady.
EM_JS(double, glyphFaceSize, (const char* style, const char* families, int height), {
    if (height < 0) {
        return -height;
    }
    const context = Module.layer.glyphContext;
    context.font = UTF8ToString(style) + '100px ' + UTF8ToString(families);
    const probe = context.measureText('M');
    return (height > 0 ? height : 16) * 100 /
           (probe.fontBoundingBoxAscent + probe.fontBoundingBoxDescent);
});

// Fills `rows` (box rows of rowBytes, bottom row first, most significant bit leftmost) and
// `metrics` (width, height, x origin, y origin, advance) with the glyph of `code` drawn at `size`
// times `scale` (box, width and rowBytes from the functions above). The advance is the one at
// `size`, rounded to window pixels as GDI gives it, so that text keeps its places at any scale.
// Needs glyphCanvasReady(box).
EM_JS(void, rasteriseGlyph,
      (int code, const char* style, const char* families, double size, double scale, int box,
       int maxWidth, int rowBytes, unsigned char* rows, int* metrics),
      {
          const context = Module.layer.glyphContext;
          const text = String.fromCodePoint(code);
          const fontStyle = UTF8ToString(style);
          const fontFamilies = 'px ' + UTF8ToString(families);
          context.font = fontStyle + size + fontFamilies;
          let measured = context.measureText(text);
          const advance = Math.round(measured.width);
          if (scale != 1) {
              context.font = fontStyle + size * scale + fontFamilies;
              measured = context.measureText(text);
          }
          const originX = Math.round(8 * scale);
          const baseline = originX + Math.ceil(measured.fontBoundingBoxAscent);
          context.clearRect(0, 0, box, box);
          context.fillStyle = '#000';
          context.textBaseline = 'alphabetic';
          context.fillText(text, originX, baseline);
          // Only the glyph's own box (and a pixel around it for the edges' coverage) is read and
          // scanned: a caption glyph is a tenth of the canvas, and all of them are drawn on the
          // way to the first frame.
          const bounded = typeof measured.actualBoundingBoxRight == 'number';
          const x0 =
              bounded ? Math.max(0, Math.floor(originX - measured.actualBoundingBoxLeft) - 1) : 0;
          const y0 = bounded
                         ? Math.max(0, Math.floor(baseline - measured.actualBoundingBoxAscent) - 1)
                         : 0;
          const across =
              bounded ? Math.min(box, Math.ceil(originX + measured.actualBoundingBoxRight) + 2) - x0
                      : box;
          const down =
              bounded
                  ? Math.min(box, Math.ceil(baseline + measured.actualBoundingBoxDescent) + 2) - y0
                  : box;
          // One word a pixel, alpha in the top byte (the browser's byte order is little-endian
          // wherever WebAssembly runs).
          const pixels =
              across > 0 && down > 0
                  ? new Uint32Array(context.getImageData(x0, y0, across, down).data.buffer)
                  : new Uint32Array(0);
          const covered = 128 << 24 >>> 0;
          let left = box, right = -1, top = box, bottom = -1;
          for (let y = 0; y < down && across > 0; ++y) {
              for (let x = 0; x < across; ++x) {
                  if (pixels[y * across + x] >= covered) {
                      left = Math.min(left, x0 + x);
                      right = Math.max(right, x0 + x);
                      top = Math.min(top, y0 + y);
                      bottom = Math.max(bottom, y0 + y);
                  }
              }
          }
          const width = right < 0 ? 0 : Math.min(right - left + 1, maxWidth);
          const rowsHigh = right < 0 ? 0 : bottom - top + 1;
          HEAPU8.fill(0, rows, rows + box * rowBytes);
          for (let row = 0; row < rowsHigh; ++row) {
              const y = bottom - row; // bottom row first
              for (let x = 0; x < width; ++x) {
                  if (pixels[(y - y0) * across + left - x0 + x] >= covered) {
                      HEAPU8[rows + row * rowBytes + (x >> 3)] |= 0x80 >> (x & 7);
                  }
              }
          }
          HEAP32[(metrics >> 2) + 0] = width > 0 ? maxWidth : 0;
          HEAP32[(metrics >> 2) + 1] = rowsHigh;
          HEAP32[(metrics >> 2) + 2] = width > 0 ? originX - left : 0;
          HEAP32[(metrics >> 2) + 3] = rowsHigh > 0 ? bottom + 1 - baseline : 0;
          HEAP32[(metrics >> 2) + 4] = advance;
      });

// The face a font asks for, then Liberation Mono, then the browser's monospace, in CSS.
std::string familiesFor(const std::string& faceName) {
    std::string face = faceName;
    face.erase(std::remove(face.begin(), face.end(), '"'), face.end());
    return (face.empty() ? std::string() : "\"" + face + "\", ") + "\"Liberation Mono\", monospace";
}

// The glyph of `code` at a device scale into `image`; an empty image when text cannot be drawn.
void rasterise(const webplatform::GlyphFace& face, int code, float scale, WebGlGlyphImage& image) {
    const int box = scaledBox(scale);
    const int maxWidth = scaledWidth(scale);
    const int rowBytes = (maxWidth + 7) / 8;
    image = WebGlGlyphImage{};
    if (!glyphCanvasReady(box)) {
        return;
    }
    std::vector<unsigned char> rows(static_cast<size_t>(box * rowBytes));
    int metrics[5] = {0, 0, 0, 0, 0};
    rasteriseGlyph(code, face.style.c_str(), face.families.c_str(), face.size, scale, box, maxWidth,
                   rowBytes, rows.data(), metrics);
    image.width = metrics[0];
    image.height = metrics[1];
    image.xOrigin = static_cast<float>(metrics[2]);
    image.yOrigin = static_cast<float>(metrics[3]);
    image.xMove = static_cast<float>(metrics[4]);
    rows.resize(static_cast<size_t>(metrics[1] * rowBytes));
    image.bits = std::move(rows);
}

} // namespace

using namespace webplatform;

win32common::FontRecord* win32common::recordOf(HFONT font) {
    return font;
}

HFONT win32common::makeFont(DWORD /*pitchAndFamily*/) {
    return new HFONT__;
}

void win32common::freeFont(HFONT font) {
    delete font;
}

bool win32common::beginGlyphs(HFONT font) {
    // Whether text can be drawn at all is known here, once; the glyphs themselves are drawn only
    // when their lists are first drawn, at the device scale of that frame, so that none of it
    // delays the first frame and no glyph is drawn that the captions never use.
    if (!glyphCanvasReady(scaledBox(1.0f))) {
        setFailureReason("the browser cannot draw text (no 2D canvas)");
        return false;
    }
    auto face = std::make_shared<GlyphFace>();
    face->style = std::string(font->italic ? "italic " : "") + (font->weight >= 600 ? "bold " : "");
    face->families = familiesFor(font->faceName);
    face->size = glyphFaceSize(face->style.c_str(), face->families.c_str(), font->height);
    layer().glyphFace = std::move(face);
    return true;
}

bool win32common::compileGlyph(HFONT /*font*/, unsigned int character, DWORD list) {
    const std::shared_ptr<const GlyphFace> face = layer().glyphFace;
    const int code = static_cast<int>(character);
    glNewList(list, GL_COMPILE);
    webGlGlyph([face, code](float scale, WebGlGlyphImage& image) {
        rasterise(*face, code, scale, image);
    });
    glEndList();
    return true;
}

void win32common::endGlyphs() {
    layer().glyphFace.reset();
}
