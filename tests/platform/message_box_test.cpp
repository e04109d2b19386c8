// The message box as the program meets it when something fails: a GL context and the heap kept
// busy by another thread, the box answered by clicking its own buttons or ended by SIGTERM, round
// after round, each in a fresh process; and the box's own process, which must hold none of the
// program's descriptors, and which belongs to the window it was given. SKORVANE_BOX_ROUNDS sets
// the number of rounds (./test.sh runs 50).
#include "platform/sdl/sdl_layer.h"
#include "platform/window_fixture.h"
#include "support/cube_picture.h"
#include "support/egl_context.h"

#include <X11/Xlib.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace platformtest {
namespace {

using Clock = std::chrono::steady_clock;

// Draws and reads back in a GL context of its own, churns the heap and opens X connections, on a
// thread of its own: every lock the GL driver, malloc and Xlib have is taken again and again
// while a box comes up, as when a failure's box is shown with the driver's threads at work.
class BusyGlThread {
  public:
    BusyGlThread() : worker([this] { run(); }) {}
    ~BusyGlThread() {
        stop = true;
        worker.join();
    }
    long laps() const { return lapCount; }

  private:
    void run() {
        const bool drawing = testsupport::makeEglContextCurrent(64, 64).empty();
        while (!stop) {
            std::vector<unsigned char> pixels(64 * 64 * 4);
            if (drawing) {
                glClearColor(0.2f, static_cast<float>(lapCount % 7) / 7.0f, 0.4f, 1.0f);
                glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
                glReadPixels(0, 0, 64, 64, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
            }
            std::vector<std::string> heap(64, std::string(200, 'x'));
            if (Display* display = XOpenDisplay(nullptr)) {
                XCloseDisplay(display);
            }
            ++lapCount;
        }
    }
    std::atomic<bool> stop{false};
    std::atomic<long> lapCount{0};
    std::thread worker;
};

// The X window with exactly this title, message boxes included, as xwininfo lists it (xdotool's
// search does not see them); empty when it is not there.
std::string boxWindow(const std::string& title) {
    std::istringstream tree(commandOutput("xwininfo -root -tree"));
    std::string line;
    while (std::getline(tree, line)) {
        if (line.find(" \"" + title + "\": ") != std::string::npos) {
            std::istringstream words(line);
            std::string id;
            words >> id;
            return id;
        }
    }
    return "";
}

bool waitFor(const std::function<bool()>& condition, double seconds) {
    const auto limit = Clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (Clock::now() > limit) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// The runs of at least 40 pixels of one colour other than `background` on a row, as the centre
// of each run followed up to the top edge of what it belongs to.
std::vector<testsupport::Point> runsOnRow(const testsupport::Image& box, int y) {
    const auto same = [](testsupport::Rgb a, testsupport::Rgb b) {
        return a.r == b.r && a.g == b.g && a.b == b.b;
    };
    const testsupport::Rgb background = box.at(0, 0);
    std::vector<testsupport::Point> centres;
    for (int x = 0; x < box.width;) {
        int end = x;
        while (end < box.width && same(box.at(end, y), box.at(x, y))) {
            ++end;
        }
        if (end - x >= 40 && !same(box.at(x, y), background)) {
            const int middle = (x + end) / 2;
            int top = y;
            while (top > 0 && !same(box.at(middle, top - 1), background)) {
                --top;
            }
            centres.push_back({static_cast<double>(middle), (top + y) / 2.0});
        }
        x = end;
    }
    return centres;
}

// The centres of a box's buttons, left to right: the runs on the lowest rows of the box that have
// any (the default button's outline reaches a row lower than the others).
std::vector<testsupport::Point> buttonCentres(const std::string& window) {
    const std::string picture = "/tmp/skorvane-box-" + std::to_string(getpid()) + ".ppm";
    if (std::system(("import -window " + window + " -depth 8 " + picture).c_str()) != 0) {
        return {};
    }
    const testsupport::Image box = testsupport::readPpm(picture);
    std::remove(picture.c_str());
    std::vector<testsupport::Point> centres;
    int lowest = -1;
    for (int y = box.height - 1; y > box.height / 2 && (lowest < 0 || y >= lowest - 3); --y) {
        const std::vector<testsupport::Point> row = runsOnRow(box, y);
        lowest = lowest < 0 && !row.empty() ? y : lowest;
        centres = row.size() > centres.size() ? row : centres;
    }
    return centres;
}

bool click(const std::string& window, testsupport::Point at) {
    const std::string command = "xdotool mousemove --window " + window + " " +
                                std::to_string(static_cast<int>(at.x)) + " " +
                                std::to_string(static_cast<int>(at.y)) + " click 1";
    return std::system(command.c_str()) == 0;
}

HWND windowWithContext(HGLRC& context) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "BoxOwner";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, wc.lpszClassName, "Box Owner", WS_OVERLAPPEDWINDOW, 0, 0, 320,
                                  240, nullptr, nullptr, wc.hInstance, nullptr);
    HDC dc = GetDC(window);
    const PIXELFORMATDESCRIPTOR format = programPixelFormat();
    context = nullptr;
    if (window == nullptr || !SetPixelFormat(dc, ChoosePixelFormat(dc, &format), &format) ||
        (context = wglCreateContext(dc)) == nullptr || !wglMakeCurrent(dc, context)) {
        return nullptr;
    }
    return window;
}

enum class Answer { firstButton, secondButton, closed, sigterm };

struct Round {
    bool yesNo;
    Answer answer;
    int expected;
};

// The kinds of round, in turn: the OK box clicked, closed and ended by SIGTERM, the question
// answered Yes and No, closed and ended by SIGTERM.
const Round rounds[] = {{false, Answer::firstButton, IDOK}, {true, Answer::firstButton, IDYES},
                        {true, Answer::secondButton, IDNO}, {true, Answer::closed, IDNO},
                        {false, Answer::sigterm, IDOK},     {false, Answer::closed, IDOK},
                        {true, Answer::sigterm, IDNO}};
constexpr int roundKinds = sizeof rounds / sizeof rounds[0];

// One box, answered as the round says by another thread once it is up. Returns what went wrong.
std::string playRound(int number, const Round& round) {
    const std::string caption = "ERROR " + std::to_string(number);
    std::string problem;
    std::thread user([&] {
        std::string window;
        if (!waitFor([&] { return !(window = boxWindow(caption)).empty(); }, 30)) {
            problem = "the box never came up";
            return; // the alarm ends the process
        }
        if (round.answer == Answer::sigterm) {
            kill(getpid(), SIGTERM);
            return;
        }
        if (round.answer == Answer::closed) { // as a window manager's close box does
            if (std::system((std::string(SKORVANE_SEND_CLOSE_REQUEST) + " " + window).c_str()) !=
                0) {
                problem = "no close request sent";
                kill(getpid(), SIGTERM);
            }
            return;
        }
        // Up is not yet drawn: the buttons are looked for until they are there.
        std::vector<testsupport::Point> buttons;
        const size_t offered = round.yesNo ? 2 : 1;
        waitFor([&] { return (buttons = buttonCentres(window)).size() == offered; }, 10);
        const size_t index = round.answer == Answer::firstButton ? 0 : 1;
        if (buttons.size() != offered || !click(window, buttons[index])) {
            problem = "found " + std::to_string(buttons.size()) + " buttons";
            kill(getpid(), SIGTERM); // so that the round ends anyway
        }
    });
    const int answer = MessageBoxA(nullptr, "Program Will Now Close.", caption.c_str(),
                                   (round.yesNo ? MB_YESNO : MB_OK) | MB_ICONERROR);
    user.join();
    if (!problem.empty()) {
        return problem;
    }
    if (answer != round.expected) {
        return "answered " + std::to_string(answer);
    }
    if (!waitFor([&] { return boxWindow(caption).empty(); }, 10)) {
        return "the box stayed up after its answer";
    }
    if (round.answer == Answer::sigterm) {
        // After the signal no box is shown: nobody would answer this one.
        if (MessageBoxA(nullptr, "Use Windowed Mode Instead?", "Question", MB_YESNO) != IDNO) {
            return "a question after SIGTERM got another answer than No";
        }
    }
    return "";
}

int roundCount() {
    const char* asked = std::getenv("SKORVANE_BOX_ROUNDS");
    return asked != nullptr && std::atoi(asked) > 0 ? std::atoi(asked) : roundKinds;
}

TEST(MessageBoxDeathTest, IsAnsweredByItsButtonsAndBySigtermWhileAGlThreadIsBusy) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            BusyGlThread busy;
            for (int number = 0; number < roundCount(); ++number) {
                alarm(60); // a box that deadlocked would otherwise keep the test waiting forever
                HGLRC context = nullptr;
                HWND window = windowWithContext(context);
                if (window == nullptr) {
                    std::fprintf(stderr, "no window with a GL context\n");
                    std::_Exit(2);
                }
                const Round& round = rounds[number % roundKinds];
                const std::string problem = playRound(number, round);
                if (!problem.empty()) {
                    std::fprintf(stderr, "round %d: %s\n", number, problem.c_str());
                    std::_Exit(1);
                }
                wglMakeCurrent(nullptr, nullptr);
                wglDeleteContext(context);
                DestroyWindow(window);
                if (round.answer == Answer::sigterm) {
                    sdlplatform::shutdownLayer(); // the next round starts as a fresh program
                }
            }
            std::_Exit(busy.laps() > 0 ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "");
}

