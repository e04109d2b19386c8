#include "render/reference_picture.h"

#include "render/render_fixture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace reference {

namespace {

constexpr int baseWidth = 800, baseHeight = 600; // at scale 1; the aspect at every scale
constexpr double pi = 3.14159265358979323846;

// How far from a boundary a pixel centre may lie and still come out either way: faces have
// exact corners, so only rounding; a 2-pixel line's sides are placed by the rasteriser's own
// wide-line rule.
constexpr double faceSlack = 0.25;
constexpr double lineSlack = 0.3;
// Window depths closer than this (about 0.04 units at the scene's distance) are a tie; so are
// depths that a quarter pixel's move along the steepest of the two surfaces would bring
// together, since rasterisers place and interpolate in fixed point (a face seen nearly edge-on
// changes depth fast across the screen).
constexpr double depthSlack = 2e-5;
constexpr double slopeSlack = 0.25;

// The layout, written out from the design: children's positions per level (+x, +y, -y, -x),
// per-level scale factors, camera distance in the steady state, projection.
constexpr double childOffsets[3] = {12, 6, 2.5};
constexpr double levelScaleFactors[4] = {1.0, 1.0, 1.2, 1.5};
constexpr double childDirections[4][2] = {{1, 0}, {0, 1}, {0, -1}, {-1, 0}};
constexpr double distance = 43;
constexpr double fieldOfViewDegrees = 45, nearPlane = 1, farPlane = 100;
constexpr unsigned char clearGrey = 51; // 0.2 of 255

struct Colour {
    unsigned char r, g, b;
};

// The cube of edge 2: per face its colour and corners, in the design's order.
struct Face {
    Colour colour;
    double corners[4][3];
};
const Face cubeFaces[6] = {
    {{255, 0, 0}, {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}}},       // front
    {{255, 255, 0}, {{-1, -1, -1}, {-1, 1, -1}, {1, 1, -1}, {1, -1, -1}}}, // back
    {{0, 255, 255}, {{-1, 1, -1}, {-1, 1, 1}, {1, 1, 1}, {1, 1, -1}}},     // top
    {{255, 0, 255}, {{-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1}}}, // bottom
    {{0, 0, 255}, {{1, -1, -1}, {1, 1, -1}, {1, 1, 1}, {1, -1, 1}}},       // right
    {{0, 255, 0}, {{-1, -1, -1}, {-1, -1, 1}, {-1, 1, 1}, {-1, 1, -1}}},   // left
};
const Colour white = {255, 255, 255};

// Column-vector 4 x 4 matrices, rows first.
using Matrix = std::array<std::array<double, 4>, 4>;

Matrix product(const Matrix& a, const Matrix& b) {
    Matrix c{};
    for (int r = 0; r < 4; ++r) {
        for (int k = 0; k < 4; ++k) {
            for (int col = 0; col < 4; ++col) {
                c[r][col] += a[r][k] * b[k][col];
            }
        }
    }
    return c;
}

Matrix translation(double x, double y, double z) {
    return {{{1, 0, 0, x}, {0, 1, 0, y}, {0, 0, 1, z}, {0, 0, 0, 1}}};
}

Matrix scaling(double s) {
    return {{{s, 0, 0, 0}, {0, s, 0, 0}, {0, 0, s, 0}, {0, 0, 0, 1}}};
}

