#include "platform/window_fixture.h"

#include "platform/sdl/sdl_layer.h"
#include "support/xvfb.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace platformtest {

namespace {
auto* const xvfb = ::testing::AddGlobalTestEnvironment(new testsupport::Xvfb);
}

std::vector<Received>& received() {
    static std::vector<Received> messages;
    return messages;
}

LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    received().push_back({window, message, wParam, lParam});
    return DefWindowProcA(window, message, wParam, lParam);
}

bool pumpUntil(const std::function<bool()>& done, double waitSeconds) {
    const auto limit =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(waitSeconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit) {
            return false;
        }
        MSG msg{};
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                received().push_back({nullptr, msg.message, msg.wParam, msg.lParam});
            } else {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    return true;
}

bool sawMessage(UINT message, const std::function<bool(const Received&)>& match) {
    for (const Received& r : received()) {
        if (r.message == message && (!match || match(r))) {
            return true;
        }
    }
    return false;
}

std::string commandOutput(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe) != nullptr) {
            output += buffer;
        }
        pclose(pipe);
    }
    return output;
}

PIXELFORMATDESCRIPTOR programPixelFormat(BYTE depthBits) {
    PIXELFORMATDESCRIPTOR format{};
    format.nSize = sizeof format;
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    format.iPixelType = PFD_TYPE_RGBA;
    format.cColorBits = 32;
    format.cDepthBits = depthBits;
    format.iLayerType = PFD_MAIN_PLANE;
    return format;
}

bool xWindowExists(const std::string& title) {
    return commandOutput("xwininfo -root -tree").find("\"" + title + "\"") != std::string::npos;
}

std::string xWindowId(const std::string& title) {
    return testsupport::findWindow(title);
}

void xWindowSize(const std::string& id, int& width, int& height) {
    const std::string info = commandOutput("xwininfo -id " + id);
    width = height = -1;
    std::sscanf(info.c_str() + info.find("Width:"), "Width: %d", &width);
    std::sscanf(info.c_str() + info.find("Height:"), "Height: %d", &height);
}

void WindowTest::SetUp() {
    sdlplatform::shutdownLayer(); // whatever an earlier case left, each starts from nothing
    received().clear();
    WNDCLASSA wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    wc.lpfnWndProc = recordingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hIcon = LoadIconA(nullptr, IDI_WINLOGO);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = className;
    ASSERT_NE(RegisterClassA(&wc), 0);
}

HWND WindowTest::createWindow(DWORD style, int width, int height) {
    RECT rect{0, 0, width, height};
    AdjustWindowRectEx(&rect, style, FALSE, WS_EX_APPWINDOW);
    window = CreateWindowExA(WS_EX_APPWINDOW, className, title,
                             style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                             rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    if (window != nullptr) {
        ShowWindow(window, SW_SHOW);
        SetForegroundWindow(window);
        SetFocus(window);
    }
    return window;
}

void WindowTest::TearDown() {
    if (window != nullptr) {
        EXPECT_EQ(DestroyWindow(window), TRUE);
    }
    EXPECT_EQ(UnregisterClassA(className, GetModuleHandleA(nullptr)), TRUE);
    sdlplatform::shutdownLayer();
}

} // namespace platformtest
