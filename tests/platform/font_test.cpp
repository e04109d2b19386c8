// Glyph display lists made on the screen's DC in an offscreen Mesa context, with no SDL and no
// window, as the render tests make them; and what happens when there is no font at all.
#include "platform/platform.h"
#include "platform/sdl/sdl_layer.h"
#include "support/offscreen_gl.h"

#include <EGL/egl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int firstCode = 32;
constexpr int glyphCount = 96;

HFONT captionFont() {
    return CreateFontA(20, 0, 0, 0, 1000, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_TT_PRECIS,
                       CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, FF_DONTCARE | DEFAULT_PITCH,
                       "Courier New");
}

// Makes the lists the way the program does; returns wglUseFontBitmapsA's result.
BOOL buildGlyphLists(GLuint base) {
    HDC screen = GetDC(nullptr);
    HFONT font = captionFont();
    HGDIOBJ previous = SelectObject(screen, font);
    const BOOL built = wglUseFontBitmapsA(screen, firstCode, glyphCount, base);
    SelectObject(screen, previous);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    return built;
}

void pixelProjection() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 800, 0, 600, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

float rasterX() {
    GLfloat position[4] = {};
    glGetFloatv(GL_CURRENT_RASTER_POSITION, position);
    return position[0];
}

int litPixels(int x0, int y0, int width, int height) {
    int lit = 0;
    for (int y = y0; y < y0 + height; ++y) {
        for (int x = x0; x < x0 + width; ++x) {
            lit += testsupport::readPixel(x, y).r > 128 ? 1 : 0;
        }
    }
    return lit;
}

// Releases the EGL context afterwards: GLVND refuses a GLX context on a thread that still has an
// EGL one current, and the window tests in this program use GLX through SDL.
class GlyphLists : public testsupport::GlTest {
  protected:
    void TearDown() override {
        eglMakeCurrent(eglGetCurrentDisplay(), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        sdlplatform::shutdownLayer(); // the faces, FreeType and fontconfig, for the leak check
    }
};

TEST_F(GlyphLists, EachCodeDrawsItsGlyphAndAdvancesByTheMonospacedWidth) {
    const GLuint base = glGenLists(glyphCount);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    ASSERT_EQ(buildGlyphLists(base), TRUE);
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 8) << "the caller's unpack alignment is restored";

    pixelProjection();
    glColor3f(1.0f, 1.0f, 1.0f);
    glRasterPos2f(100.0f, 100.0f);
    glCallList(base + ('M' - firstCode));
    const float advance = rasterX() - 100.0f;
    // The face's own advance: "Courier New" resolves to Liberation Mono, which shares its metrics
    // (every glyph 1229 of 2048 units wide, a cell of 1705 + 615 units). A 20-pixel cell makes
    // the em 20 * 2048 / 2320 pixels and the advance 20 * 1229 / 2320 = 10.6, so 11 whole pixels.
    EXPECT_EQ(advance, 11.0f);

    for (int k = 0; k < glyphCount; ++k) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glRasterPos2f(100.0f, 100.0f);
        glCallList(base + k);
        const int code = firstCode + k;
        EXPECT_FLOAT_EQ(rasterX() - 100.0f, advance) << "code " << code;
        const int lit = litPixels(90, 90, 40, 40);
        if (code == ' ') {
            EXPECT_EQ(lit, 0);
        } else if (code != 127) { // DEL has no glyph of its own; fonts differ in what they show
            EXPECT_GT(lit, 0) << "code " << code << " drew nothing";
        }
    }
    glDeleteLists(base, glyphCount);
}

TEST_F(GlyphLists, HeavierWeightGivesHeavierStrokesAndHeightIsTheCell) {
    // The caption face at weight 1000 against the same face at normal weight: bold strokes.
    const GLuint base = glGenLists(2);
    HDC screen = GetDC(nullptr);
    HFONT heavy = captionFont();
    HFONT normal = CreateFontA(20, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                               OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                               FF_DONTCARE | DEFAULT_PITCH, "Courier New");
    HGDIOBJ previous = SelectObject(screen, heavy);
    ASSERT_EQ(wglUseFontBitmapsA(screen, 'H', 1, base), TRUE);
    EXPECT_EQ(SelectObject(screen, normal), heavy);
    ASSERT_EQ(wglUseFontBitmapsA(screen, 'H', 1, base + 1), TRUE);
    EXPECT_EQ(DeleteObject(normal), FALSE) << "still selected";
    SelectObject(screen, previous);
    EXPECT_EQ(DeleteObject(normal), TRUE);
    EXPECT_EQ(DeleteObject(heavy), TRUE);

    pixelProjection();
    glColor3f(1.0f, 1.0f, 1.0f);
    int lit[2] = {};
    for (int i = 0; i < 2; ++i) {
        glClear(GL_COLOR_BUFFER_BIT);
        glRasterPos2f(100.0f, 100.0f);
        glCallList(base + static_cast<GLuint>(i));
        lit[i] = litPixels(90, 80, 40, 40);
        // A capital sits within a 20-pixel cell: taller than half of it, not taller than all.
        int top = 0;
        int bottom = 1000;
        for (int y = 80; y < 120; ++y) {
            if (litPixels(90, y, 40, 1) > 0) {
                top = std::max(top, y);
                bottom = std::min(bottom, y);
            }
        }
        EXPECT_GT(top - bottom + 1, 10);
        EXPECT_LE(top - bottom + 1, 20);
    }
    EXPECT_GT(lit[0], lit[1]);
    glDeleteLists(base, 2);
}

TEST(NoFontDeathTest, ListsStayEmptyAndStderrNamesThePackage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string config = ::testing::TempDir() + "no_fonts.conf";
    FILE* file = std::fopen(config.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n", file);
    std::fclose(file);
    EXPECT_EXIT(
        {
            setenv("FONTCONFIG_FILE", config.c_str(), 1);
            if (!testsupport::makeOffscreenContextCurrent()) {
                std::exit(2);
            }
            const GLuint base = glGenLists(glyphCount);
            const BOOL built = buildGlyphLists(base);
            pixelProjection();
            glRasterPos2f(100.0f, 100.0f);
            glCallList(base + ('A' - firstCode));
            std::exit(built == FALSE && rasterX() == 100.0f ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "fonts-liberation2");
}

} // namespace
