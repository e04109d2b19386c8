// The caption font and printText, drawn for real and read back through the raster position and
// feedback mode; and the captions a frame writes: where they stand, read back pixel by pixel, and
// their texts, read back character by character.
#include "render/render_fixture.h"

#include "render/render.h"
#include "shell/app_state.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>

namespace {

class TextTest : public testsupport::GlTest {
  protected:
    void SetUp() override {
        rendertest::startUpOnce();
        GlTest::SetUp(); // identity matrices and the full viewport
        glListBase(7);
    }

    // Raster x after printing `text` from the left edge of the viewport.
    static float advanceOf(const char* format, const char* argument = nullptr) {
        glRasterPos2f(-1, 0);
        printText(format, argument);
        GLfloat position[4];
        glGetFloatv(GL_CURRENT_RASTER_POSITION, position);
        return position[0];
    }

    static int glyphsDrawn(const char* format) {
        const auto frame = testsupport::decodeFeedback(testsupport::captureFeedback([format] {
            glRasterPos2f(-1, 0);
            printText(format);
        }));
        return static_cast<int>(testsupport::primitivesOf(frame, GL_BITMAP_TOKEN).size());
    }

    static GLint listBase() {
        GLint base = -1;
        glGetIntegerv(GL_LIST_BASE, &base);
        return base;
    }
};

TEST_F(TextTest, EachCharacterDrawsItsOwnGlyphAndAdvances) {
    const float a = advanceOf("A");
    const float ab = advanceOf("AB");
    EXPECT_GT(a, 0.0f);
    EXPECT_FLOAT_EQ(ab, a + advanceOf("B"));
    EXPECT_EQ(glyphsDrawn("Hi there"), 8);
    EXPECT_EQ(listBase(), 7);

    // printText's base offset picks the same list as calling the glyph's list directly.
    glRasterPos2f(-1, 0);
    glCallList(fontBase + ('W' - 32));
    GLfloat direct[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, direct);
    EXPECT_FLOAT_EQ(advanceOf("W"), direct[0]);
}

TEST_F(TextTest, AllNinetySixGlyphListsExistAndTheLastCodeDraws) {
    for (GLuint k = 0; k < 96; ++k) {
        EXPECT_TRUE(glIsList(fontBase + k)) << "no list for code " << 32 + k;
    }
    EXPECT_EQ(glyphsDrawn("\x7f"), 1);
    EXPECT_EQ(glyphsDrawn(" ~\x7f"), 3);
    EXPECT_GT(advanceOf("\x7f"), 0.0f);
}

TEST_F(TextTest, FormatsItsArguments) {
    EXPECT_FLOAT_EQ(advanceOf("%s", "abc"), advanceOf("abc"));
    EXPECT_EQ(glyphsDrawn("%%"), 1);
}

TEST_F(TextTest, EmptyTextDrawsNothingButStillSavesTheListBit) {
    EXPECT_EQ(glyphsDrawn(""), 0);
    EXPECT_EQ(listBase(), 7);

    // With the attribute stack full, the push of an empty print must overflow.
    GLint maxDepth = 0, depth = 0;
    glGetIntegerv(GL_MAX_ATTRIB_STACK_DEPTH, &maxDepth);
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &depth);
    for (; depth < maxDepth; ++depth) {
        glPushAttrib(GL_LIST_BIT);
    }
    printText("");
    EXPECT_EQ(glGetError(), GLenum(GL_STACK_OVERFLOW));
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &depth);
    for (; depth > 0; --depth) {
        glPopAttrib();
    }
}

TEST_F(TextTest, LongTextIsCutAt255Characters) {
    const float one = advanceOf("x");
    const std::string longText(1000, 'x');
    EXPECT_FLOAT_EQ(advanceOf("%s", longText.c_str()), 255 * one);
    EXPECT_FLOAT_EQ(advanceOf(longText.c_str()), 255 * one);
    EXPECT_EQ(glyphsDrawn(longText.c_str()), 255);
    EXPECT_EQ(listBase(), 7);
}

// The captions of a real steady frame, read back pixel by pixel: green glyphs starting at each
// line's raster position, projected independently, and nothing green to the left of them.
TEST(CaptionTest, AFrameShowsEachLineInGreenFromItsRasterPosition) {
    rendertest::prepareSteadyScene();
    drawFrame();
    glFinish();
    const auto isGreen = [](const testsupport::Rgb& pixel) {
        return std::abs(pixel.r) <= 1 && std::abs(pixel.g - 255) <= 1 && std::abs(pixel.b) <= 1;
    };
    for (const double y : {-1.2, -1.0, -0.8}) {
        const rendertest::Point raster = rendertest::projectEyePoint(-1.6, y, -3);
        int green = 0, leftmost = rendertest::viewportWidth;
        for (int py = int(raster.y) - 5; py < int(raster.y) + 18; ++py) {
            for (int px = 0; px < 400; ++px) {
                if (isGreen(testsupport::readPixel(px, py))) {
                    ++green;
                    leftmost = std::min(leftmost, px);
                }
            }
        }
        EXPECT_GT(green, 100) << "caption at " << y;
        EXPECT_NEAR(leftmost, raster.x, 4) << "caption at " << y;
    }
}

// Every glyph list is wrapped in one that first passes its character code through, so feedback
// mode reports each character drawn just before its bitmap; the bitmap's window y tells the lines
// apart.
TEST(CaptionTest, AFrameWritesItsThreeCaptionLinesFromTheBottomUp) {
    rendertest::startUpOnce();
    rendertest::prepareSteadyScene();
    const GLuint glyphLists = fontBase;
    const GLuint markedLists = glGenLists(96);
    for (GLuint k = 0; k < 96; ++k) {
        glNewList(markedLists + k, GL_COMPILE);
        glPassThrough(static_cast<GLfloat>(32 + k));
        glCallList(glyphLists + k);
        glEndList();
    }
    fontBase = markedLists;
    const auto frame = rendertest::runFrame();
    fontBase = glyphLists;
    glDeleteLists(markedLists, 96);

    std::map<float, std::string> linesByHeight; // ascending window y: the lowest line first
    int pendingCharacter = 0;
    for (const testsupport::FeedbackPrimitive& primitive : frame) {
        if (primitive.token == GL_PASS_THROUGH_TOKEN) {
            EXPECT_EQ(pendingCharacter, 0) << "a character drew no bitmap";
            pendingCharacter = static_cast<int>(primitive.passThroughValue);
        } else if (primitive.token == GL_BITMAP_TOKEN) {
            ASSERT_NE(pendingCharacter, 0) << "a bitmap outside the glyph lists";
            linesByHeight[primitive.vertices[0].y] += static_cast<char>(pendingCharacter);
            pendingCharacter = 0;
        }
    }
    std::vector<std::string> lines;
    for (const auto& line : linesByHeight) {
        lines.push_back(line.second);
    }
    const std::vector<std::string> expected = {
        "Quenz's Matrix Demonstration using own matrices",
        "This has been designed in anticipation to add to my project gh",
        "Created using Quillon",
    };
    EXPECT_EQ(lines, expected);
}

} // namespace
