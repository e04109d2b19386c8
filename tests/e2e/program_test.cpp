// The real program under Xvfb, driven as a person would: tools/capture.sh runs it, holds the arrow
// keys and presses Escape (the e2e.capture test), and these tests read its screenshots. Pixel
// positions come from the projection (45 degrees vertical, 800 x 600, the root 43 units away),
// computed here from scratch.
#include "support/xvfb.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

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
};

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

struct Point {
    double x, y;
};

const double pi = 3.14159265358979323846;

// Window pixel (rows from the top) of a point in the plane of the cubes, `distance` units away.
Point project(Point p, double distance) {
    const double focal = 1 / std::tan(22.5 * pi / 180);
    const double aspect = 800.0 / 600.0;
    return {400 + 400 * focal / aspect * p.x / distance, 300 - 300 * focal * p.y / distance};
}

// Centres of the 85 cubes with the whole picture turned clockwise by `degrees` (levels 1 to 3 at
// their steady scales and unturned): the root, then each level-1 node with its subtree.
struct Centres {
    std::vector<Point> all;
    std::vector<Point> smallest;
};
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

// How many of the cube centres that can be seen show a red front face, and how many do not.
// Centres outside the window or under the captions (the lower-left band) cannot be seen.
struct CentreCount {
    int red = 0;
    int notRed = 0;
};
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

struct Fit {
    double degrees;
    CentreCount centres;
};
// The clockwise turn of the whole picture, modulo the cross's quarter-turn symmetry.
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

std::string readFile(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

const std::string captureDir = SKORVANE_E2E_OUTPUT "/capture";

// The capture itself runs once, as the CTest fixture these tests require.
class CapturedRun : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(std::ifstream(captureDir + "/exit-code").good())
            << "no capture in " << captureDir << "; see its program.log";
    }
    static Image frame(const std::string& name) { return readPpm(captureDir + "/" + name); }
};

TEST_F(CapturedRun, WindowIsTitledSkorvaneWith800By600ClientArea) {
    const std::string info = readFile(captureDir + "/window-info");
    EXPECT_NE(info.find("\"Skorvane\""), std::string::npos) << info;
    EXPECT_NE(info.find("Width: 800"), std::string::npos) << info;
    EXPECT_NE(info.find("Height: 600"), std::string::npos) << info;
}

TEST_F(CapturedRun, FirstPictureShowsTheCrossOfCubesLinesAndCaptions) {
    const Image start = frame("start.ppm");
    ASSERT_EQ(start.width, 800);
    ASSERT_EQ(start.height, 600);
    const Centres centres = cubeCentres(0);
    for (const Point& centre : centres.all) {
        const Point p = project(centre, 43);
        const int x = static_cast<int>(std::lround(p.x));
        const int y = static_cast<int>(std::lround(p.y));
        if (x < 0 || y < 0 || x >= 800 || y >= 600) {
            continue; // the outermost cubes of the vertical arm reach past the window
        }
        EXPECT_TRUE(isRed(start.at(x, y))) << "no red front face at (" << x << ", " << y << ")";
    }
    for (const Point empty : {Point{4, 4}, Point{-4, 4}, Point{4, -4}, Point{-4, -4}}) {
        const Point p = project(empty, 43);
        EXPECT_TRUE(isClearGrey(start.at(static_cast<int>(p.x), static_cast<int>(p.y))));
    }
    // The connector between the root and its +x child runs along the horizontal axis.
    const Point onLine = project({5, 0}, 43);
    const Rgb line = start.at(static_cast<int>(onLine.x), static_cast<int>(std::lround(onLine.y)));
    EXPECT_GT(line.r + line.g + line.b, 3 * 200);

    // Captions: each line starts at x = -1.6 and sits at y = -1.2, -1.0, -0.8, three units away.
    for (const double lineY : {-1.2, -1.0, -0.8}) {
        const Point origin = project({-1.6, lineY}, 3);
        int green = 0;
        for (int y = static_cast<int>(origin.y) - 14; y <= static_cast<int>(origin.y); ++y) {
            for (int x = static_cast<int>(origin.x); x < static_cast<int>(origin.x) + 200; ++x) {
                green += isGreen(start.at(x, y)) ? 1 : 0;
            }
        }
        EXPECT_GT(green, 100) << "caption line at y = " << lineY;
    }
}

TEST_F(CapturedRun, HoldingUpTurnsTheWholePictureClockwiseAndReleasingStopsIt) {
    // The turn grows a few degrees between two frames taken while Up is held, so a clockwise turn
    // shows as a small positive step modulo the cross's quarter-turn symmetry.
    std::vector<Fit> fits;
    std::string released;
    for (int i = 1; i < 1000; ++i) {
        char name[48];
        std::snprintf(name, sizeof name, "frames/%03d-Up.ppm", i);
        if (std::ifstream(captureDir + "/" + name).good()) {
            fits.push_back(fitRootTurn(frame(name)));
            continue;
        }
        std::snprintf(name, sizeof name, "frames/%03d-Up-released.ppm", i);
        released = name;
        break;
    }
    ASSERT_GE(fits.size(), 3u);
    int steps = 0;
    for (size_t i = 1; i < fits.size(); ++i) {
        EXPECT_LE(fits[i].centres.notRed, 1) << "frame " << i << " is not the whole cross turned";
        const double step = std::fmod(fits[i].degrees - fits[i - 1].degrees + 90, 90);
        EXPECT_LT(step, 45) << "frame " << i << " turned anticlockwise or too far";
        steps += step > 0 ? 1 : 0;
    }
    EXPECT_GT(steps, 0) << "the picture never turned";

    // Half a second after the key was let go the picture is still exactly the same.
    const Image afterUp = frame("after-Up.ppm");
    const Image later = frame(released);
    ASSERT_EQ(later.width, 800) << released;
    int differing = 0;
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 800; ++x) {
            const Rgb a = afterUp.at(x, y), b = later.at(x, y);
            differing += (a.r != b.r || a.g != b.g || a.b != b.b) ? 1 : 0;
        }
    }
    EXPECT_EQ(differing, 0);
    EXPECT_NE(fitRootTurn(afterUp).degrees, 0);
}

