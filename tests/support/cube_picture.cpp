#include "support/cube_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

namespace testsupport {

Image Image::crop(int left, int top, int cropWidth, int cropHeight) const {
    Image part;
    part.width = cropWidth;
    part.height = cropHeight;
    part.pixels.reserve(static_cast<size_t>(cropWidth) * cropHeight * 3);
    for (int y = top; y < top + cropHeight; ++y) {
        for (int x = left; x < left + cropWidth; ++x) {
            const Rgb c = at(x, y);
            part.pixels.insert(part.pixels.end(),
                               {static_cast<unsigned char>(c.r), static_cast<unsigned char>(c.g),
                                static_cast<unsigned char>(c.b)});
        }
    }
    return part;
}

Image readPpm(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    Image image;
    file >> magic >> image.width >> image.height >> maxValue;
    file.get();
    if (magic != "P6" || maxValue != 255) {
        ADD_FAILURE() << path << " is not an 8-bit binary PPM";
        return {};
    }
    image.pixels.resize(static_cast<size_t>(image.width) * image.height * 3);
    file.read(reinterpret_cast<char*>(image.pixels.data()),
              static_cast<std::streamsize>(image.pixels.size()));
    return image;
}

bool isRed(Rgb c) {
    return c.r > 190 && c.g < 70 && c.b < 70;
}
bool isGreen(Rgb c) {
    return c.g > 190 && c.r < 90 && c.b < 90;
}
bool isClearGrey(Rgb c) {
    return std::abs(c.r - 51) <= 2 && std::abs(c.g - 51) <= 2 && std::abs(c.b - 51) <= 2;
}

const double pi = 3.14159265358979323846;

Point project(Point p, double distance) {
    const double focal = 1 / std::tan(22.5 * pi / 180);
    const double aspect = 800.0 / 600.0;
    return {400 + 400 * focal / aspect * p.x / distance, 300 - 300 * focal * p.y / distance};
}

Centres cubeCentres(double degrees) {
    const Point arms[4] = {{1, 0}, {0, 1}, {0, -1}, {-1, 0}};
    const double a = degrees * pi / 180;
    auto turned = [a](Point p) {
        return Point{p.x * std::cos(a) + p.y * std::sin(a), -p.x * std::sin(a) + p.y * std::cos(a)};
    };
    Centres centres;
    centres.all.push_back({0, 0});
    for (const Point& one : arms) {
        const Point levelOne = {one.x * 12, one.y * 12};
        centres.all.push_back(turned(levelOne));
        for (const Point& two : arms) {
            const Point levelTwo = {levelOne.x + two.x * 6, levelOne.y + two.y * 6};
            centres.all.push_back(turned(levelTwo));
            for (const Point& three : arms) {
                // Level-2 nodes are drawn at 1/1.2, which shrinks their children's offsets.
                const Point levelThree = {levelTwo.x + three.x * 2.5 / 1.2,
                                          levelTwo.y + three.y * 2.5 / 1.2};
                centres.all.push_back(turned(levelThree));
                centres.smallest.push_back(turned(levelThree));
            }
        }
    }
    return centres;
}

CentreCount redCentres(const Image& image, const std::vector<Point>& centres) {
    CentreCount count;
    for (const Point& centre : centres) {
        const Point p = project(centre, 43);
        const int x = static_cast<int>(std::lround(p.x));
        const int y = static_cast<int>(std::lround(p.y));
        const bool underCaptions = y > 465 && x < 720;
        if (x < 0 || y < 0 || x >= image.width || y >= image.height || underCaptions) {
            continue;
        }
        ++(isRed(image.at(x, y)) ? count.red : count.notRed);
    }
    return count;
}

Fit fitRootTurn(const Image& image) {
    Fit best{0, {-1, 0}};
    for (double degrees = 0; degrees < 90; degrees += 0.5) {
        const CentreCount count = redCentres(image, cubeCentres(degrees).all);
        if (count.red > best.centres.red) {
            best = {degrees, count};
        }
    }
    return best;
}

// The coarse fit is good to a couple of degrees, which is a dozen pixels at the ends of the cross.
// The red faces of the four level-1 cubes (about 34 pixels wide, 12 units out) pin it to a fraction
// of a degree: the centroid of each face gives the direction of its arm.
double refineRootTurn(const Image& image, double coarseDegrees) {
    const double arms[4] = {0, 90, 270, 180}; // +x, +y, -y, -x before turning, anticlockwise
    double sum = 0;
    for (int k = 0; k < 4; ++k) {
        const Point expected = project(cubeCentres(coarseDegrees).all[1 + 21 * k], 43);
        double sx = 0, sy = 0;
        int count = 0;
        for (int y = static_cast<int>(expected.y) - 24; y <= static_cast<int>(expected.y) + 24;
             ++y) {
            for (int x = static_cast<int>(expected.x) - 24; x <= static_cast<int>(expected.x) + 24;
                 ++x) {
                if (std::hypot(x - expected.x, y - expected.y) <= 24 && isRed(image.at(x, y))) {
                    sx += x;
                    sy += y;
                    ++count;
                }
            }
        }
        if (count == 0) {
            return coarseDegrees;
        }
        const double direction = std::atan2(-(sy / count - 300), sx / count - 400) * 180 / pi;
        // A clockwise turn by t moves an arm at angle a to a - t.
        double turn = arms[k] - direction;
        turn -= 360 * std::round((turn - coarseDegrees) / 360);
        sum += turn;
    }
    return sum / 4;
}

} // namespace testsupport