// The descriptors of a process above the standard streams, with what each one is.
std::map<int, std::string> openDescriptors(pid_t process) {
    std::map<int, std::string> descriptors;
    const std::string folder = "/proc/" + std::to_string(process) + "/fd";
    if (DIR* listing = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(listing)) {
            const int descriptor = std::atoi(entry->d_name);
            char target[512] = "";
            const std::string link = folder + "/" + entry->d_name;
            if (descriptor > 2 && readlink(link.c_str(), target, sizeof target - 1) > 0 &&
                descriptor != dirfd(listing)) {
                descriptors[descriptor] = target;
            }
        }
        closedir(listing);
    }
    return descriptors;
}

// The box program this process started, and whatever it started itself: its process group.
std::vector<pid_t> boxProcesses() {
    // By process name, which the kernel cuts to 15 characters.
    std::istringstream box(
        commandOutput("pgrep -P " + std::to_string(getpid()) + " '^skorvane-messag'"));
    std::vector<pid_t> group;
    pid_t leader = 0;
    if (box >> leader) {
        std::istringstream members(commandOutput("pgrep -g " + std::to_string(leader)));
        for (pid_t member = 0; members >> member;) {
            group.push_back(member);
        }
    }
    return group;
}

bool closeOnExec(int descriptor) {
    std::ifstream info("/proc/self/fdinfo/" + std::to_string(descriptor));
    std::string key;
    std::string flags;
    while (info >> key >> flags && key != "flags:") {
    }
    return (std::stoul(flags, nullptr, 8) & 02000000) != 0; // O_CLOEXEC
}

