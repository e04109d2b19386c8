// Fonts: the layer's part of CreateFontA and wglUseFontBitmapsA over the browser's own text drawing
// (Canvas 2D), as GDI draws them on Windows: each glyph is drawn once into a small canvas, its
// coverage cut at half into a one-bit image, and compiled into a glBitmap display list with the
// font's advance. The face is the one asked for, then Liberation Mono (the face "Courier New"
// resolves to on Linux, with the same metrics), then the browser's monospace. Outline text is not
// offered.
#include "platform/web/web_internal.h"

#include <emscripten/emscripten.h>

#include <algorithm>

namespace {

using webplatform::state;

constexpr int glyphBox = 64; // pixels; far more than a caption glyph needs
constexpr int rowBytes = 4;  // 32-pixel rows read the same at every GL unpack alignment

// Fills `rows` (glyphBox rows of rowBytes, bottom row first, most significant bit leftmost) and
// `metrics` (width, height, x origin, y origin, advance) with the glyph of `code`, a Unicode code
// point. A positive height is the cell (ascent + descent), as Windows reads it; a negative one
// the em size. Returns false when the page cannot draw text at all.
EM_JS(bool, rasteriseGlyph,
      (int code, const char* faceName, int weight, bool italic, int height, unsigned char* rows,
       int* metrics),
      {
          const box = 64;
          if (!Module.glyphContext) {
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
          context.font = style + em + 'px ' + families;
          const text = String.fromCodePoint(code);
          const measured = context.measureText(text);
          const originX = 8;
          const baseline = 8 + Math.ceil(measured.fontBoundingBoxAscent);
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
          const width = right < 0 ? 0 : Math.min(right - left + 1, 32);
          const rowsHigh = right < 0 ? 0 : bottom - top + 1;
          HEAPU8.fill(0, rows, rows + box * 4);
          for (let row = 0; row < rowsHigh; ++row) {
              const y = bottom - row; // bottom row first
              for (let x = 0; x < width; ++x) {
                  if (pixels[(y * box + left + x) * 4 + 3] >= 128) {
                      HEAPU8[rows + row * 4 + (x >> 3)] |= 0x80 >> (x & 7);
                  }
              }
          }
          HEAP32[(metrics >> 2) + 0] = width > 0 ? 32 : 0;
          HEAP32[(metrics >> 2) + 1] = rowsHigh;
          HEAP32[(metrics >> 2) + 2] = width > 0 ? originX - left : 0;
          HEAP32[(metrics >> 2) + 3] = rowsHigh > 0 ? bottom + 1 - baseline : 0;
          HEAP32[(metrics >> 2) + 4] = Math.round(measured.width);
          return true;
      });

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

BOOL WINAPI wglUseFontBitmapsA(HDC dc, DWORD first, DWORD count, DWORD listBase) {
    // Without a current context there is nothing to compile the lists into.
    if (!win32common::liveDc(dc) || glGetString(GL_VERSION) == nullptr) {
        return FALSE;
    }
    const HFONT__* font = dc->font;
    GLubyte rows[glyphBox * rowBytes];
    int metrics[5];
    bool allDrawn = true;
    for (DWORD i = 0; i < count; ++i) {
        const bool drawn = rasteriseGlyph(static_cast<int>(win32common::unicodeForAnsi(first + i)),
                                          font->faceName.c_str(), font->weight, font->italic,
                                          font->height, rows, metrics);
        if (!drawn) {
            std::fill(metrics, metrics + 5, 0);
        }
        allDrawn = allDrawn && drawn;
        glNewList(listBase + i, GL_COMPILE);
        glBitmap(metrics[0], metrics[1], static_cast<GLfloat>(metrics[2]),
                 static_cast<GLfloat>(metrics[3]), static_cast<GLfloat>(metrics[4]), 0.0f,
                 metrics[1] > 0 ? rows : nullptr);
        glEndList();
    }
    return allDrawn ? TRUE : FALSE;
}
