// The real program on native Wayland, under compositors these tests start themselves: weston with
// its X11 backend, nested in a private Xvfb, so that keys sent with XTEST reach the compositor's
// seat and screenshots of the X display show what weston composed (at scale 1 with no DISPLAY, as
// on a desktop without Xwayland; at scale 2 with DISPLAY set too, as on a desktop with it); and
// sway with its headless backend, whose own commands move the window between outputs of scale 1,
// 1.25, 1.5, 1.75 and 2 and close it, and whose outputs grim photographs. The compositor places the
// window where it likes, so the client area is found by its picture.
#include "render/reference_picture.h"
#include "support/cube_picture.h"
#include "support/xvfb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using namespace testsupport;
using namespace std::chrono_literals;

const std::string outputDir = SKORVANE_WAYLAND_OUTPUT;

std::string readFile(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Starts `argv` with the environment less WAYLAND_DISPLAY, XDG_RUNTIME_DIR and (unless kept)
// DISPLAY, with `extra` set, its stderr (and stdout) going to `logPath`.
pid_t spawnWith(std::vector<std::string> argv, const std::vector<std::string>& extra,
                const std::string& logPath, bool keepDisplay = false) {
    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        const std::string entry = *variable;
        const std::string name = entry.substr(0, entry.find('=') + 1);
        const bool replaced = std::any_of(extra.begin(), extra.end(), [&](const std::string& set) {
            return set.rfind(name, 0) == 0;
        });
        if (!replaced && (keepDisplay || name != "DISPLAY=") && name != "WAYLAND_DISPLAY=" &&
            name != "XDG_RUNTIME_DIR=") {
            environment.push_back(entry);
        }
    }
    environment.insert(environment.end(), extra.begin(), extra.end());
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    std::vector<char*> args;
    for (std::string& arg : argv) {
        args.push_back(arg.data());
    }
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, logPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The exit status (128 + signal when killed), or -1 if it still runs after `seconds` (then killed).
int waitForExit(pid_t pid, std::chrono::duration<double> seconds) {
    const auto deadline = std::chrono::steady_clock::now() + seconds;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(20ms);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

// One weston with its own runtime directory and socket; stopped when destroyed.
class Weston {
  public:
    Weston(const std::string& backend, const std::string& name, int scale = 1) {
        char pattern[] = "/tmp/skorvane-wayland-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            problem = "mkdtemp failed";
            return;
        }
        runtimeDir = pattern;
        socket = name;
        log = outputDir + "/" + name + ".log";
        pid = spawnWith({"weston", "--backend=" + backend, "--socket=" + socket, "--no-config",
                         "--idle-time=0", "--width=1024", "--height=768",
                         "--scale=" + std::to_string(scale)},
                        {"XDG_RUNTIME_DIR=" + runtimeDir}, log, true);
        if (pid < 0) {
            problem = "weston could not be run (is the weston package installed?)";
            return;
        }
        // Ready once its socket is there and it has started its desktop shell's client (its log
        // says so), and a second later; a window mapped earlier may not be placed by the shell.
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < deadline) {
            if (waitpid(pid, nullptr, WNOHANG) == pid) {
                pid = -1;
                problem = "weston ended at start: " + readFile(log);
                return;
            }
            if (std::filesystem::exists(runtimeDir + "/" + socket) &&
                readFile(log).find("launching '") != std::string::npos) {
                std::this_thread::sleep_for(1s);
                return;
            }
            std::this_thread::sleep_for(50ms);
        }
        problem = "weston did not open its socket within 20 s: " + readFile(log);
    }
    ~Weston() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitForExit(pid, 10s);
        }
        if (!runtimeDir.empty()) {
            std::filesystem::remove_all(runtimeDir);
        }
    }
    Weston(const Weston&) = delete;
    Weston& operator=(const Weston&) = delete;

    std::vector<std::string> clientEnvironment() const {
        return {"WAYLAND_DISPLAY=" + socket, "XDG_RUNTIME_DIR=" + runtimeDir};
    }

    std::string problem; // empty when it runs
    std::string runtimeDir;
    std::string socket;
    std::string log;
    pid_t pid = -1;
};

// The nested compositor the window tests share, started after Xvfb.
Weston* nested = nullptr;

