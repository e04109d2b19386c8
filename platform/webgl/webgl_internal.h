// What the GL 1.1 state machine (webgl.cpp) asks of the WebGL side (webgl_draw.cpp): batched
// triangles already in clip coordinates, bitmap images in a texture atlas, clears and the
// viewport. Only these two files include it.
#pragma once

#include <string>
#include <vector>

namespace webgl {

// One vertex as WebGL draws it: clip coordinates, colour, and for bitmaps the place in the atlas.
struct Vertex {
    float position[4];
    float colour[4];
    float bitmap[2];
};

// The per-fragment operations of GL 1.1 this subset does not leave at their defaults.
struct FragmentState {
    bool depthTest;
    unsigned depthFunc;
    bool operator==(const FragmentState& other) const {
        return depthTest == other.depthTest && depthFunc == other.depthFunc;
    }
};

// A stretch of the batch drawn with one program and fragment state.
struct Run {
    int first;
    int count;
    FragmentState state;
    bool bitmap;
};

// The WebGL objects the subset draws with (names as WebGL gives them), the batch not yet drawn,
// and where the atlas is filled to. Part of the subset's one record (webgl_state.h);
// webgl_draw.cpp reaches it through gpu().
struct DrawResources {
    unsigned geometryProgram = 0;
    unsigned bitmapProgram = 0;
    unsigned buffer = 0;
    unsigned atlas = 0;
    std::vector<Vertex> batch;
    std::vector<Run> runs;
    unsigned atlasGeneration = 0;
    int shelfX = 0; // the atlas fills shelf by shelf, left to right, bottom to top
    int shelfY = 0;
    int shelfHeight = 0;
};

DrawResources& gpu();

// A glBitmap image unpacked to one byte per pixel (0 or 255), bottom row first. Its place in the
// atlas is remembered here and holds while `atlasGeneration` is the atlas's current one.
struct BitmapImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels;
    unsigned atlasGeneration = 0;
    int atlasX = 0;
    int atlasY = 0;
};

// Makes the WebGL objects in the current context; on failure says why in `failure`.
bool attachDraw(std::string& failure);
void detachDraw();
// Forgets the WebGL objects of a lost context without deleting them (they belong to no context
// now); nothing is drawn until attachDraw makes them again.
void loseDraw();
// Draws the batch.
void flush();
// Appends triangles (count a multiple of 3) to the batch; drawn by flush() in call order.
// Bitmap triangles take their pixels from the atlas; the others ignore Vertex::bitmap.
void drawTriangles(const Vertex* vertices, int count, FragmentState state, bool bitmap);
// Makes sure the image is in the atlas and gives its corners there in texture coordinates;
// false when it does not fit in the atlas at all.
bool placeBitmap(BitmapImage& image, float& s0, float& t0, float& s1, float& t1);
// Draws the batch, then clears with GL's clear values. mask: GL_*_BUFFER_BIT.
void clear(unsigned mask, const float colour[4], float depth);
// Draws the batch, then sets WebGL's viewport (in device pixels).
void setViewport(int x, int y, int width, int height);
// WebGL's viewport when the context was made: the canvas size.
void canvasViewport(int viewport[4]);

} // namespace webgl
