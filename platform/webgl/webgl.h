// skorvane_webgl: the program's OpenGL 1.1 for the browser, over WebGL 1, without Emscripten's
// legacy GL emulation. A library of its own: it needs GL's and WebGL's headers and nothing else of
// the repository, and tests/web/gl_subset_check.cpp checks it alone.
//
// Implemented, with GL 1.1's semantics: the gl* functions of <GL/gl.h> and gluPerspective of
// <GL/glu.h> that Skorvane calls (those of scene/, render/ and shell/, plus glBitmap,
// glNewList/glEndList, glPixelStorei and glGetError for the glyph lists): matrix stacks 32/32/10
// deep with GL_STACK_OVERFLOW/UNDERFLOW, immediate GL_QUADS and GL_LINES with the current colour
// as GL keeps it, wide lines as GL rasterises them, display lists, glListBase and
// glCallLists(GL_UNSIGNED_BYTE), the attribute stack for GL_LIST_BIT, glRasterPos2f with its valid
// flag, glBitmap, depth test, clears and GL errors. glGetString answers vendor "Skorvane", version
// "1.1 Skorvane WebGL" and an empty extension string.
//
// Not implemented: every other GL call (there is no symbol for it, so a new one fails to link
// rather than doing nothing), and values of the calls above that the program never passes (other
// primitive modes, list name types, capabilities, pixel-store parameters), which raise
// GL_INVALID_ENUM. glEnable accepts GL_TEXTURE_2D and GL_BLEND and changes nothing: no texture
// image or blend function is ever set, so GL 1.1 would draw the same.
//
// State: one record (webgl_state.h, `Subset`) holds GL's state, the display lists, the glyph
// images and the WebGL objects drawn with. It is kept apart from the browser layer's own record
// because it outlives the layer's contexts: GL state belongs to whichever context is attached,
// and the lists and glyph images must survive a lost WebGL context. webGlAttach starts GL's state
// afresh; webGlContextLost/Restored keep it and only make the WebGL objects again.
// The browser layer only attaches, detaches, flushes, scales and reports losses; it never reaches
// inside.
#pragma once

#include <functional>
#include <vector>

// After the WebGL 1 context (depth 24, antialias off, alpha off) is current: compiles the
// shaders, makes the buffers, and resets every GL state to GL's initial values (the viewport to
// the canvas size, no display lists). False on failure; the GL calls are then no-ops.
bool webGlAttach();
// The reason the last webGlAttach failed (WebGL's shader or program log), or "".
const char* webGlFailure();
// Releases the GL objects and forgets the display lists; before the context is destroyed.
// Afterwards every gl* call is a no-op and glGetString answers null, as without a current context.
void webGlDetach();
// Draws whatever is batched; called before a frame is presented.
void webGlFlush();

// The window's pixels are drawn onto a canvas backing store of another size: x and y device pixels
// per window pixel (1 and 1 until set). glViewport and everything placed in window coordinates
// (raster positions, bitmaps, line widths) are mapped through it; at 1, 1 nothing changes.
void webGlSetDeviceScale(float x, float y);
// The WebGL context was lost: nothing reaches WebGL any more, while the GL state, display lists
// and glyph images the subset keeps itself stay as they are.
void webGlContextLost();
// The lost context is back (and current): its programs, buffers and atlas are made again from
// what the subset kept, so drawing goes on as before the loss.
void webGlContextRestored();

// A glyph image for a device scale: as glBitmap reads one with GL_UNPACK_ALIGNMENT 1 (rows
// bottom-up, (width + 7) / 8 bytes each, most significant bit leftmost), origin in device pixels,
// and the move of the raster position after it in window pixels, the same at every scale.
struct WebGlGlyphImage {
    int width = 0;
    int height = 0;
    float xOrigin = 0;
    float yOrigin = 0;
    float xMove = 0;
    float yMove = 0;
    std::vector<unsigned char> bits;
};
using WebGlGlyphRasteriser = std::function<void(float scale, WebGlGlyphImage& image)>;
// A glBitmap whose image is drawn for the device scale in use (the vertical one), made by
// `rasterise` when that scale is first met; compiled into display lists as glBitmap is. The
// image is placed in device pixels at the raster position, which then moves as the image says.
// At scale 1 it is glBitmap(width, height, xOrigin, yOrigin, xMove, yMove, bits) of the scale-1
// image. Nothing of the glyph is measured or drawn before it is first drawn, so a font's glyphs
// cost nothing until text uses them.
void webGlGlyph(WebGlGlyphRasteriser rasterise);