class NestedWeston : public ::testing::Environment {
  public:
    void SetUp() override {
        nested = new Weston("x11-backend.so", "skorvane-nested");
        // The pointer rests on weston's panel, away from any window it could hide.
        std::system("xdotool mousemove 600 10");
    }
    void TearDown() override {
        delete nested;
        nested = nullptr;
    }
};

struct ClientArea {
    int left = -1, top = -1, width = 0, height = 0;
};

Image screenshot(const std::string& name) {
    const std::string path = outputDir + "/" + name + ".ppm";
    std::remove(path.c_str());
    std::system(("import -window root -depth 8 " + path + " 2>/dev/null").c_str());
    return readPpm(path);
}

// The program's client area: the rows and columns of the screen that are mostly its clear grey.
ClientArea findClientArea(const Image& screen) {
    ClientArea area;
    std::vector<int> rows;
    std::vector<int> columns(screen.width, 0);
    for (int y = 0; y < screen.height; ++y) {
        int inRow = 0;
        for (int x = 0; x < screen.width; ++x) {
            if (isClearGrey(screen.at(x, y))) {
                ++inRow;
                ++columns[x];
            }
        }
        if (inRow > 300) {
            rows.push_back(y);
        }
    }
    int right = -1;
    for (int x = 0; x < screen.width; ++x) {
        if (columns[x] > 200) {
            area.left = area.left < 0 ? x : area.left;
            right = x;
        }
    }
    if (rows.empty() || area.left < 0) {
        return {};
    }
    area.top = rows.front();
    area.height = rows.back() - rows.front() + 1;
    area.width = right - area.left + 1;
    return area;
}

// Changed pixels within `radius` of the given centres, in two pictures of the client area.
int changedNear(const Image& before, const Image& after, const std::vector<Point>& centres,
                double radius) {
    int changed = 0;
    for (const Point& centre : centres) {
        const Point p = project(centre, 43);
        for (int y = static_cast<int>(p.y - radius); y <= static_cast<int>(p.y + radius); ++y) {
            for (int x = static_cast<int>(p.x - radius); x <= static_cast<int>(p.x + radius); ++x) {
                const Rgb a = before.at(x, y), b = after.at(x, y);
                if (std::hypot(x - p.x, y - p.y) <= radius &&
                    (a.r != b.r || a.g != b.g || a.b != b.b)) {
                    ++changed;
                }
            }
        }
    }
    return changed;
}

bool samePicture(const Image& a, const Image& b) {
    return a.width == b.width && a.height == b.height && a.pixels == b.pixels;
}

// Under LeakSanitizer, what libdecor's plugin, SDL's Wayland driver and the libraries they use
// keep is suppressed by the function that allocated it (see the file), which needs the slow unwind
// through their frames (which deadlocks in llvmpipe's JIT: softpipe draws instead); the layer's own
// leaks on Wayland are reported.
std::vector<std::string> programEnvironment(std::vector<std::string> environment) {
    if (std::getenv("LSAN_OPTIONS") != nullptr) {
        environment.insert(environment.end(),
                           {"LSAN_OPTIONS=suppressions=" SKORVANE_WAYLAND_LSAN_SUPPRESSIONS
                            ":print_suppressions=0:fast_unwind_on_malloc=0:malloc_context_size=100",
                            "GALLIUM_DRIVER=softpipe", "DRAW_USE_LLVM=0"});
    }
    return environment;
}

// Asks until `holds` does, for up to a minute however busy the machine is (a sanitizer build on
// softpipe draws a frame of 1600 x 1200 in seconds).
template <typename Holds> bool withinAMinute(Holds holds) {
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (!holds()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(100ms);
    }
    return true;
}

