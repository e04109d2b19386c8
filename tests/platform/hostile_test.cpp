// What a hostile but realistic user runs into, each in a fresh process: no display (window
// creation fails, message boxes go to stderr) or a display that is not there, a GL context that X
// refuses (indirect rendering, which Xvfb does not offer), a message box ended by SIGTERM, and
// standard streams closed at start.
#include "platform/sdl/sdl_layer.h"
#include "platform/window_fixture.h"
#include "support/xvfb.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace platformtest {
namespace {

WNDCLASSA hostileClass() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = recordingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "Hostile";
    return wc;
}

HWND createHostileWindow() {
    const WNDCLASSA wc = hostileClass();
    RegisterClassA(&wc);
    return CreateWindowExA(0, wc.lpszClassName, "Hostile", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240,
                           nullptr, nullptr, wc.hInstance, nullptr);
}

// The program's own sequence: a window, then the failure's box, which must answer OK.
int windowCreationErrorBox() {
    if (createHostileWindow() != nullptr) {
        return 2;
    }
    const int answer =
        MessageBoxA(nullptr, "Window Creation Error.", "ERROR", MB_OK | MB_ICONEXCLAMATION);
    return answer == IDOK ? 0 : 3;
}

TEST(NoReachableDisplayDeathTest, TheFirstLineSaysWhatToDoOrWhichDisplayIsMissing) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // First on stderr: the box's text, then why; nothing of SDL's or Wayland's before it. Each
    // case is a fresh process, so the layer meets SDL for the first time there.
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            std::exit(windowCreationErrorBox());
        },
        ::testing::ExitedWithCode(0),
        "^ERROR: Window Creation Error\\. \\(no display: neither DISPLAY nor WAYLAND_DISPLAY is "
        "set.*\\./run\\.sh, which falls back to a virtual display");
    EXPECT_EXIT(
        {
            setenv("DISPLAY", ":97", 1);
            unsetenv("WAYLAND_DISPLAY");
            unsetenv("XDG_RUNTIME_DIR");
            std::exit(windowCreationErrorBox());
        },
        ::testing::ExitedWithCode(0),
        "^ERROR: Window Creation Error\\. \\(cannot open the X display \":97\" named by DISPLAY");
    // A question with no display, asked before any window as the fullscreen one is: on stderr,
    // answered No, the safe answer.
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            std::exit(MessageBoxA(nullptr, "Use Windowed Mode?", "Question",
                                  MB_YESNO | MB_ICONEXCLAMATION));
        },
        ::testing::ExitedWithCode(IDNO), "Question: Use Windowed Mode\\?");
}

std::atomic<bool> boxSeen{false};

// Sends SIGTERM to this process once an X window with this title is up.
void terminateWhenShown(const std::string& title) {
    std::thread([title] {
        for (int tries = 0; tries < 200 && !boxSeen; ++tries) {
            boxSeen = xWindowExists(title);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        kill(getpid(), SIGTERM);
    }).detach();
}

TEST(RefusedGlContextDeathTest, IsTheProgramsOwnFailureWithTheReasonAndItsBoxEndsOnSigterm) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            alarm(60); // a box that ignores SIGTERM would otherwise keep the test waiting forever
            setenv("LIBGL_ALWAYS_INDIRECT", "1", 1);
            HWND window = createHostileWindow();
            HDC dc = GetDC(window);
            const PIXELFORMATDESCRIPTOR format = programPixelFormat();
            if (window == nullptr || !SetPixelFormat(dc, ChoosePixelFormat(dc, &format), &format)) {
                std::exit(2);
            }
            if (wglCreateContext(dc) != nullptr) {
                std::exit(3);
            }
            DestroyWindow(window);
            // The shell reports the failure after its teardown, as here.
            terminateWhenShown("ERROR");
            const int answer = MessageBoxA(nullptr, "Can't Create A GL Rendering Context.", "ERROR",
                                           MB_OK | MB_ICONEXCLAMATION);
            // After the signal no box is shown any more; a question gets its safe answer.
            const int question =
                MessageBoxA(nullptr, "Use Windowed Mode Instead?", "Question", MB_YESNO);
            const bool ended = boxSeen && !xWindowExists("ERROR");
            std::exit(answer == IDOK && question == IDNO && ended ? 0 : 4);
        },
        ::testing::ExitedWithCode(0),
        "^ERROR: Can't Create A GL Rendering Context\\. \\(.*BadValue");
}

TEST(EightBitScreenDeathTest, WindowCreationErrorSaysTheColourDepthIsWhy) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            testsupport::Xvfb eightBitScreen(8);
            eightBitScreen.SetUp();
            terminateWhenShown("ERROR"); // the box, on that screen, would wait for a click
            const int result = windowCreationErrorBox();
            sdlplatform::shutdownLayer(); // while its display is still there
            eightBitScreen.TearDown();
            std::exit(result);
        },
        ::testing::ExitedWithCode(0),
        "^ERROR: Window Creation Error\\. \\(.*the screen has 8 bits per pixel");
}

TEST(ClosedStandardStreamsDeathTest, AreReopenedOnDevNullBeforeTheXConnectionTakesThem) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            close(0);
            close(1);
            close(2);
            if (createHostileWindow() == nullptr) {
                std::_Exit(2);
            }
            for (int descriptor = 0; descriptor <= 2; ++descriptor) {
                char path[64] = "";
                const std::string link = "/proc/self/fd/" + std::to_string(descriptor);
                if (readlink(link.c_str(), path, sizeof path - 1) < 0 ||
                    std::string(path) != "/dev/null") {
                    std::_Exit(10 + descriptor);
                }
            }
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(LayerShutdown, ForgetsClassesAndTheQuitMessage) {
    sdlplatform::shutdownLayer();
    const WNDCLASSA wc = hostileClass();
    ASSERT_NE(RegisterClassA(&wc), 0);
    PostQuitMessage(5);
    sdlplatform::shutdownLayer();
    MSG msg{};
    EXPECT_EQ(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE), FALSE);
    EXPECT_NE(RegisterClassA(&wc), 0) << "the class table starts empty again";
    sdlplatform::shutdownLayer();
}

} // namespace
} // namespace platformtest