// What is wrong with the descriptors while the box is up: any of this process's in one of the
// box's processes, and any that the layer or its libraries opened since `before` that an exec
// would not close.
std::string descriptorProblems(const std::map<int, std::string>& before,
                               const std::vector<int>& carelessOnes) {
    std::ostringstream problems;
    const std::map<int, std::string> program = openDescriptors(getpid());
    bool xConnection = false;
    for (const auto& [descriptor, target] : program) {
        xConnection = xConnection || target.rfind("socket:", 0) == 0;
        const bool careless =
            std::find(carelessOnes.begin(), carelessOnes.end(), descriptor) != carelessOnes.end();
        const bool inherited = before.count(descriptor) != 0; // from whoever started the test
        if (!careless && !inherited && !closeOnExec(descriptor)) {
            problems << "descriptor " << descriptor << " (" << target << ") is not close-on-exec\n";
        }
    }
    if (!xConnection) {
        problems << "the program has no socket open: the check proves nothing\n";
    }
    const std::vector<pid_t> boxes = boxProcesses();
    if (boxes.empty()) {
        problems << "no box process found\n";
    }
    for (pid_t box : boxes) {
        for (const auto& [descriptor, target] : openDescriptors(box)) {
            for (const auto& programs : program) {
                if (programs.second == target && target.rfind("/dev/", 0) != 0) {
                    problems << "box process " << box << " holds " << target << " as " << descriptor
                             << "\n";
                }
            }
        }
    }
    return problems.str();
}

