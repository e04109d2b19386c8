// Windows under a real X server: creation messages and client size, keys typed with xdotool,
// resizing, the window manager's close request, unmap/map as minimise/restore, SIGTERM, and a
// window whose own procedure destroys it at any step of its creation.
#include "platform/sdl/sdl_layer.h"
#include "platform/window_fixture.h"

#include <csignal>
#include <cstdlib>

namespace platformtest {
namespace {

using WindowBehaviour = WindowTest;

bool isSize(const Received& r, int width, int height) {
    return LOWORD(r.lParam) == width && HIWORD(r.lParam) == height;
}

TEST_F(WindowBehaviour, OpensWithTheAskedClientAreaAndTellsTheProcedure) {
    ASSERT_NE(createWindow(WS_OVERLAPPEDWINDOW, 800, 600), nullptr);
    // Sent during creation and showing, before any GL context could exist.
    EXPECT_TRUE(sawMessage(WM_SIZE, [](const Received& r) { return isSize(r, 800, 600); }));
    EXPECT_TRUE(sawMessage(WM_ACTIVATE, [](const Received& r) { return HIWORD(r.wParam) == 0; }));

    const std::string id = xWindowId(title);
    ASSERT_FALSE(id.empty()) << "no X window titled " << title;
    int width = 0;
    int height = 0;
    xWindowSize(id, width, height);
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);
}

TEST_F(WindowBehaviour, TypedKeysArriveWithVirtualKeyCodesIncludingRepeats) {
    ASSERT_NE(createWindow(WS_OVERLAPPEDWINDOW, 800, 600), nullptr);
    // The keypad's arrows with NumLock off (as Xvfb starts) are the arrow keys, as on Windows.
    ASSERT_EQ(std::system("xdotool key Escape Up Down Left Right a 7 space Return F1 "
                          "KP_Up KP_Down KP_Left KP_Right"),
              0);
    const std::vector<WPARAM> expected = {VK_ESCAPE, VK_UP,   VK_DOWN,  VK_LEFT,   VK_RIGHT,
                                          'A',       '7',     VK_SPACE, VK_RETURN, VK_F1,
                                          VK_UP,     VK_DOWN, VK_LEFT,  VK_RIGHT};
    std::vector<WPARAM> downs;
    std::vector<WPARAM> ups;
    pumpUntil([&] {
        downs.clear();
        ups.clear();
        for (const Received& r : received()) {
            if (r.message == WM_KEYDOWN) {
                downs.push_back(r.wParam);
            } else if (r.message == WM_KEYUP) {
                ups.push_back(r.wParam);
            }
        }
        return ups.size() >= expected.size();
    });
    EXPECT_EQ(downs, expected);
    EXPECT_EQ(ups, expected);

    // Held down, the key repeats: several WM_KEYDOWN before its WM_KEYUP, marked as repeats.
    received().clear();
    ASSERT_EQ(std::system("xdotool keydown Right sleep 1 keyup Right"), 0);
    ASSERT_TRUE(pumpUntil([] { return sawMessage(WM_KEYUP); }));
    int presses = 0;
    int markedRepeats = 0;
    for (const Received& r : received()) {
        if (r.message == WM_KEYDOWN && r.wParam == VK_RIGHT) {
            ++presses;
            markedRepeats += (r.lParam >> 30) & 1;
        }
    }
    EXPECT_GE(presses, 3);
    EXPECT_EQ(markedRepeats, presses - 1);
}

TEST_F(WindowBehaviour, ResizedFromOutsideItTellsTheProcedureTheNewClientArea) {
    ASSERT_NE(createWindow(WS_OVERLAPPEDWINDOW, 800, 600), nullptr);
    const std::string id = xWindowId(title);
    ASSERT_FALSE(id.empty());
    pumpUntil([] { return false; }, 0.2);
    received().clear();
    ASSERT_EQ(std::system(("xdotool windowsize --sync " + id + " 640 480").c_str()), 0);
    EXPECT_TRUE(pumpUntil([] {
        return sawMessage(WM_SIZE, [](const Received& r) {
            return r.wParam == SIZE_RESTORED && isSize(r, 640, 480);
        });
    }));
}

TEST_F(WindowBehaviour, CloseRequestFromTheWindowManagerArrivesAsWmClose) {
    ASSERT_NE(createWindow(WS_OVERLAPPEDWINDOW, 800, 600), nullptr);
    const std::string id = xWindowId(title);
    ASSERT_FALSE(id.empty());
    ASSERT_EQ(std::system((std::string(SKORVANE_SEND_CLOSE_REQUEST) + " " + id).c_str()), 0);
    EXPECT_TRUE(pumpUntil([] { return sawMessage(WM_CLOSE); }));
    EXPECT_FALSE(xWindowId(title).empty()) << "a close request must not destroy the window";
}

TEST_F(WindowBehaviour, UnmapAndMapArriveAsMinimiseAndRestore) {
    ASSERT_NE(createWindow(WS_OVERLAPPEDWINDOW, 800, 600), nullptr);
    const std::string id = xWindowId(title);
    ASSERT_FALSE(id.empty());
    pumpUntil([] { return false; }, 0.2); // let the events of showing settle
    received().clear();

    ASSERT_EQ(std::system(("xdotool windowunmap --sync " + id).c_str()), 0);
    EXPECT_TRUE(pumpUntil([] {
        return sawMessage(WM_SIZE, [](const Received& r) {
            return r.wParam == SIZE_MINIMIZED && isSize(r, 0, 0);
        });
    }));
    EXPECT_TRUE(sawMessage(WM_ACTIVATE, [](const Received& r) { return HIWORD(r.wParam) != 0; }));

    received().clear();
    ASSERT_EQ(std::system(("xdotool windowmap --sync " + id).c_str()), 0);
    EXPECT_TRUE(pumpUntil(
        [] { return sawMessage(WM_SIZE, [](const Received& r) { return isSize(r, 800, 600); }); }));
    EXPECT_TRUE(sawMessage(WM_ACTIVATE, [](const Received& r) { return HIWORD(r.wParam) == 0; }));
}

TEST_F(WindowBehaviour, SigtermArrivesAsWmCloseSoTheProgramClosesItself) {
    ASSERT_NE(createWindow(WS_OVERLAPPEDWINDOW, 800, 600), nullptr);
    ASSERT_EQ(std::raise(SIGTERM), 0);
    EXPECT_TRUE(pumpUntil([] { return sawMessage(WM_CLOSE); }));
}

UINT destroyOn = 0; // the message on which the procedure below destroys its own window

LRESULT CALLBACK selfDestroyingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    recordingProc(window, message, wParam, lParam);
    if (message == destroyOn) {
        DestroyWindow(window);
    }
    return 0;
}

