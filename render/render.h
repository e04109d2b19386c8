// Rendering: OpenGL state and projection, the bitmap-font captions, and the per-frame update and
// drawing of the demonstration. Everything here works on the current rendering context.
#pragma once

// One-time OpenGL set-up, run once the window's context is current: state, font, swap control and
// the scene tree. Returns false only when the scene tree could not be allocated.
bool initScene();

// Viewport and perspective projection for a client area of width x height (height 0 reads as 1);
// leaves the modelview matrix selected and reset to the identity.
void resizeScene(int width, int height);

// Turns on vertical synchronisation through wglSwapIntervalEXT when "WGL_EXT_swap_control" is
// offered; otherwise leaves the driver's default.
void enableSwapControl(int interval);

// True when `name` occurs in `extensions` (a plain substring search); a null list offers nothing.
bool extensionOffered(const char* extensions, const char* name);

// The 96 glyph display lists for codes 32..127 (fontBase), made from the window's DC.
void buildFont();

// Formats like printf, at most 255 characters (the rest is cut off), and draws the text at the
// current raster position.
void printText(const char* format, ...);

void killFont();

// The three caption lines each frame writes in the lower left, lowest first: raster position and
// text.
struct Caption {
    float x;
    float y;
    const char* text;
};
constexpr int captionCount = 3;
extern const Caption captions[captionCount];

// Adds 2 degrees to the spin of every level whose arrow key is held.
void updateSpins();

// Draws one frame: view matrix, hierarchy, captions, then hands the spins and per-level scales to
// the nodes, so each frame shows the values of the frame before.
void drawFrame();