TEST_F(CapturedRun, HoldingLeftTurnsOnlyTheSmallestCubesInPlace) {
    const Image before = frame("after-Up.ppm");
    const Image after = frame("after-Left.ppm");
    const double root = refineRootTurn(before, fitRootTurn(before).degrees);
    EXPECT_NEAR(refineRootTurn(after, fitRootTurn(after).degrees), root, 0.5)
        << "Left turned the whole picture";
    const Centres centres = cubeCentres(root);
    EXPECT_LE(redCentres(after, centres.all).notRed, 1) << "cube centres moved";

    // Every changed pixel lies within a smallest cube's reach of its own centre.
    int changed = 0;
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 800; ++x) {
            const Rgb a = before.at(x, y), b = after.at(x, y);
            if (a.r == b.r && a.g == b.g && a.b == b.b) {
                continue;
            }
            ++changed;
            double nearest = 1e9;
            for (const Point& centre : centres.smallest) {
                const Point p = project(centre, 43);
                nearest = std::min(nearest, std::hypot(p.x - x, p.y - y));
            }
            EXPECT_LT(nearest, 22) << "pixel (" << x << ", " << y << ") changed";
            if (nearest >= 22) {
                return;
            }
        }
    }
    EXPECT_GT(changed, 500) << "the smallest cubes did not turn";
}

TEST_F(CapturedRun, NothingIsPresentedWhileMinimisedAndDrawingResumesWhenRestored) {
    EXPECT_EQ(readFile(captureDir + "/presents-while-minimised"), "0\n");
    const std::string after = readFile(captureDir + "/presents-after-restore");
    EXPECT_GE(std::atoi(after.c_str()), 3) << after;
}

TEST_F(CapturedRun, EscapeEndsTheProgramWithExitCodeZeroAndItsWindowGone) {
    EXPECT_EQ(readFile(captureDir + "/exit-code"), "0\n");
    EXPECT_FALSE(std::ifstream(captureDir + "/window-after-exit").good());
}

// Runs the program directly, for the ways of ending it other than Escape.
class ProgramProcess : public ::testing::Test {
  protected:
    pid_t start(bool withDisplay) {
        std::vector<std::string> environment;
        for (char** variable = environ; *variable != nullptr; ++variable) {
            const std::string entry = *variable;
            const bool isDisplay =
                entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("WAYLAND_DISPLAY=", 0) == 0;
            if (withDisplay || !isDisplay) {
                environment.push_back(entry);
            }
        }
        std::vector<char*> envp;
        for (std::string& entry : environment) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::string program = SKORVANE_PROGRAM;
        char* argv[] = {program.data(), nullptr};
        pid_t pid = -1;
        EXPECT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    static std::string windowId() {
        FILE* search =
            popen("timeout 10 xdotool search --sync --onlyvisible --name '^Skorvane$'", "r");
        char line[64] = {};
        const bool found = search != nullptr && std::fgets(line, sizeof line, search) != nullptr;
        if (search != nullptr) {
            pclose(search);
        }
        return found ? std::string(line, std::strcspn(line, "\n")) : std::string();
    }

    // The exit status, or -1 if the program is still running after `seconds` (then killed).
    static int waitForExit(pid_t pid, double seconds) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        int status = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            if (waitpid(pid, &status, WNOHANG) == pid) {
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -1;
    }

    static bool windowGone(const std::string& id) {
        return std::system(("xwininfo -id " + id + " >/dev/null 2>&1").c_str()) != 0;
    }

    const std::string stderrPath = SKORVANE_E2E_OUTPUT "/program-stderr.txt";
};

TEST_F(ProgramProcess, CloseRequestEndsItWithExitCodeZero) {
    const pid_t pid = start(true);
    const std::string id = windowId();
    ASSERT_FALSE(id.empty()) << readFile(stderrPath);
    ASSERT_EQ(std::system((std::string(SKORVANE_CLOSE_REQUEST_TOOL) + " " + id).c_str()), 0);
    EXPECT_EQ(waitForExit(pid, 10), 0);
    EXPECT_TRUE(windowGone(id));
}

TEST_F(ProgramProcess, SigtermEndsItThroughTheCloseRequestWithExitCodeZero) {
    const pid_t pid = start(true);
    const std::string id = windowId();
    ASSERT_FALSE(id.empty()) << readFile(stderrPath);
    kill(pid, SIGTERM);
    EXPECT_EQ(waitForExit(pid, 10), 0);
    EXPECT_TRUE(windowGone(id));
}

TEST_F(ProgramProcess, WithoutADisplayItFailsAtOnceAndSaysWhy) {
    const pid_t pid = start(false);
    EXPECT_EQ(waitForExit(pid, 10), 1);
    const std::string errors = readFile(stderrPath);
    EXPECT_NE(errors.find("ERROR"), std::string::npos) << errors;
}

} // namespace

static auto* const xvfb = ::testing::AddGlobalTestEnvironment(new testsupport::Xvfb);
