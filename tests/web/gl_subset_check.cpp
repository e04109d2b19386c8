// The GL 1.1 subset's own semantics where the program's picture would not catch a fault cheaply:
// matrix and attribute stack limits, display lists (base, offsets, recording of nested calls),
// raster position validity and glBitmap, per-face colour, 2-pixel lines, GL_LEQUAL. Draws on its
// own 64 × 64 WebGL canvas and reads pixels back; a 1-pixel bitmap at the raster position is the
// probe for where the matrices put a point. Reports in document.body.dataset: glCheck "pass" or
// "fail", glResults a JSON list of {name, ok, detail}; the last entry is the stack the checks used
// (the deepest point below main's frame) against -sSTACK_SIZE, which must hold it twice. Run by
// gl_subset_test.py.
#include "platform/webgl/webgl.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>
#include <emscripten/stack.h>

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

extern "C" void emscripten_glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height,
                                        GLenum format, GLenum type, void* pixels);

namespace {

constexpr int size = 64;
const GLubyte onePixel[4] = {0x80, 0, 0, 0};
std::string results;
int failures = 0;

EM_JS(void, report, (const char* json, int failed), {
    document.body.dataset.glResults = UTF8ToString(json);
    document.body.dataset.glCheck = failed ? 'fail' : 'pass';
});

void check(const char* name, bool ok, const std::string& detail) {
    failures += ok ? 0 : 1;
    std::string quoted;
    for (char c : detail) {
        quoted += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
    }
    results += std::string(results.empty() ? "[" : ",") + "{\"name\":\"" + name +
               "\",\"ok\":" + (ok ? "true" : "false") + ",\"detail\":\"" + quoted + "\"}";
}

// A fresh GL: every state at its initial value, no lists, black colour buffer, depth 1.
void fresh() {
    webGlDetach();
    webGlAttach();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

struct Pixels {
    unsigned char rgba[size * size * 4];
    const unsigned char* at(int x, int y) const { return rgba + 4 * (y * size + x); }
    bool lit(int x, int y) const { return at(x, y)[0] | at(x, y)[1] | at(x, y)[2]; }
    std::string litList() const { // "x,y x,y ..." of every non-black pixel
        std::string list;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                if (lit(x, y)) {
                    list += (list.empty() ? "" : " ") + std::to_string(x) + "," + std::to_string(y);
                }
            }
        }
        return list;
    }
};

Pixels readBack() {
    webGlFlush();
    Pixels pixels;
    emscripten_glReadPixels(0, 0, size, size, GL_RGBA, GL_UNSIGNED_BYTE, pixels.rgba);
    return pixels;
}

// Object coordinate of the centre of pixel column/row `cell` with identity matrices.
float at(int cell) {
    return (static_cast<float>(cell) + 0.5f) / (size / 2) - 1;
}

// Where the current matrices put the object origin: the lit pixels of a probe drawn there.
std::string whereIsOrigin() {
    glClear(GL_COLOR_BUFFER_BIT);
    glRasterPos2f(0, 0);
    glBitmap(1, 1, 0, 0, 0, 0, onePixel);
    return readBack().litList();
}

// Eight lists drawing a probe at column 4i + 2 of row 32 each; returns the first name.
GLuint makeProbeLists() {
    const GLuint base = glGenLists(8);
    for (int i = 0; i < 8; ++i) {
        glNewList(base + static_cast<GLuint>(i), GL_COMPILE);
        glRasterPos2f(at(4 * i + 2), at(32));
        glBitmap(1, 1, 0, 0, 0, 0, onePixel);
        glEndList();
    }
    return base;
}

// Which probe lists drew since the last clear, as "0 2 5"; clears for the next call.
std::string probesDrawn() {
    const Pixels pixels = readBack();
    std::string drawn;
    for (int i = 0; i < 8; ++i) {
        if (pixels.lit(4 * i + 2, 32)) {
            drawn += (drawn.empty() ? "" : " ") + std::to_string(i);
        }
    }
    glClear(GL_COLOR_BUFFER_BIT);
    return drawn;
}