// Counter-clockwise about +z by `radians`, as seen from +z (the viewer's side).
Matrix rotationZ(double radians) {
    const double c = std::cos(radians), s = std::sin(radians);
    return {{{c, -s, 0, 0}, {s, c, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
}

Matrix perspective() {
    const double f = 1 / std::tan(fieldOfViewDegrees / 2 * pi / 180);
    const double aspect = double(baseWidth) / baseHeight, n = nearPlane, fa = farPlane;
    return {{{f / aspect, 0, 0, 0},
             {0, f, 0, 0},
             {0, 0, (fa + n) / (n - fa), 2 * fa * n / (n - fa)},
             {0, 0, -1, 0}}};
}

struct Window {
    double x, y, z; // pixels from the bottom left, depth 0..1
};

struct Size {
    int width, height;
};

Window toWindow(const Matrix& m, const double p[3], Size size) {
    const int width = size.width, height = size.height;
    double clip[4];
    for (int r = 0; r < 4; ++r) {
        clip[r] = m[r][0] * p[0] + m[r][1] * p[1] + m[r][2] * p[2] + m[r][3];
    }
    return {(clip[0] / clip[3] + 1) * width / 2, (clip[1] / clip[3] + 1) * height / 2,
            (clip[2] / clip[3] + 1) / 2};
}

class Raster {
  public:
    explicit Raster(Size size)
        : width(size.width), height(size.height),
          colour(size_t(width) * height, {clearGrey, clearGrey, clearGrey}),
          depth(colour.size(), 1.0), depthSlope(colour.size(), 0.0),
          nearestSlack(colour.size(), std::numeric_limits<double>::infinity()) {}

    // A convex quad, either winding, sampled at pixel centres.
    void quad(const Window (&v)[4], Colour c) {
        const double area =
            ((v[1].x - v[0].x) * (v[2].y - v[0].y) - (v[2].x - v[0].x) * (v[1].y - v[0].y));
        if (std::fabs(area) < 1e-9) {
            return; // seen edge-on: covers no pixel centre
        }
        const double sign = area > 0 ? 1 : -1;
        // Depth is affine in window x, y over a plane: from the first three corners.
        const double zx =
            ((v[1].z - v[0].z) * (v[2].y - v[0].y) - (v[2].z - v[0].z) * (v[1].y - v[0].y)) / area;
        const double zy =
            ((v[2].z - v[0].z) * (v[1].x - v[0].x) - (v[1].z - v[0].z) * (v[2].x - v[0].x)) / area;
        forBox(v, 4, [&](int x, int y, double px, double py) {
            double nearest = std::numeric_limits<double>::infinity();
            bool inside = true;
            for (int e = 0; e < 4; ++e) {
                const Window& a = v[e];
                const Window& b = v[(e + 1) % 4];
                const double length = std::hypot(b.x - a.x, b.y - a.y);
                const double side =
                    sign * ((b.x - a.x) * (py - a.y) - (b.y - a.y) * (px - a.x)) / length;
                if (side < -faceSlack) {
                    return;
                }
                inside = inside && side > 0;
                nearest = std::min(nearest, std::fabs(side));
            }
            const double z = v[0].z + zx * (px - v[0].x) + zy * (py - v[0].y);
            fragment(x, y, z, c, inside, nearest < faceSlack, std::hypot(zx, zy));
        });
    }

    // A line of width 2: in each column of an x-major line (each row of a y-major one) the pixel
    // centres less than one pixel from the line.
    void line(const Window& a, const Window& b) {
        const bool xMajor = std::fabs(b.x - a.x) >= std::fabs(b.y - a.y);
        const double along = xMajor ? b.x - a.x : b.y - a.y;
        if (std::fabs(along) < 1e-9) {
            return;
        }
        const Window box[2] = {a, b};
        forBox(box, 2, [&](int x, int y, double px, double py) {
            const double t = ((xMajor ? px - a.x : py - a.y)) / along;
            if (t < 0 || t > 1) {
                return;
            }
            const double minor =
                xMajor ? py - (a.y + t * (b.y - a.y)) : px - (a.x + t * (b.x - a.x));
            const double off = std::fabs(minor);
            if (off > 1 + lineSlack) {
                return;
            }
            fragment(x, y, a.z + t * (b.z - a.z), white, off < 1, std::fabs(off - 1) < lineSlack,
                     std::fabs((b.z - a.z) / along));
        });
    }

    Picture finish() const {
        Picture p;
        p.width = width;
        p.height = height;
        for (size_t i = 0; i < colour.size(); ++i) {
            p.rgb.insert(p.rgb.end(), {colour[i].r, colour[i].g, colour[i].b});
            // A boundary counts where something drawn near it is not hidden behind the result.
            p.promises.push_back(nearestSlack[i] <= depth[i] + 1e-6 ? nearEdge : exact);
        }
        return p;
    }

  private:
    template <typename Visit> void forBox(const Window* v, int count, Visit visit) {
        double x0 = v[0].x, x1 = v[0].x, y0 = v[0].y, y1 = v[0].y;
        for (int i = 1; i < count; ++i) {
            x0 = std::min(x0, v[i].x), x1 = std::max(x1, v[i].x);
            y0 = std::min(y0, v[i].y), y1 = std::max(y1, v[i].y);
        }
        const int left = std::max(0, int(std::floor(x0 - 2))),
                  right = std::min(width - 1, int(std::ceil(x1 + 2)));
        const int bottom = std::max(0, int(std::floor(y0 - 2))),
                  top = std::min(height - 1, int(std::ceil(y1 + 2)));
        for (int y = bottom; y <= top; ++y) {
            for (int x = left; x <= right; ++x) {
                visit(x, y, x + 0.5, y + 0.5);
            }
        }
    }

    // Depth test as the frame sets it: less or equal. `boundary` marks the pixel as one that may
    // come out either way, at depth z; so does a depth tie with what is already there.
    // `slope` is how fast z changes per pixel across the surface drawn.
    void fragment(int x, int y, double z, Colour c, bool covered, bool boundary, double slope) {
        const size_t i = size_t(y) * width + x;
        // Where a line runs into a face the two depths meet: either may win around there.
        const bool tie = covered && std::fabs(z - depth[i]) <
                                        depthSlack + slopeSlack * std::max(slope, depthSlope[i]);
        if (boundary || tie) {
            nearestSlack[i] = std::min(nearestSlack[i], tie ? std::min(z, depth[i]) : z);
        }
        if (covered && z <= depth[i]) {
            depth[i] = z;
            depthSlope[i] = slope;
            colour[i] = c;
        }
    }

  public:
    const int width, height;

  private:
    std::vector<Colour> colour;
    std::vector<double> depth;
    std::vector<double> depthSlope;   // of the surface that set the depth, per pixel
    std::vector<double> nearestSlack; // depth of the nearest boundary passing the pixel
};

// A node: its cube, the lines to its children's centres, then the children, each inside its
// parent's frame (translate, turn, scale, as applied to a vertex in reverse).
void drawNode(Raster& raster, const Matrix& parent, double x, double y, int level,
              const double (&clockwise)[4]) {
    const Matrix frame = product(
        product(parent, translation(x, y, 0)),
        product(rotationZ(-clockwise[level] * pi / 180), scaling(1 / levelScaleFactors[level])));
    for (const Face& face : cubeFaces) {
        Window corners[4];
        for (int i = 0; i < 4; ++i) {
            corners[i] = toWindow(frame, face.corners[i], {raster.width, raster.height});
        }
        raster.quad(corners, face.colour);
    }
    if (level == 3) {
        return;
    }
    const double centre[3] = {0, 0, 0};
    for (const auto& d : childDirections) {
        const double child[3] = {d[0] * childOffsets[level], d[1] * childOffsets[level], 0};
        raster.line(toWindow(frame, centre, {raster.width, raster.height}),
                    toWindow(frame, child, {raster.width, raster.height}));
    }
    for (const auto& d : childDirections) {
        drawNode(raster, frame, d[0] * childOffsets[level], d[1] * childOffsets[level], level + 1,
                 clockwise);
    }
}

// The three caption lines, as boxes around their raster positions (eye x -1.6, y -1.2, -1.0,
// -0.8 at distance 3) wide enough for their characters of a 20-pixel monospaced face, `scale`
// times as large at a scale above 1.
void coverCaptions(Picture& picture, int scale) {
    const int width = picture.width, height = picture.height;
    const double eye[3][2] = {{-1.6, -1.2}, {-1.6, -1.0}, {-1.6, -0.8}};
    const int characters[3] = {47, 62, 21};
    const Matrix projection = perspective();
    for (int line = 0; line < 3; ++line) {
        const double at[3] = {eye[line][0], eye[line][1], -3};
        const Window raster = toWindow(projection, at, {width, height});
        const int left = std::max(0, int(raster.x) - 4 * scale);
        const int right = std::min(width, int(raster.x) + (13 * characters[line] + 8) * scale);
        const int bottom = std::max(0, int(raster.y) - 8 * scale);
        const int top = std::min(height, int(raster.y) + 22 * scale);
        for (int y = bottom; y < top; ++y) {
            for (int x = left; x < right; ++x) {
                picture.promises[size_t(y) * width + x] = caption;
            }
        }
    }
}

} // namespace

Picture draw(const Spins& spins, int scale) {
    Raster raster({baseWidth * scale, baseHeight * scale});
    const double clockwise[4] = {spins.root, spins.levelOne, spins.levelTwo, spins.levelThree};
    drawNode(raster, product(perspective(), translation(0, 0, -distance)), 0, 0, 0, clockwise);
    Picture picture = raster.finish();
    coverCaptions(picture, scale);
    return picture;
}

Comparison compare(const Picture& expected, const std::vector<unsigned char>& rgb) {
    Comparison result;
    for (size_t i = 0; i < expected.promises.size() && 3 * i + 2 < rgb.size(); ++i) {
        if (expected.promises[i] == caption) {
            continue;
        }
        ++result.compared;
        if (std::equal(&rgb[3 * i], &rgb[3 * i + 3], &expected.rgb[3 * i])) {
            ++result.equal;
        } else if (expected.promises[i] == exact && result.unexplained++ == 0) {
            result.firstX = int(i % size_t(expected.width));
            result.firstY = int(i / size_t(expected.width));
        }
    }
    return result;
}

bool save(const Picture& picture, const std::string& colourPath, const std::string& promisePath) {
    std::vector<unsigned char> colour, promise;
    for (int y = picture.height - 1; y >= 0; --y) {
        const size_t row = size_t(y) * picture.width;
        colour.insert(colour.end(), picture.rgb.begin() + long(3 * row),
                      picture.rgb.begin() + long(3 * (row + picture.width)));
        for (size_t i = row; i < row + size_t(picture.width); ++i) {
            const unsigned char grey = picture.promises[i] == exact      ? 0
                                       : picture.promises[i] == nearEdge ? 128
                                                                         : 255;
            promise.insert(promise.end(), {grey, grey, grey});
        }
    }
    return rendertest::writePng(colourPath, picture.width, picture.height, colour) &&
           rendertest::writePng(promisePath, picture.width, picture.height, promise);
}

} // namespace reference