// The captions' ink in the bottom left quarter of a client area, where no cube reaches: pure green
// pixels; blends of green and the clear grey, which the program never draws; green pixels whose
// 2 x 2 block is not all green (none where a half-size picture was enlarged); the tallest line.
struct CaptionInk {
    int green = 0, blended = 0, unblocked = 0, tallest = 0;
};
CaptionInk captionInk(const Image& client) {
    const auto green = [&](int x, int y) {
        const Rgb p = client.at(x, y);
        return p.r == 0 && p.g == 255 && p.b == 0;
    };
    CaptionInk ink;
    for (int y = client.height * 3 / 4, run = 0; y < client.height; ++y) {
        bool inked = false;
        for (int x = 0; x < client.width / 4; ++x) {
            const Rgb p = client.at(x, y);
            ink.blended += p.r == p.b && p.r > 0 && p.r < 51 && p.g > 51 ? 1 : 0;
            if (green(x, y)) {
                inked = true;
                ++ink.green;
                const int bx = x & ~1, by = y & ~1;
                const bool block = green(bx, by) && green(bx + 1, by) && green(bx, by + 1) &&
                                   green(bx + 1, by + 1);
                ink.unblocked += block ? 0 : 1;
            }
        }
        run = inked ? run + 1 : 0;
        ink.tallest = std::max(ink.tallest, run);
    }
    return ink;
}

class NativeWayland : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!nested->problem.empty()) {
            GTEST_SKIP() << "no nested compositor: " << nested->problem;
        }
        pid = spawnWith({SKORVANE_PROGRAM}, programEnvironment(nested->clientEnvironment()),
                        stderrPath);
        ASSERT_GT(pid, 0);
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        do {
            std::this_thread::sleep_for(200ms);
            area = findClientArea(screenshot("screen"));
        } while (area.width != 800 && std::chrono::steady_clock::now() < deadline);
        ASSERT_EQ(area.width, 800) << readFile(stderrPath);
        ASSERT_EQ(area.height, 600);
        // The first frames are drawn: the root cube's red face is in the middle.
        const Point root = project({0, 0}, 43);
        ASSERT_TRUE(waitForPicture("start", [&](const Image& picture) {
            return isRed(picture.at(static_cast<int>(root.x), static_cast<int>(root.y)));
        })) << readFile(stderrPath);
    }
    // Takes screenshots of the client area until `shows` holds for one (named `name`), for up to
    // 30 s however busy the machine is; false if it never did.
    template <typename Shows> bool waitForPicture(const std::string& name, Shows shows) {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        do {
            if (shows(client(name))) {
                return true;
            }
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }
    // The picture once it stands still: two screenshots in a row, a moment apart, alike.
    Image steadyPicture(const std::string& name) {
        Image last = client(name);
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(200ms);
            Image next = client(name);
            if (samePicture(last, next)) {
                return next;
            }
            last = next;
        }
        return last;
    }
    void TearDown() override {
        if (pid > 0) {
            waitForExit(pid, 0s);
        }
    }
    Image client(const std::string& name) {
        return screenshot(name).crop(area.left, area.top, area.width, area.height);
    }
    // The exit status after the program has been asked to end, and its stderr is clean.
    void expectCleanExit() {
        EXPECT_EQ(waitForExit(pid, 60s), 0);
        pid = -1;
        EXPECT_EQ(readFile(stderrPath), "");
    }

    const std::string stderrPath = outputDir + "/program-stderr.txt";
    pid_t pid = -1;
    ClientArea area;
};

