// OpenGL on a window under Xvfb: pixel format and WGL context rules, swap pacing with interval 1,
// full-screen modes, and a window with a context destroyed by another X client.
#include "platform/window_fixture.h"

#include "support/xvfb.h"

#include <chrono>

namespace platformtest {
namespace {

using ContextBehaviour = WindowTest;

// The window's DC with its pixel format set and a current context, as the program makes them.
HGLRC makeCurrentContext(HDC dc) {
    const PIXELFORMATDESCRIPTOR format = programPixelFormat(16);
    const int index = ChoosePixelFormat(dc, &format);
    if (index == 0 || !SetPixelFormat(dc, index, &format)) {
        return nullptr;
    }
    HGLRC context = wglCreateContext(dc);
    return context != nullptr && wglMakeCurrent(dc, context) ? context : nullptr;
}

TEST_F(ContextBehaviour, PixelFormatAndContextFollowWglRules) {
    ASSERT_NE(createWindow(WS_OVERLAPPEDWINDOW, 800, 600), nullptr);
    HDC dc = GetDC(window);
    ASSERT_NE(dc, nullptr);
    PIXELFORMATDESCRIPTOR colourIndex = programPixelFormat(16);
    colourIndex.iPixelType = 1; // PFD_TYPE_COLORINDEX
    EXPECT_EQ(ChoosePixelFormat(dc, &colourIndex), 0);
    const PIXELFORMATDESCRIPTOR hugeDepth = programPixelFormat(64);
    EXPECT_EQ(ChoosePixelFormat(dc, &hugeDepth), 0);
    EXPECT_EQ(wglCreateContext(dc), nullptr) << "no context before the pixel format is set";

    HGLRC context = makeCurrentContext(dc);
    ASSERT_NE(context, nullptr);
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_GE(depthBits, 16);
    EXPECT_NE(glGetString(GL_VERSION), nullptr);

    EXPECT_EQ(wglMakeCurrent(nullptr, nullptr), TRUE);
    EXPECT_EQ(glGetString(GL_VERSION), nullptr) << "nothing is current any more";
    EXPECT_EQ(wglDeleteContext(context), TRUE);
    EXPECT_EQ(wglDeleteContext(context), FALSE);
    EXPECT_EQ(ReleaseDC(window, dc), 1);
}

TEST_F(ContextBehaviour, IntervalOnePacesPresentationToTheRefreshRate) {
    ASSERT_NE(createWindow(WS_OVERLAPPEDWINDOW, 800, 600), nullptr);
    HDC dc = GetDC(window);
    HGLRC context = makeCurrentContext(dc);
    ASSERT_NE(context, nullptr);
    ASSERT_NE(std::string(platformExtensionString()).find("WGL_EXT_swap_control"),
              std::string::npos);
    using SwapInterval = BOOL(WINAPI*)(int);
    auto swapInterval = reinterpret_cast<SwapInterval>(
        reinterpret_cast<void (*)()>(wglGetProcAddress("wglSwapIntervalEXT")));
    ASSERT_NE(swapInterval, nullptr);
    EXPECT_EQ(swapInterval(1), TRUE);

    EXPECT_EQ(SwapBuffers(dc), TRUE);
    const auto start = std::chrono::steady_clock::now();
    for (int frame = 0; frame < 60; ++frame) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        SwapBuffers(dc);
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    // 60 frames at a refresh of at most 60 Hz (the rate assumed when the display tells none).
    EXPECT_GE(elapsed.count(), 0.8);

    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(context);
}

TEST_F(ContextBehaviour, DestroyedByAnotherClientTheWindowIsClosedAndTornDownWithoutXErrors) {
    ASSERT_NE(createWindow(WS_OVERLAPPEDWINDOW, 800, 600), nullptr);
    HDC dc = GetDC(window);
    HGLRC context = makeCurrentContext(dc);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(SwapBuffers(dc), TRUE);
    const std::string id = xWindowId(title);
    ASSERT_FALSE(id.empty());
    ASSERT_EQ(std::system(("xdotool windowclose " + id).c_str()), 0); // XDestroyWindow
    EXPECT_TRUE(pumpUntil([] { return sawMessage(WM_CLOSE); }));
    // A frame still drawn, then the program's teardown; X's errors for the missing window must
    // not end the process.
    glClear(GL_COLOR_BUFFER_BIT);
    SwapBuffers(dc);
    EXPECT_EQ(wglMakeCurrent(nullptr, nullptr), TRUE);
    EXPECT_EQ(wglDeleteContext(context), TRUE);
    EXPECT_EQ(ReleaseDC(window, dc), 1);
}

TEST_F(ContextBehaviour, FullScreenModeIsOnlyTheDisplaysOwnAndCoversIt) {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmBitsPerPel = 32;
    mode.dmPelsWidth = testsupport::Xvfb::screenWidth - 1;
    mode.dmPelsHeight = testsupport::Xvfb::screenHeight - 1;
    EXPECT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_BADMODE);

    mode.dmPelsWidth = testsupport::Xvfb::screenWidth;
    mode.dmPelsHeight = testsupport::Xvfb::screenHeight;
    ASSERT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(ShowCursor(FALSE), -1);
    ASSERT_NE(createWindow(WS_POPUP, static_cast<int>(mode.dmPelsWidth),
                           static_cast<int>(mode.dmPelsHeight)),
              nullptr);
    const std::string id = xWindowId(title);
    ASSERT_FALSE(id.empty());
    int width = 0;
    int height = 0;
    xWindowSize(id, width, height);
    EXPECT_EQ(width, testsupport::Xvfb::screenWidth);
    EXPECT_EQ(height, testsupport::Xvfb::screenHeight);

    EXPECT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(ShowCursor(TRUE), 0);
}

} // namespace
} // namespace platformtest