TEST(WindowDestroyedByItsOwnProcedure, IsGoneAtOnceAndHearsNothingMoreAtEveryStep) {
    sdlplatform::shutdownLayer();
    WNDCLASSA wc{};
    wc.lpfnWndProc = selfDestroyingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "SelfDestroying";
    ASSERT_NE(RegisterClassA(&wc), 0);
    // In the order a visible window's creation sends them, and WM_DESTROY, where destroying the
    // window again must not start a second destruction.
    for (const UINT message : {WM_CREATE, WM_SIZE, WM_SHOWWINDOW, WM_ACTIVATE, WM_DESTROY}) {
        destroyOn = message;
        received().clear();
        HWND window = CreateWindowExA(0, wc.lpszClassName, "Self Destroying",
                                      WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                      nullptr, wc.hInstance, nullptr);
        if (message == WM_DESTROY) {
            ASSERT_NE(window, nullptr);
            EXPECT_EQ(DestroyWindow(window), TRUE);
        } else {
            EXPECT_EQ(window, nullptr) << "destroyed on message " << message;
        }
        ASSERT_FALSE(received().empty());
        EXPECT_EQ(received().back().message, static_cast<UINT>(WM_DESTROY))
            << "a message after WM_DESTROY, destroyed on " << message;
        int destroys = 0;
        for (const Received& r : received()) {
            destroys += r.message == WM_DESTROY ? 1 : 0;
        }
        EXPECT_EQ(destroys, 1) << "destroyed on message " << message;
        EXPECT_FALSE(xWindowExists("Self Destroying")) << "destroyed on message " << message;
    }
    EXPECT_EQ(UnregisterClassA(wc.lpszClassName, wc.hInstance), TRUE);
    sdlplatform::shutdownLayer();
}

} // namespace
} // namespace platformtest