TEST_F(NativeWayland, ShowsThePictureTurnsEachLevelByItsKeyAndEndsOnEscape) {
    const Image start = client("start");
    const Centres centres = cubeCentres(0);
    int visible = 0;
    for (const Point& centre : centres.all) {
        const Point p = project(centre, 43);
        const int x = static_cast<int>(std::lround(p.x));
        const int y = static_cast<int>(std::lround(p.y));
        if (x >= 0 && y >= 0 && x < 800 && y < 600) {
            ++visible;
            EXPECT_TRUE(isRed(start.at(x, y))) << "no red front face at (" << x << ", " << y << ")";
        }
    }
    EXPECT_GT(visible, 70);
    int green = 0;
    for (int y = 465; y < 600; ++y) {
        for (int x = 0; x < 400; ++x) {
            green += isGreen(start.at(x, y)) ? 1 : 0;
        }
    }
    EXPECT_GT(green, 300) << "no captions";

    // The levels by depth; a key turns its own level's cubes in place (and what hangs below
    // them) and leaves every level above exactly as it was. Smallest first, so that the centres
    // of the levels above have not moved yet when each key is checked.
    std::vector<Point> levels[4];
    for (size_t i = 0; i < centres.all.size(); ++i) {
        const size_t inArm = (i + 20) % 21; // 0 for a level-1 node, then 5 per level-2 subtree
        levels[i == 0                 ? 0
               : inArm == 0           ? 1
               : (inArm - 1) % 5 == 0 ? 2
                                      : 3]
            .push_back(centres.all[i]);
    }
    const double radius[4] = {25, 25, 16, 10};
    const struct {
        const char* key;
        int level;
    } presses[] = {{"Left", 3}, {"Down", 2}, {"Right", 1}, {"Up", 0}};
    Image before = start;
    for (const auto& press : presses) {
        // Held until its level has turned visibly, however slowly the program draws, then let
        // go; the picture is looked at once it stands still again.
        std::system((std::string("xdotool keydown ") + press.key).c_str());
        const bool turned = waitForPicture(std::string("held-") + press.key, [&](const Image& now) {
            return changedNear(before, now, levels[press.level], radius[press.level]) > 20;
        });
        std::system((std::string("xdotool keyup ") + press.key).c_str());
        EXPECT_TRUE(turned) << press.key;
        const Image after = steadyPicture(std::string("after-") + press.key);
        for (int level = 0; level < press.level; ++level) {
            EXPECT_EQ(changedNear(before, after, levels[level], radius[level]), 0)
                << press.key << " changed level " << level;
        }
        EXPECT_GT(changedNear(before, after, levels[press.level], radius[press.level]), 20)
            << press.key << " did not turn level " << press.level;
        before = after;
    }

    // Held until the program has gone: the loop polls, so a press and release between two
    // frames is missed.
    std::system("xdotool keydown Escape");
    expectCleanExit();
    std::system("xdotool keyup Escape");
}

TEST_F(NativeWayland, SigtermEndsIt) {
    kill(pid, SIGTERM);
    expectCleanExit();
}

// A Wayland desktop at 200 %, DISPLAY set for Xwayland too: the program runs natively (on X11 its
// window would be Xvfb's own, 800 pixels wide) at 1600 x 1200 device pixels, the reference picture
// at that size outside the captions, the captions rasterised at the device size.
TEST(HighDensityWayland, DrawnNativelyAtTheDevicePixelsWithSharpCaptions) {
    const Weston dense("x11-backend.so", "skorvane-dense", 2);
    ASSERT_TRUE(dense.problem.empty()) << dense.problem;
    const std::string errors = outputDir + "/dense-stderr.txt";
    const pid_t pid =
        spawnWith({SKORVANE_PROGRAM}, programEnvironment(dense.clientEnvironment()), errors, true);
    Image picture, last;
    ASSERT_TRUE(withinAMinute([&] {
        last = picture;
        const Image screen = screenshot("dense");
        const ClientArea area = findClientArea(screen);
        picture = screen.crop(area.left, area.top, area.width, area.height);
        return area.width == 1600 && area.height == 1200 && samePicture(last, picture);
    })) << picture.width
        << " wide; " << readFile(errors);
    std::vector<unsigned char> bottomUp;
    for (int y = picture.height - 1; y >= 0; --y) {
        const auto row = picture.pixels.begin() + 3L * y * picture.width;
        bottomUp.insert(bottomUp.end(), row, row + 3L * picture.width);
    }
    const reference::Comparison seen =
        reference::compare(reference::draw({0, 0, 0, 0}, 2), bottomUp);
    EXPECT_EQ(seen.unexplained, 0) << "first at " << seen.firstX << ", " << seen.firstY;
    const CaptionInk ink = captionInk(picture);
    EXPECT_EQ(ink.blended, 0);
    EXPECT_GT(ink.unblocked, ink.green / 10) << "the captions were enlarged";
    EXPECT_GT(ink.tallest, 24) << "a caption line is below 20 pixels tall at scale 1";
    kill(pid, SIGTERM);
    EXPECT_EQ(waitForExit(pid, 60s), 0);
    EXPECT_EQ(readFile(errors), "");
}

