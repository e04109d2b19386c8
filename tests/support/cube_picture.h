// The program's picture as the end-to-end tests read it: 8-bit PPM screenshots, the pixel colours
// of the cubes, lines and captions, and where each of the 85 cube centres lands in an 800 x 600
// client area. Pixel positions come from the projection (45 degrees vertical, 800 x 600, the root
// 43 units away), computed here from scratch.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

struct Rgb {
    int r, g, b;
};

struct Image {
    int width = 0, height = 0;
    std::vector<unsigned char> pixels;
    // Out of range (or a missing image) reads as no colour at all rather than crashing the test.
    Rgb at(int x, int y) const {
        if (x < 0 || y < 0 || x >= width || y >= height) {
            return {-1, -1, -1};
        }
        const size_t i = (static_cast<size_t>(y) * width + x) * 3;
        return {pixels[i], pixels[i + 1], pixels[i + 2]};
    }
    // The part of the image with its top left corner at (left, top).
    Image crop(int left, int top, int cropWidth, int cropHeight) const;
};

Image readPpm(const std::string& path); // adds a test failure when it is not an 8-bit binary PPM

bool isRed(Rgb c);
bool isGreen(Rgb c);
bool isClearGrey(Rgb c);

struct Point {
    double x, y;
};

extern const double pi;

// Window pixel (rows from the top) of a point in the plane of the cubes, `distance` units away.
Point project(Point p, double distance);

// Centres of the 85 cubes with the whole picture turned clockwise by `degrees` (levels 1 to 3 at
// their steady scales and unturned): the root, then each level-1 node with its subtree.
struct Centres {
    std::vector<Point> all;
    std::vector<Point> smallest;
};
Centres cubeCentres(double degrees);

// How many of the cube centres that can be seen show a red front face, and how many do not.
// Centres outside the window or under the captions (the lower-left band) cannot be seen.
struct CentreCount {
    int red = 0;
    int notRed = 0;
};
CentreCount redCentres(const Image& image, const std::vector<Point>& centres);

struct Fit {
    double degrees;
    CentreCount centres;
};
// The clockwise turn of the whole picture, modulo the cross's quarter-turn symmetry.
Fit fitRootTurn(const Image& image);

// The coarse fit refined to a fraction of a degree from the red faces of the four level-1 cubes.
double refineRootTurn(const Image& image, double coarseDegrees);

} // namespace testsupport
