// The window procedure of the "OpenGL" class. It only records state that the main loop polls
// (held keys, whether the window is minimised), forwards size changes to the projection and turns a
// close request into WM_QUIT; it never draws.
#include "shell/shell.h"

#include "render/render.h"
#include "shell/app_state.h"

namespace {

const WPARAM keyCount = sizeof(keys) / sizeof(keys[0]);

void recordKey(WPARAM code, bool held) {
    // Virtual-key codes are below 256; anything else must not index past the table.
    if (code < keyCount) {
        keys[code] = held;
    }
}

} // namespace

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ACTIVATE:
        // Only minimising stops rendering; losing the focus to another window does not.
        active = HIWORD(wParam) == 0;
        return 0;
    case WM_SYSCOMMAND:
        // Keeps the screen saver and monitor power-down away while the demonstration runs.
        if (wParam == SC_SCREENSAVE || wParam == SC_MONITORPOWER) {
            return 0;
        }
        break;
    case WM_CLOSE:
        // The window is destroyed by the teardown after the loop, not by DefWindowProcA.
        PostQuitMessage(0);
        return 0;
    case WM_KEYDOWN:
        recordKey(wParam, true);
        return 0;
    case WM_KEYUP:
        recordKey(wParam, false);
        return 0;
    case WM_SIZE:
        resizeScene(LOWORD(lParam), HIWORD(lParam));
        return 0;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