// sway on its headless backend (as nobody where the tests run as root, which it refuses).
class Sway {
  public:
    Sway() {
        char pattern[] = "/tmp/skorvane-sway-XXXXXX";
        runtimeDir = mkdtemp(pattern) != nullptr ? pattern : "/nonexistent";
        // Floating, the window keeps its 800 x 600 in the desktop's units on every output, and
        // without a title bar (whose edge is the program's clear grey) its client area is found
        // exactly.
        std::ofstream(runtimeDir + "/config")
            << "output HEADLESS-1 resolution 1024x768\n"
               "output HEADLESS-2 resolution 1280x960 scale 1.25\n"
               "output HEADLESS-3 resolution 1536x1152 scale 1.5\n"
               "output HEADLESS-4 resolution 1792x1344 scale 1.75\n"
               "output HEADLESS-5 resolution 2048x1536 scale 2\n"
               "for_window [title=\"Skorvane\"] floating enable, border none\n";
        std::vector<std::string> command = {"sway", "-c", runtimeDir + "/config"};
        const passwd* nobody = getpwnam("nobody");
        if (getuid() == 0 && nobody != nullptr &&
            chown(runtimeDir.c_str(), nobody->pw_uid, nobody->pw_gid) == 0) {
            command.insert(command.begin(),
                           {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"});
        }
        pid = spawnWith(command,
                        {"XDG_RUNTIME_DIR=" + runtimeDir, "WLR_BACKENDS=headless",
                         "WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1"},
                        outputDir + "/sway.log");
        withinAMinute([&] {
            for (const auto& entry : std::filesystem::directory_iterator(runtimeDir)) {
                const std::string name = entry.path().filename();
                if (name.rfind("sway-ipc.", 0) == 0) {
                    ipc = name;
                } else if (name.rfind("wayland-", 0) == 0 && name.find('.') == std::string::npos) {
                    socket = name;
                }
            }
            return !socket.empty() && !ipc.empty() && run("-t get_outputs");
        });
    }
    ~Sway() {
        kill(pid, SIGTERM);
        waitForExit(pid, 10s);
        std::filesystem::remove_all(runtimeDir);
    }
    std::vector<std::string> clientEnvironment() const {
        return {"WAYLAND_DISPLAY=" + socket, "XDG_RUNTIME_DIR=" + runtimeDir};
    }
    bool run(const std::string& arguments) const {
        return std::system(("XDG_RUNTIME_DIR=" + runtimeDir + " WAYLAND_DISPLAY=" + socket +
                            " SWAYSOCK=" + runtimeDir + "/" + ipc + " " +
                            (arguments.rfind("grim", 0) == 0 ? "" : "swaymsg ") + arguments +
                            " >/dev/null 2>&1")
                               .c_str()) == 0;
    }
    // The client area on an output, from grim's picture of it.
    Image client(const std::string& output) const {
        const std::string path = outputDir + "/sway-" + output + ".ppm";
        if (!run("grim -t ppm -o " + output + " " + path)) {
            return {};
        }
        const Image screen = readPpm(path);
        const ClientArea area = findClientArea(screen);
        return screen.crop(area.left, area.top, area.width, area.height);
    }

    std::string runtimeDir, socket, ipc;
    pid_t pid = -1;
};

// The connector lines' white in vertical runs between clear grey: GL draws a line 2 pixels wide as
// 2 pixels in each column at every scale; a picture the compositor enlarged or reduced has others
// (sway 1.7 now and then drops a row or two of a floating window at a fractional scale: hence
// "most").
struct LineRuns {
    int two = 0, other = 0;
};
LineRuns lineRuns(const Image& client) {
    LineRuns runs;
    for (int x = 0; x < client.width; ++x) {
        for (int y = 1, run = 0; y < client.height; ++y) {
            const Rgb p = client.at(x, y);
            if (p.r == 255 && p.g == 255 && p.b == 255) {
                ++run;
                continue;
            }
            if (run > 0 && isClearGrey(p) && isClearGrey(client.at(x, y - run - 1))) {
                ++(run == 2 ? runs.two : runs.other);
            }
            run = 0;
        }
    }
    return runs;
}

// Moved to outputs of fractional scales and of scale 2, the window draws on each at 800 x 600 times
// the scale in device pixels, its captions rasterised anew at the scale. At 2 its lines show it is
// shown 1 : 1. At fractional ones SDL 2.26 draws at the fractional scale or at 2, for the
// compositor to reduce, by the order in which it learnt of the output: only the size and captions
// are asked. The compositor's close command ends it with 0 and nothing on stderr.
TEST(ScriptedCompositor, MovedToOutputsOfOtherScalesItRedrawsAtEachAndItsCloseRequestEndsIt) {
    const Sway sway;
    ASSERT_FALSE(sway.socket.empty()) << readFile(outputDir + "/sway.log");
    const std::string errors = outputDir + "/sway-program-stderr.txt";
    const pid_t pid =
        spawnWith({SKORVANE_PROGRAM}, programEnvironment(sway.clientEnvironment()), errors, true);
    CaptionInk atOne;
    ASSERT_TRUE(withinAMinute([&] {
        return (atOne = captionInk(sway.client("HEADLESS-1"))).green > 300;
    })) << readFile(errors);
    int output = 1;
    for (const double scale : {1.25, 1.5, 1.75, 2.0}) {
        const std::string name = "HEADLESS-" + std::to_string(++output);
        ASSERT_TRUE(sway.run("create_output"));
        ASSERT_TRUE(sway.run("'[title=\"Skorvane\"] move container to output " + name + "'"));
        Image client;
        CaptionInk ink;
        LineRuns lines;
        // Until the program has drawn there, the compositor shows its last frame resized.
        EXPECT_TRUE(withinAMinute([&] {
            client = sway.client(name);
            ink = captionInk(client);
            lines = lineRuns(client);
            return client.width == lround(800 * scale) && client.height == lround(600 * scale) &&
                   ink.tallest > (scale - 0.2) * atOne.tallest && ink.blended == 0 &&
                   lines.two > 100 && (scale != 2 || lines.other == 0);
        })) << "at "
            << scale << ": " << client.width << " x " << client.height << ", captions "
            << ink.tallest << " rows tall (" << atOne.tallest << " at 1), " << ink.blended
            << " blended pixels, " << lines.other << " of " << lines.two + lines.other
            << " line runs not 2 pixels";
    }
    ASSERT_TRUE(sway.run("'[title=\"Skorvane\"] kill'"));
    EXPECT_EQ(waitForExit(pid, 60s), 0);
    EXPECT_EQ(readFile(errors), "");
}

// Compositors the program cannot use: it says so itself, as it does for an X display it cannot
// open, and ends with 1.
class WaylandRefused : public ::testing::Test {
  protected:
    void expectOwnMessage(const std::vector<std::string>& environment,
                          const std::string& mustName) {
        const std::string stderrPath = outputDir + "/refused-stderr.txt";
        const pid_t pid = spawnWith({SKORVANE_PROGRAM}, environment, stderrPath);
        ASSERT_GT(pid, 0);
        EXPECT_EQ(waitForExit(pid, 20s), 1);
        const std::string errors = readFile(stderrPath);
        EXPECT_EQ(errors.rfind("ERROR: Window Creation Error. (", 0), 0u) << errors;
        EXPECT_NE(errors.find(mustName), std::string::npos) << errors;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    }
};

TEST_F(WaylandRefused, UnreachableCompositor) {
    char pattern[] = "/tmp/skorvane-wayland-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    expectOwnMessage({"WAYLAND_DISPLAY=skorvane-nobody", std::string("XDG_RUNTIME_DIR=") + pattern},
                     "\"skorvane-nobody\"");
    std::filesystem::remove_all(pattern);
}

TEST_F(WaylandRefused, CompositorWithoutASeat) {
    const Weston headless("headless-backend.so", "skorvane-headless");
    if (!headless.problem.empty()) {
        GTEST_SKIP() << "no headless compositor: " << headless.problem;
    }
    expectOwnMessage(headless.clientEnvironment(), "no seat");
    // With DISPLAY set as well, X11 is the choice; a failure there says why.
    std::vector<std::string> environment = headless.clientEnvironment();
    environment.push_back("DISPLAY=:999");
    expectOwnMessage(environment, "(X11 at DISPLAY, not native Wayland: the Wayland compositor");
    const pid_t pid = spawnWith({SKORVANE_PROGRAM}, headless.clientEnvironment(),
                                outputDir + "/fallback-stderr.txt", true);
    EXPECT_NE(findWindow("Skorvane", 20), "") << "no window on the X display";
    kill(pid, SIGTERM);
    EXPECT_EQ(waitForExit(pid, 60s), 0);
}

} // namespace

// Large enough for weston at scale 2.
static auto* const xvfb =
    ::testing::AddGlobalTestEnvironment(new testsupport::Xvfb(24, 2048, 1536));
static auto* const weston = ::testing::AddGlobalTestEnvironment(new NestedWeston);