void callOffsets(std::initializer_list<GLubyte> offsets) {
    glCallLists(static_cast<GLsizei>(offsets.size()), GL_UNSIGNED_BYTE, offsets.begin());
}

std::string hex(GLenum value) {
    char text[16];
    snprintf(text, sizeof text, "0x%04x", value);
    return text;
}

void matrixStacks() {
    for (GLenum mode : {GL_MODELVIEW, GL_PROJECTION}) {
        fresh();
        glMatrixMode(mode);
        glTranslatef(0.5f, 0, 0); // the origin at pixel 48,32
        for (int depth = 1; depth < 32; ++depth) {
            glPushMatrix();
        }
        const GLenum filling = glGetError();
        glTranslatef(0, 0.25f, 0); // on the top only: 48,40
        glPushMatrix();
        const GLenum overflow = glGetError();
        const std::string top = whereIsOrigin();
        for (int depth = 1; depth < 32; ++depth) {
            glPopMatrix();
        }
        const GLenum draining = glGetError();
        glPopMatrix();
        const GLenum underflow = glGetError();
        const std::string bottom = whereIsOrigin();
        check(mode == GL_MODELVIEW ? "modelview stack: 32 deep, overflow and underflow"
                                   : "projection stack: 32 deep, overflow and underflow",
              filling == GL_NO_ERROR && overflow == GL_STACK_OVERFLOW && top == "48,40" &&
                  draining == GL_NO_ERROR && underflow == GL_STACK_UNDERFLOW && bottom == "48,32",
              "push x31 " + hex(filling) + ", 32nd push " + hex(overflow) + ", origin " + top +
                  " (48,40), pop x31 " + hex(draining) + ", 32nd pop " + hex(underflow) +
                  ", origin " + bottom + " (48,32)");
    }
}

void attributeStack() {
    fresh();
    const GLuint base = makeProbeLists();
    glListBase(base);
    for (int depth = 0; depth < 16; ++depth) {
        glPushAttrib(GL_LIST_BIT);
    }
    const GLenum filling = glGetError();
    glListBase(base + 1);
    glPushAttrib(GL_LIST_BIT);
    const GLenum overflow = glGetError();
    for (int depth = 0; depth < 16; ++depth) {
        glPopAttrib();
    }
    const GLenum draining = glGetError();
    glPopAttrib();
    const GLenum underflow = glGetError();
    callOffsets({0});
    const std::string restored = probesDrawn();
    glPushAttrib(GL_CURRENT_BIT); // a group without the list base
    glListBase(base + 2);
    glPopAttrib();
    callOffsets({0});
    const std::string kept = probesDrawn();
    check("attribute stack: 16 deep, overflow, underflow, GL_LIST_BIT restored",
          filling == GL_NO_ERROR && overflow == GL_STACK_OVERFLOW && draining == GL_NO_ERROR &&
              underflow == GL_STACK_UNDERFLOW && restored == "0" && kept == "2" &&
              glGetError() == GL_NO_ERROR,
          "push x16 " + hex(filling) + ", 17th " + hex(overflow) + ", pop x16 " + hex(draining) +
              ", 17th " + hex(underflow) + ", list base after the pops draws [" + restored +
              "] (0), after popping GL_CURRENT_BIT [" + kept + "] (2)");
}

