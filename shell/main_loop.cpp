// The entry point: opens the render window, sets up OpenGL and the scene, then polls, handling one
// window message per pass and drawing a frame only in a pass that found none. Window creation and
// drawing are elsewhere.
#include "shell/shell.h"

#include "render/render.h"
#include "shell/app_state.h"

#include <cstddef>
#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (!createRenderWindow("Skorvane", windowWidth, windowHeight, colorBits, fullscreen)) {
        // The failure has been shown already; the exit code must still say it failed.
        return 1;
    }
    if (!initScene()) {
        killFont();
        destroyRenderWindow();
        MessageBoxA(NULL, "Can't Allocate The Scene.", "ERROR", MB_OK | MB_ICONEXCLAMATION);
        return 1;
    }

    MSG msg = {};
    // Escape ends with 0 like a close request; only WM_QUIT carries a code of its own.
    int exitCode = 0;
    int done = 0;
    while (!done) {
        if (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                exitCode = static_cast<int>(msg.wParam);
                done = 1;
            } else {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        } else if (active) {
            if (keys[VK_ESCAPE]) {
                done = 1;
            } else {
                updateSpins();
                drawFrame();
#ifndef NDEBUG
                // Debug builds say when a frame raised a GL error (the soak test watches for it).
                const GLenum error = glGetError();
                if (error != GL_NO_ERROR) {
                    std::fprintf(stderr, "skorvane: GL error 0x%04x in a frame\n", error);
                }
#endif
                SwapBuffers(hDC);
            }
        }
        // Minimised and nothing queued: poll again at once rather than block.
    }

    // The font's display lists belong to the context, which must still be current.
    killFont();
    destroyRenderWindow();
    return exitCode;
}
