// A second opinion on the whole steady picture: the 85 cubes, the connector lines, the clear
// colour, worked out in double precision from the layout alone (textbook rotations, the tree's
// positions and per-level scales, a perspective of its own) and rasterised here with its own
// depth buffer. It shares nothing with the program's matrices or with GL's transform.
#pragma once

#include <string>
#include <vector>

namespace reference {

// Degrees per level, as the arrow keys leave them; each turns clockwise as the viewer sees it.
struct Spins {
    double root, levelOne, levelTwo, levelThree;
};

// What a pixel of the reference promises.
enum Promise : unsigned char {
    exact = 0,     // the frame must show exactly this colour
    nearEdge = 1,  // within a fraction of a pixel of a face's or a line's boundary: either side
    caption = 255, // under a caption line: not compared
};

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;      // bottom row first, as glReadPixels returns it
    std::vector<unsigned char> promises; // one Promise per pixel, same order
};

// The steady 800 x 600 frame (the scene 43 units away) with the given spins; at a scale above 1,
// the same frame drawn at that many device pixels to each of its pixels (1600 x 1200 at 2), lines
// still 2 pixels wide as GL draws them.
Picture draw(const Spins& spins, int scale = 1);

struct Comparison {
    long compared = 0;            // pixels outside the captions
    long equal = 0;               // of those, the same colour
    long unexplained = 0;         // differing where the reference promised its exact colour
    int firstX = -1, firstY = -1; // the first unexplained one
};

// `rgb` in the layout of Picture::rgb.
Comparison compare(const Picture& expected, const std::vector<unsigned char>& rgb);

// The colours, and the promises as grey levels (exact black, near an edge grey, caption white),
// both top row first, for tests/web/page_test.py and for looking at.
bool save(const Picture& picture, const std::string& colourPath, const std::string& promisePath);

} // namespace reference
