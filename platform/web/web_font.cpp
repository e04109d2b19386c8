// Fonts: the layer's part of CreateFontA and wglUseFontBitmapsA over the browser's own text
// drawing (Canvas 2D), as GDI draws them on Windows: each glyph is drawn into a small canvas, its
// coverage cut at half into a one-bit image, and compiled into a display list that draws it as
// glBitmap does, with the font's advance. The list draws it again at the size the canvas' device
// pixels call for (webgl.h, webGlGlyph), so captions stay sharp on high-density screens and keep
// their places. The face is the one asked for, then Liberation Mono (the face "Courier New"
// resolves to on Linux, with the same metrics), then the browser's monospace. Outline text is not
// offered.
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

// Fills `rows` (box rows of rowBytes, bottom row first, most significant bit leftmost) and
// `metrics` (width, height, x origin, y origin, advance) with the glyph of `code`, a Unicode code
// point, drawn `scale` times the font's size (box, width and rowBytes from the functions above).
// The advance is always the one at scale 1, so that text keeps its places at any scale. A
// positive height is the cell (ascent + descent), as Windows reads it; a negative one the em size.
// Returns false when the page cannot draw text at all.
EM_JS(bool, rasteriseGlyph,
      (int code, const char* faceName, int weight, bool italic, int height, double scale, int box,
       int maxWidth, int rowBytes, unsigned char* rows, int* metrics),
      {
          if (!Module.glyphContext || Module.glyphContext.canvas.width < box) {
              const canvas = document.createElement('canvas');
              canvas.width = box;
              canvas.height = box;
              Module.glyphContext = canvas.getContext('2d', {willReadFrequently : true});
          }
          const context = Module.glyphContext;
          if (!context) {
              return false;
          }
          const quote = String.fromCharCode(34);
          const face = UTF8ToString(faceName).split(quote).join(String());
          const families = (face ? quote + face + quote + ', ' : String()) + quote +
                           'Liberation Mono' + quote + ', monospace';
          const style = (italic ? 'italic ' : String()) + (weight >= 600 ? 'bold ' : String());
          context.font = style + '100px ' + families;
          const probe = context.measureText('M');
          const cell = probe.fontBoundingBoxAscent + probe.fontBoundingBoxDescent;
          const em = height < 0 ? -height : (height > 0 ? height : 16) * 100 / cell;
          const text = String.fromCodePoint(code);
          context.font = style + em + 'px ' + families;
          const advance = Math.round(context.measureText(text).width);
          if (scale != 1) {
              context.font = style + em * scale + 'px ' + families;
          }
          const measured = context.measureText(text);
          const originX = Math.round(8 * scale);
          const baseline = originX + Math.ceil(measured.fontBoundingBoxAscent);
          context.clearRect(0, 0, box, box);
          context.fillStyle = '#000';
          context.textBaseline = 'alphabetic';
          context.fillText(text, originX, baseline);
          const pixels = context.getImageData(0, 0, box, box).data;
          let left = box, right = -1, top = box, bottom = -1;
          for (let y = 0; y < box; ++y) {
              for (let x = 0; x < box; ++x) {
                  if (pixels[(y * box + x) * 4 + 3] >= 128) {
                      left = Math.min(left, x);
                      right = Math.max(right, x);
                      top = Math.min(top, y);
                      bottom = Math.max(bottom, y);
                  }
              }
          }
          const width = right < 0 ? 0 : Math.min(right - left + 1, maxWidth);
          const rowsHigh = right < 0 ? 0 : bottom - top + 1;
          HEAPU8.fill(0, rows, rows + box * rowBytes);
          for (let row = 0; row < rowsHigh; ++row) {
              const y = bottom - row; // bottom row first
              for (let x = 0; x < width; ++x) {
                  if (pixels[(y * box + left + x) * 4 + 3] >= 128) {
                      HEAPU8[rows + row * rowBytes + (x >> 3)] |= 0x80 >> (x & 7);
                  }
              }
          }
          HEAP32[(metrics >> 2) + 0] = width > 0 ? maxWidth : 0;
          HEAP32[(metrics >> 2) + 1] = rowsHigh;
          HEAP32[(metrics >> 2) + 2] = width > 0 ? originX - left : 0;
          HEAP32[(metrics >> 2) + 3] = rowsHigh > 0 ? bottom + 1 - baseline : 0;
          HEAP32[(metrics >> 2) + 4] = advance;
          return true;
      });

// What a glyph is drawn from: the font's request and the character.
struct GlyphRequest {
    int code;
    std::string faceName;
    int weight;
    bool italic;
    int height;
};

// The glyph's image at a scale into `image`, its advance (window pixels) into `advance`.
bool rasterise(const GlyphRequest& request, float scale, WebGlGlyphImage& image, int& advance) {
    const int box = scaledBox(scale);
    const int maxWidth = scaledWidth(scale);
    const int rowBytes = (maxWidth + 7) / 8;
    std::vector<unsigned char> rows(static_cast<size_t>(box * rowBytes));
    int metrics[5] = {0, 0, 0, 0, 0};
    const bool drawn =
        rasteriseGlyph(request.code, request.faceName.c_str(), request.weight, request.italic,
                       request.height, scale, box, maxWidth, rowBytes, rows.data(), metrics);
    if (!drawn) {
        std::fill(metrics, metrics + 5, 0);
    }
    image.width = metrics[0];
    image.height = metrics[1];
    image.xOrigin = static_cast<float>(metrics[2]);
    image.yOrigin = static_cast<float>(metrics[3]);
    rows.resize(static_cast<size_t>(metrics[1] * rowBytes));
    image.bits = std::move(rows);
    advance = metrics[4];
    return drawn;
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

bool win32common::beginGlyphs(HFONT /*font*/) {
    return true; // the browser always has a face to fall back on
}

bool win32common::compileGlyph(HFONT font, unsigned int character, DWORD list) {
    const GlyphRequest request{static_cast<int>(character), font->faceName, font->weight,
                               font->italic, font->height};
    // Drawn once now, as GDI does, for the advance and to know that text can be drawn; the list
    // draws it again at the device scale the frame is drawn at.
    WebGlGlyphImage image;
    int advance = 0;
    const bool drawn = rasterise(request, 1.0f, image, advance);
    glNewList(list, GL_COMPILE);
    webGlGlyph(
        [request](float scale, WebGlGlyphImage& scaled) {
            int unused = 0;
            rasterise(request, scale, scaled, unused);
        },
        static_cast<GLfloat>(advance), 0.0f);
    glEndList();
    return drawn;
}

void win32common::endGlyphs() {}
