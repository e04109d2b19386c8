// Shared by the platform layer's tests: a private Xvfb for the whole program, a window class whose
// procedure records every message it receives, a message pump, and the X tools (xdotool,
// xwininfo, the close-request helper) that play the user's and the window manager's part.
#pragma once

#include "platform/platform.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace platformtest {

struct Received {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Everything the recording procedure has seen, in order.
std::vector<Received>& received();
LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Pumps the queue (PeekMessageA, TranslateMessage, DispatchMessageA) until `done` holds or the
// wait limit passes; returns whether it held. WM_QUIT is recorded with a null window.
bool pumpUntil(const std::function<bool()>& done, double waitSeconds = 10.0);
bool sawMessage(UINT message, const std::function<bool(const Received&)>& match = nullptr);

// Runs a shell command and returns its standard output.
std::string commandOutput(const std::string& command);
// Whether any X window, override-redirect ones such as message boxes included, has this title.
bool xWindowExists(const std::string& title);
// The X window id of the top-level window with exactly this title, or an empty string.
std::string xWindowId(const std::string& title);
// Width and height of an X window as xwininfo reports them.
void xWindowSize(const std::string& id, int& width, int& height);

// The pixel format the program asks for (RGBA, 32 colour bits, double-buffered, drawn by OpenGL
// into a window), with this many depth bits.
PIXELFORMATDESCRIPTOR programPixelFormat(BYTE depthBits = 16);

// A registered class with the recording procedure and, in the tests that ask for it, a shown
// 800 x 600 window titled "Platform Test". Each case starts and ends with the layer shut down.
class WindowTest : public ::testing::Test {
  protected:
    static constexpr const char* className = "PlatformTest";
    static constexpr const char* title = "Platform Test";
    void SetUp() override;
    void TearDown() override;
    HWND createWindow(DWORD style, int width, int height);
    HWND window = nullptr;
};

} // namespace platformtest
