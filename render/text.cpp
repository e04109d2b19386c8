// The caption font: 96 glyph display lists for codes 32..127 and the printf-style text drawing
// that calls them at the current raster position. Not here: where the captions go (frame.cpp).
#include "render/render.h"

#include "shell/app_state.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

GLuint fontBase = 0;

namespace {

constexpr GLsizei glyphCount = 96; // codes 32..127
constexpr GLuint firstGlyphCode = 32;

} // namespace

void buildFont() {
    fontBase = glGenLists(glyphCount);

    HFONT font = CreateFontA(20, 0, 0, 0, 1000, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_TT_PRECIS,
                             CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, FF_DONTCARE | DEFAULT_PITCH,
                             "Courier New");
    HGDIOBJ previousFont = SelectObject(hDC, font);
    wglUseFontBitmapsA(hDC, firstGlyphCode, glyphCount, fontBase);
    // The lists keep the glyphs; the font itself is only needed while they are made.
    SelectObject(hDC, previousFont);
    DeleteObject(font);
}

void printText(const char* format, ...) {
    if (format == nullptr) {
        return;
    }

    // Bounded: a longer result is cut at 255 characters instead of running past the buffer.
    char text[256];
    va_list arguments;
    va_start(arguments, format);
    const int written = std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (written < 0) {
        text[0] = '\0'; // an encoding error leaves the buffer unspecified
    }

    glPushAttrib(GL_LIST_BIT);
    // Offsetting the base lets each character code name its own glyph list directly.
    glListBase(fontBase - firstGlyphCode);
    glCallLists(static_cast<GLsizei>(std::strlen(text)), GL_UNSIGNED_BYTE, text);
    glPopAttrib();
}

void killFont() {
    glDeleteLists(fontBase, glyphCount);
}
