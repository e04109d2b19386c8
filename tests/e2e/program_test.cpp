// The real program under Xvfb, driven as a person would: tools/capture.sh runs it, holds the arrow
// keys and presses Escape (the e2e.capture test), and these tests read its screenshots with the
// picture geometry of support/cube_picture.h.
#include "render/reference_picture.h"
#include "support/cube_picture.h"
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
#include <utility>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using namespace testsupport;

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

// The window's first picture against the independent reference of the steady frame, as the
// offscreen frames are held to it (render/reference_tests.cpp): whatever the processor and GL
// path (X11 and GLX here, natively or under qemu-aarch64), the program draws that picture.
TEST_F(CapturedRun, FirstPictureEqualsTheIndependentReferenceOutsideTheCaptions) {
    const Image start = frame("start.ppm");
    ASSERT_EQ(start.width, 800);
    ASSERT_EQ(start.height, 600);
    // The reference's rows run bottom first, as glReadPixels returns them.
    const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(start.width) * 3;
    std::vector<unsigned char> rgb;
    for (int y = start.height - 1; y >= 0; --y) {
        const auto row = start.pixels.begin() + y * rowBytes;
        rgb.insert(rgb.end(), row, row + rowBytes);
    }
    const reference::Comparison result = reference::compare(reference::draw({0, 0, 0, 0}), rgb);
    ASSERT_GT(result.compared, 400000);
    EXPECT_GE(result.equal, result.compared * 99 / 100)
        << result.compared - result.equal << " of " << result.compared << " pixels differ";
    EXPECT_EQ(result.unexplained, 0)
        << "pixels that differ away from any edge, the first at " << result.firstX << ","
        << result.firstY << " (from the bottom left)";
}

TEST_F(CapturedRun, HoldingUpTurnsTheWholePictureClockwiseAndReleasingStopsIt) {
    // The turn grows a few degrees between two frames taken while Up is held, so a clockwise turn
    // shows as a small positive step modulo the cross's quarter-turn symmetry.
    // Only screenshots at most 12 presents apart (24 degrees, allowing a frame of lag) are judged:
    // the cross looks the same every 90 degrees, so a wider step could pass for either way.
    std::vector<Fit> fits;
    std::vector<std::pair<int, int>> presents; // the program's counts before and after each shot
    std::string released;
    for (int i = 1; i < 1000; ++i) {
        char name[48];
        std::snprintf(name, sizeof name, "frames/%03d-Up.ppm", i);
        if (std::ifstream(captureDir + "/" + name).good()) {
            fits.push_back(fitRootTurn(frame(name)));
            std::snprintf(name, sizeof name, "frames/%03d-Up.presents", i);
            std::istringstream counts(readFile(captureDir + "/" + name));
            std::pair<int, int> count{0, 0};
            counts >> count.first >> count.second;
            presents.push_back(count);
            continue;
        }
        std::snprintf(name, sizeof name, "frames/%03d-Up-released.ppm", i);
        released = name;
        break;
    }
    ASSERT_GE(fits.size(), 3u);
    int steps = 0;
    int judged = 0;
    for (size_t i = 1; i < fits.size(); ++i) {
        EXPECT_LE(fits[i].centres.notRed, 1) << "frame " << i << " is not the whole cross turned";
        if (presents[i].second - presents[i - 1].first > 12) {
            continue;
        }
        ++judged;
        const double step = std::fmod(fits[i].degrees - fits[i - 1].degrees + 90, 90);
        EXPECT_LT(step, 45) << "frame " << i << " turned anticlockwise or too far";
        steps += step > 0 ? 1 : 0;
    }
    EXPECT_GE(judged, 1) << "no two screenshots close enough to judge the turn";
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
    // Counted from the unmap on: the one frame under way when it reached the program may follow.
    const std::string whileMinimised = readFile(captureDir + "/presents-while-minimised");
    EXPECT_TRUE(whileMinimised == "0\n" || whileMinimised == "1\n") << whileMinimised;
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

    static std::string windowId() { return testsupport::findWindow("Skorvane", 60); }

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
    EXPECT_EQ(waitForExit(pid, 60), 0);
    EXPECT_TRUE(windowGone(id));
}

TEST_F(ProgramProcess, SigtermEndsItThroughTheCloseRequestWithExitCodeZero) {
    const pid_t pid = start(true);
    const std::string id = windowId();
    ASSERT_FALSE(id.empty()) << readFile(stderrPath);
    kill(pid, SIGTERM);
    EXPECT_EQ(waitForExit(pid, 60), 0);
    EXPECT_TRUE(windowGone(id));
}

TEST_F(ProgramProcess, WithoutADisplayItFailsAtOnceAndSaysWhy) {
    const pid_t pid = start(false);
    EXPECT_EQ(waitForExit(pid, 60), 1);
    const std::string errors = readFile(stderrPath);
    EXPECT_NE(errors.find("ERROR"), std::string::npos) << errors;
}

} // namespace

static auto* const xvfb = ::testing::AddGlobalTestEnvironment(new testsupport::Xvfb);
