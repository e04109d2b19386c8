#include "shell/shell.h"
#include "shell_fixture.h"

#include <string>

using platformstub::failOn;
using platformstub::indexOf;

namespace {

// The failures of window creation and of teardown, each step in turn, are swept together with
// every other call of a whole run in fault_sweep_test.cpp, against the tables in shell_fixture.h.

TEST_F(ShellTest, WindowedCreationGivesTheClientSizeAndACurrentContext) {
    ASSERT_EQ(createRenderWindow("Skorvane", 640, 480, 32, false), TRUE);

    const platformstub::Window& window = stub().windows.at(hWnd);
    const RECT frame = platformstub::frameFor(window.style);
    EXPECT_EQ(window.className, "OpenGL");
    EXPECT_EQ(window.title, "Skorvane");
    EXPECT_EQ(window.style, DWORD(WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN));
    EXPECT_EQ(window.exStyle, DWORD(WS_EX_APPWINDOW | WS_EX_WINDOWEDGE));
    EXPECT_EQ(window.x, 0);
    EXPECT_EQ(window.y, 0);
    EXPECT_EQ(window.width - (frame.right - frame.left), 640);
    EXPECT_EQ(window.height - (frame.bottom - frame.top), 480);
    EXPECT_TRUE(window.visible);
    EXPECT_EQ(stub().focus, hWnd);
    EXPECT_EQ(stub().foreground, hWnd);
    EXPECT_EQ(stub().current, hRC);
    EXPECT_EQ(stub().cursorCount, 0);
    EXPECT_TRUE(stub().messageBoxes.empty());

    const PIXELFORMATDESCRIPTOR& format = stub().lastPixelFormat;
    EXPECT_EQ(format.nSize, 40);
    EXPECT_EQ(format.nVersion, 1);
    EXPECT_EQ(format.dwFlags, DWORD(PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER));
    EXPECT_EQ(format.iPixelType, PFD_TYPE_RGBA);
    EXPECT_EQ(format.cDepthBits, 16);
    EXPECT_EQ(format.cAlphaBits + format.cAccumBits + format.cStencilBits + format.cAuxBuffers, 0);

    // The projection follows the requested client size once the context is current.
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 480);

    destroyRenderWindow();
    EXPECT_TRUE(platformstub::nothingLeftBehind());
    EXPECT_TRUE(handlesCleared());
    EXPECT_TRUE(stub().messageBoxes.empty());
    // The teardown's steps, in the table's order.
    int previous = indexOf("ShowWindow");
    for (const ReleaseFailure& step : teardownFailures) {
        const int at = indexOf(step.operation, previous + 1);
        EXPECT_GT(at, previous) << step.operation;
        previous = at;
    }
}

TEST_F(ShellTest, PixelFormatKeepsTheColourDepthOfTheFirstWindow) {
    ASSERT_EQ(createRenderWindow("Skorvane", 800, 600, 32, false), TRUE);
    destroyRenderWindow();
    ASSERT_EQ(createRenderWindow("Skorvane", 800, 600, 16, false), TRUE);
    EXPECT_EQ(stub().lastPixelFormat.cColorBits, 32);
    destroyRenderWindow();
}

TEST_F(ShellTest, FullscreenHidesTheCursorAndTeardownRestoresTheDesktop) {
    ASSERT_EQ(createRenderWindow("Skorvane", 800, 600, 32, true), TRUE);
    const auto change = platformstub::callsTo("ChangeDisplaySettingsA");
    ASSERT_EQ(change.size(), 1u);
    const DWORD fields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    EXPECT_EQ(change[0].args, (std::vector<std::string>{"800", "600", "32", std::to_string(fields),
                                                        "156", std::to_string(CDS_FULLSCREEN)}));
    const platformstub::Window& window = stub().windows.at(hWnd);
    EXPECT_EQ(window.style, DWORD(WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN));
    EXPECT_EQ(window.exStyle, DWORD(WS_EX_APPWINDOW));
    EXPECT_EQ(window.width, 800);
    EXPECT_EQ(window.height, 600);
    EXPECT_LT(stub().cursorCount, 0);

    destroyRenderWindow();
    EXPECT_TRUE(platformstub::nothingLeftBehind());
    EXPECT_LT(indexOf("ChangeDisplaySettingsA", indexOf("ShowWindow")),
              indexOf("wglDeleteContext"));
}

TEST_F(ShellTest, RefusedFullscreenCarriesOnWindowedWhenTheUserSaysYes) {
    failOn("ChangeDisplaySettingsA");
    platformstub::answerMessageBox(IDYES);
    ASSERT_EQ(createRenderWindow("Skorvane", 800, 600, 32, true), TRUE);

    ASSERT_EQ(stub().messageBoxes.size(), 1u);
    EXPECT_EQ(stub().messageBoxes[0].text, "The Requested Fullscreen Mode Is Not Supported By\n"
                                           "Your Video Card. Use Windowed Mode Instead?");
    EXPECT_EQ(stub().messageBoxes[0].caption, "Vrim GL");
    EXPECT_EQ(stub().messageBoxes[0].flags, UINT(MB_YESNO | MB_ICONEXCLAMATION));
    EXPECT_FALSE(fullscreen);
    EXPECT_EQ(stub().windows.at(hWnd).style,
              DWORD(WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN));
    EXPECT_EQ(stub().cursorCount, 0);

    destroyRenderWindow();
    EXPECT_EQ(platformstub::callsTo("ChangeDisplaySettingsA").size(), 1u);
    EXPECT_TRUE(platformstub::nothingLeftBehind());
}

TEST_F(ShellTest, RefusedFullscreenClosesWhenTheUserSaysNo) {
    failOn("ChangeDisplaySettingsA");
    platformstub::answerMessageBox(IDNO);
    EXPECT_EQ(createRenderWindow("Skorvane", 800, 600, 32, true), FALSE);

    ASSERT_EQ(stub().messageBoxes.size(), 2u);
    EXPECT_EQ(stub().messageBoxes[1].text, "Program Will Now Close.");
    EXPECT_EQ(stub().messageBoxes[1].caption, "ERROR");
    EXPECT_EQ(stub().messageBoxes[1].flags, UINT(MB_OK | MB_ICONERROR));
    EXPECT_EQ(indexOf("CreateWindowExA"), -1);
    // The class goes too, so a second attempt could register it again.
    EXPECT_TRUE(platformstub::nothingLeftBehind());
    EXPECT_FALSE(fullscreen);
}

TEST_F(ShellTest, DestroyWithNothingHeldOnlyUnregistersTheClass) {
    destroyRenderWindow();
    EXPECT_EQ(platformstub::callNames(),
              (std::vector<std::string>{"UnregisterClassA", "MessageBoxA"}));
    EXPECT_EQ(stub().messageBoxes.at(0).text, "Could Not Unregister Class.");
}

} // namespace