void displayLists() {
    fresh();
    const GLuint base = makeProbeLists();
    glListBase(base);
    callOffsets({0, 2, 5});
    const std::string plain = probesDrawn();
    glListBase(base + 2);
    callOffsets({0, 1, 200}); // no list at base + 202: nothing, no error
    const std::string shifted = probesDrawn();
    glDeleteLists(base + 1, 2);
    glListBase(base);
    callOffsets({0, 1, 2, 3});
    const std::string deleted = probesDrawn();

    const GLuint outer = glGenLists(1);
    glNewList(outer, GL_COMPILE_AND_EXECUTE); // runs list 4 now, records only the call
    glListBase(base + 4);
    callOffsets({0});
    glEndList();
    const std::string whileCompiling = probesDrawn();
    glNewList(base + 4, GL_COMPILE); // list 4 now draws probe 6
    glRasterPos2f(at(26), at(32));
    glBitmap(1, 1, 0, 0, 0, 0, onePixel);
    glEndList();
    glListBase(base);
    callOffsets({static_cast<GLubyte>(outer - base)});
    const std::string nested = probesDrawn();
    check("display lists: glListBase offsets, glDeleteLists, nested glCallLists recorded as calls",
          plain == "0 2 5" && shifted == "2 3" && deleted == "0 3" && whileCompiling == "4" &&
              nested == "6" && glGetError() == GL_NO_ERROR,
          "base+{0,2,5} [" + plain + "], base+2+{0,1,200} [" + shifted + "] (2 3), " +
              "after deleting 1 and 2 [" + deleted + "] (0 3), " +
              "while compiling and executing [" + whileCompiling + "] (4), " +
              "after redefining list 4 [" + nested + "] (6)");
}

void rasterPosition() {
    fresh();
    glColor3f(1, 0, 0);
    glRasterPos2f(at(10), at(20));
    glColor3f(0, 1, 0); // after glRasterPos: not the bitmap colour
    glBitmap(1, 1, 0, 0, 5, 0, onePixel);
    glBitmap(1, 1, 2, 0, 0, 0, onePixel); // origin 2: two pixels left of the raster position
    const Pixels drawn = readBack();
    const std::string advanced = drawn.litList();
    const bool red = drawn.at(13, 20)[0] == 255 && drawn.at(13, 20)[1] == 0;

    glClear(GL_COLOR_BUFFER_BIT);
    glRasterPos2f(at(66), at(20)); // right of the view volume; the origin would pull it in
    glBitmap(1, 1, 20, 0, 0, 0, onePixel);
    glMatrixMode(GL_PROJECTION);
    gluPerspective(90, 1, 1, 10);
    glMatrixMode(GL_MODELVIEW);
    glRasterPos2f(0, 0); // in front of the near plane
    glBitmap(1, 1, 0, 0, 0, 0, onePixel);
    const std::string outside = readBack().litList();
    glTranslatef(0, 0, -5);
    const std::string inside = whereIsOrigin();

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT);
    const GLubyte alignedFour[8] = {0x80, 0, 0, 0, 0x40, 0, 0, 0}; // 3 x 2, rows of 4 bytes
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glRasterPos2f(at(20), at(20));
    glBitmap(3, 2, 0, 0, 0, 0, alignedFour);
    const GLubyte alignedOne[2] = {0x80, 0x40};
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glRasterPos2f(at(40), at(20));
    glBitmap(3, 2, 0, 0, 0, 0, alignedOne);
    const std::string aligned = readBack().litList();
    check("raster position: validity, bitmap origin, advance, colour, unpack alignment",
          advanced == "10,20 13,20" && red && outside.empty() && inside == "32,32" &&
              aligned == "20,20 40,20 21,21 41,21" && glGetError() == GL_NO_ERROR,
          "two bitmaps [" + advanced + "] (10,20 13,20) " + (red ? "red" : "not red") +
              ", outside the volume [" + outside + "] (), inside [" + inside +
              "] (32,32), alignment 4 and 1 [" + aligned + "] (20,20 40,20 21,21 41,21)");
}