// Shows a box owned by a window with a GL context, with some careless descriptors open; checks
// the descriptors and the box's owner while it is up, then ends it with SIGTERM.
int checkDescriptorsWhileABoxIsUp() {
    alarm(60);
    const std::map<int, std::string> before = openDescriptors(getpid());
    // What a careless library leaves: a file and a pipe opened without close-on-exec.
    char marker[] = "/tmp/skorvane-box-marker-XXXXXX";
    const int file = mkstemp(marker);
    int pipeEnds[2] = {-1, -1};
    HGLRC context = nullptr;
    HWND owner = windowWithContext(context);
    if (file < 0 || pipe(pipeEnds) != 0 || owner == nullptr) {
        return 2;
    }
    unlink(marker);
    std::string problems;
    std::thread user([&] {
        waitFor([] { return !boxWindow("Descriptors").empty(); }, 30);
        problems = descriptorProblems(before, {file, pipeEnds[0], pipeEnds[1]});
        // The window manager keeps a box above the window it is transient for.
        const std::string transientFor =
            commandOutput("xprop -id " + boxWindow("Descriptors") + " WM_TRANSIENT_FOR");
        const unsigned long ownerId = std::stoul(xWindowId("Box Owner")); // xdotool: decimal
        if (transientFor.find("window id # 0x") == std::string::npos ||
            std::stoul(transientFor.substr(transientFor.find("0x")), nullptr, 16) != ownerId) {
            problems += "the box is not transient for its owner " + std::to_string(ownerId) + ": " +
                        transientFor;
        }
        kill(getpid(), SIGTERM);
    });
    MessageBoxA(owner, "Program Will Now Close.", "Descriptors", MB_OK | MB_ICONERROR);
    user.join();
    std::fputs(problems.c_str(), stderr);
    return problems.empty() ? 0 : 1;
}

TEST(MessageBoxDeathTest, ItsProcessHoldsNoneOfTheProgramsDescriptors) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::_Exit(checkDescriptorsWhileABoxIsUp()), ::testing::ExitedWithCode(0), "");
}

TEST(MessageBoxProgram, RefusesAnyOtherCommandLineWithoutShowingABox) {
    // Unknown words, an owner that is not decimal or too big for an X id, too few or too many
    // arguments: each exits with "not answered" at once (a shown box would wait for a click).
    for (const char* arguments :
         {"", "ok error 0 Caption", "ok error 0 Caption Text more", "okay error 0 Caption Text",
          "ok fatal 0 Caption Text", "yes-no error 0x10 Caption Text",
          "ok error 4294967296 Caption Text", "ok error -1 Caption Text", "ok error '' C T"}) {
        const std::string command = std::string("timeout 20 ") + SKORVANE_BOX_PROGRAM + " " +
                                    arguments + " 2>&1; echo \"exit $?\"";
        const std::string output = commandOutput(command);
        EXPECT_NE(output.find("usage: skorvane-message-box"), std::string::npos) << arguments;
        EXPECT_NE(output.find("exit 0"), std::string::npos) << arguments << ": " << output;
    }
}

} // namespace
} // namespace platformtest