void drawing() {
    fresh();
    glBegin(GL_QUADS); // one colour per face, set before its first vertex
    glColor3f(1, 0, 0);
    glVertex3f(-1, -1, 0);
    glVertex3f(0, -1, 0);
    glVertex3f(0, 1, 0);
    glVertex3f(-1, 1, 0);
    glColor3f(0, 0, 1);
    glVertex3f(0, -1, 0);
    glVertex3f(1, -1, 0);
    glVertex3f(1, 1, 0);
    glVertex3f(0, 1, 0);
    glEnd();
    const Pixels faces = readBack();
    bool pure = true;
    for (int x : {1, 30, 33, 62}) {
        for (int y : {1, 62}) {
            const unsigned char* p = faces.at(x, y);
            pure = pure && (x < 32 ? p[0] == 255 && p[2] == 0 : p[0] == 0 && p[2] == 255);
        }
    }

    glClear(GL_COLOR_BUFFER_BIT);
    glLineWidth(2);
    glColor3f(1, 1, 1);
    glBegin(GL_LINES);
    glVertex3f(-0.75f, 0.3f, 0); // horizontal, at window y 41.6
    glVertex3f(0.75f, 0.3f, 0);
    glVertex3f(-0.3f, -0.75f, 0); // vertical, at window x 22.4
    glVertex3f(-0.3f, 0.75f, 0);
    glEnd();
    const Pixels lines = readBack();
    int across = 0;
    int along = 0;
    for (int i = 0; i < size; ++i) {
        across += lines.lit(10, i) ? 1 : 0;
        along += lines.lit(i, 10) ? 1 : 0;
    }

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    const float red[3] = {1, 0, 0}, blue[3] = {0, 0, 1}, green[3] = {0, 1, 0};
    const std::pair<const float*, float> quads[3] = {{red, 0}, {blue, 0}, {green, 0.5f}};
    glBegin(GL_QUADS); // red, blue at the same depth, green behind
    for (const auto& [colour, depth] : quads) {
        glColor3f(colour[0], colour[1], colour[2]);
        glVertex3f(-1, -1, depth);
        glVertex3f(1, -1, depth);
        glVertex3f(1, 1, depth);
        glVertex3f(-1, 1, depth);
    }
    glEnd();
    glDisable(GL_DEPTH_TEST);
    const unsigned char* centre = readBack().at(32, 32);
    check("drawing: per-face colour on all four vertices, 2-pixel lines, GL_LEQUAL",
          pure && across == 2 && along == 2 && centre[0] == 0 && centre[1] == 0 &&
              centre[2] == 255 && glGetError() == GL_NO_ERROR,
          std::string("face corners ") + (pure ? "pure" : "mixed") + ", horizontal line " +
              std::to_string(across) + " px (2), vertical line " + std::to_string(along) +
              " px (2), equal depth drawn " + std::to_string(centre[0]) + "," +
              std::to_string(centre[1]) + "," + std::to_string(centre[2]) + " (0,0,255)");
}

} // namespace

// The free stack below main's frame is filled with a pattern first; the lowest word that no
// longer holds it afterwards is as deep as the checks went. The lowest 16 bytes are left alone:
// Emscripten keeps its overflow cookie there.
constexpr std::uint32_t stackPaint = 0x5ca1ab1e;
constexpr std::uintptr_t stackCookie = 16;

void paintStack() {
    auto* word =
        reinterpret_cast<volatile std::uint32_t*>(emscripten_stack_get_end() + stackCookie);
    auto* const below =
        reinterpret_cast<volatile std::uint32_t*>(emscripten_stack_get_current() - 256);
    for (; word < below; ++word) {
        *word = stackPaint;
    }
}

void checkStackUse() {
    const auto* word =
        reinterpret_cast<const volatile std::uint32_t*>(emscripten_stack_get_end() + stackCookie);
    while (*word == stackPaint) {
        ++word;
    }
    const std::uintptr_t used =
        emscripten_stack_get_base() - reinterpret_cast<std::uintptr_t>(word);
    const std::uintptr_t stackSize = emscripten_stack_get_base() - emscripten_stack_get_end();
    check("stack: the deepest point at most half of -sSTACK_SIZE", used * 2 <= stackSize,
          std::to_string(used) + " bytes used of " + std::to_string(stackSize));
}

int main() {
    paintStack();
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.depth = EM_TRUE;
    attributes.antialias = EM_FALSE;
    attributes.majorVersion = 1;
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context =
        emscripten_webgl_create_context("#canvas", &attributes);
    if (context <= 0 ||
        emscripten_webgl_make_context_current(context) != EMSCRIPTEN_RESULT_SUCCESS ||
        !webGlAttach()) {
        check("WebGL context and webGlAttach", false, webGlFailure());
    } else {
        matrixStacks();
        attributeStack();
        displayLists();
        rasterPosition();
        drawing();
    }
    checkStackUse();
    results += "]";
    report(results.c_str(), failures);
    return 0;
}
