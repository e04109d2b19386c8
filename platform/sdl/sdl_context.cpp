// OpenGL on a window: ChoosePixelFormat and SetPixelFormat, the WGL context calls over SDL's GL
// contexts, SwapBuffers with the layer's own swap pacing, wglGetProcAddress, the layer's
// wglSwapIntervalEXT and its extension string. Layered planes, overlays and the
// WGL_ARB_pixel_format family are not offered.
#include "platform/sdl/sdl_internal.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace sdlplatform {

namespace {

// The only pixel format a window has: the GL configuration it was created with.
constexpr int windowPixelFormat = 1;
constexpr int unknownRefreshRate = 60;

using Clock = std::chrono::steady_clock;

std::vector<HGLRC__*>& liveContexts() {
    static std::vector<HGLRC__*> contexts;
    return contexts;
}

HGLRC__* liveContext(HGLRC context) {
    const auto& contexts = liveContexts();
    return std::find(contexts.begin(), contexts.end(), context) != contexts.end() ? context
                                                                                  : nullptr;
}

HGLRC currentContext = nullptr;

int recordedSwapInterval = 0; // 0 until the program asks: the driver's default, unpaced
bool havePreviousPresent = false;
Clock::time_point previousPresent;

HWND__* windowOfDc(HDC dc) {
    return liveDc(dc) ? liveWindow(dc->window) : nullptr;
}

bool sdlContextCurrent() {
    return videoAttempted() && videoReady() && SDL_GL_GetCurrentContext() != nullptr;
}

int refreshRate(SDL_Window* window) {
    SDL_DisplayMode mode{};
    const int display = SDL_GetWindowDisplayIndex(window);
    if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0 || mode.refresh_rate <= 0) {
        return unknownRefreshRate;
    }
    return mode.refresh_rate;
}

// Drivers that ignore the swap interval (llvmpipe under Xvfb runs at several hundred frames a
// second) would make the demo spin many times too fast. A present that comes sooner than the
// interval allows is held back until it is due; a driver that already waited for the vertical
// blank arrives late enough that nothing is slept.
void pacePresentation(SDL_Window* window) {
    if (recordedSwapInterval <= 0) {
        havePreviousPresent = false;
        return;
    }
    const auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
        static_cast<double>(recordedSwapInterval) / refreshRate(window)));
    const Clock::time_point now = Clock::now();
    if (havePreviousPresent && now < previousPresent + period) {
        // Counting from when this frame was due, not from when the sleep ended, keeps the cadence
        // at the refresh rate instead of losing the sleep's overshoot every frame.
        previousPresent += period;
        std::this_thread::sleep_until(previousPresent);
    } else {
        previousPresent = now; // late or first: the cadence starts again from here
    }
    havePreviousPresent = true;
}

BOOL WINAPI swapIntervalEXT(int interval) {
    if (interval < 0) {
        return FALSE;
    }
    recordedSwapInterval = interval;
    havePreviousPresent = false;
    if (sdlContextCurrent()) {
        SDL_GL_SetSwapInterval(interval); // a driver that honours it waits by itself
    }
    return TRUE;
}

int WINAPI getSwapIntervalEXT() {
    return recordedSwapInterval;
}

// Entry points of any signature travel as PROC, as with WGL; void (*)() is the neutral step.
template <typename Function> PROC asProc(Function* function) {
    return reinterpret_cast<PROC>(reinterpret_cast<void (*)()>(function));
}

} // namespace

void applyRecordedSwapInterval() {
    if (recordedSwapInterval > 0 && sdlContextCurrent()) {
        SDL_GL_SetSwapInterval(recordedSwapInterval);
    }
}

} // namespace sdlplatform

using namespace sdlplatform;

int WINAPI ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* format) {
    const HWND__* window = windowOfDc(dc);
    if (window == nullptr || format == nullptr || format->iPixelType != PFD_TYPE_RGBA) {
        return 0;
    }
    // The window is RGB 8-8-8, double-buffered, with the depth and stencil it was created with;
    // a request for more than that cannot be met. Alpha is not promised by every visual.
    if (format->cColorBits > 32 || format->cAlphaBits > 0 ||
        format->cDepthBits > window->depthBits || format->cStencilBits > window->stencilBits) {
        return 0;
    }
    return windowPixelFormat;
}

BOOL WINAPI SetPixelFormat(HDC dc, int index, const PIXELFORMATDESCRIPTOR* format) {
    HWND__* window = windowOfDc(dc);
    if (window == nullptr || index != windowPixelFormat) {
        return FALSE;
    }
    if (window->pixelFormat != 0) {
        return window->pixelFormat == index ? TRUE : FALSE; // a window's format is set once
    }
    window->pixelFormat = index;
    window->formatDepthBits = format != nullptr ? format->cDepthBits : 0;
    return TRUE;
}

HGLRC WINAPI wglCreateContext(HDC dc) {
    HWND__* window = windowOfDc(dc);
    if (window == nullptr || window->pixelFormat == 0) {
        return nullptr;
    }
    // SDL makes a new context current; WGL does not, so the previous one is put back.
    SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext previousContext = SDL_GL_GetCurrentContext();
    SDL_GLContext context = SDL_GL_CreateContext(window->sdlWindow);
    if (context == nullptr) {
        return nullptr;
    }
    int depthBits = 0;
    int doubleBuffered = 0;
    SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &depthBits);
    SDL_GL_GetAttribute(SDL_GL_DOUBLEBUFFER, &doubleBuffered);
    SDL_GL_MakeCurrent(previousWindow, previousContext);
    if (depthBits < window->formatDepthBits || !doubleBuffered) {
        SDL_GL_DeleteContext(context);
        return nullptr;
    }
    auto* record = new HGLRC__;
    record->context = context;
    liveContexts().push_back(record);
    return record;
}

BOOL WINAPI wglMakeCurrent(HDC dc, HGLRC context) {
    if (context == nullptr) {
        if (currentContext != nullptr && videoReady()) {
            SDL_GL_MakeCurrent(nullptr, nullptr);
        }
        currentContext = nullptr;
        return TRUE;
    }
    HWND__* window = windowOfDc(dc);
    if (window == nullptr || window->pixelFormat == 0 || liveContext(context) == nullptr ||
        SDL_GL_MakeCurrent(window->sdlWindow, context->context) != 0) {
        return FALSE;
    }
    currentContext = context;
    applyRecordedSwapInterval();
    return TRUE;
}

BOOL WINAPI wglDeleteContext(HGLRC context) {
    if (liveContext(context) == nullptr) {
        return FALSE;
    }
    if (context == currentContext) {
        wglMakeCurrent(nullptr, nullptr); // WGL releases a current context before deleting it
    }
    auto& contexts = liveContexts();
    contexts.erase(std::remove(contexts.begin(), contexts.end(), context), contexts.end());
    SDL_GL_DeleteContext(context->context);
    delete context;
    return TRUE;
}

BOOL WINAPI SwapBuffers(HDC dc) {
    HWND__* window = windowOfDc(dc);
    if (window == nullptr || window->pixelFormat == 0) {
        return FALSE;
    }
    SDL_GL_SwapWindow(window->sdlWindow);
    pacePresentation(window->sdlWindow);
    return TRUE;
}

PROC WINAPI wglGetProcAddress(LPCSTR name) {
    if (name == nullptr) {
        return nullptr;
    }
    if (std::strcmp(name, "wglSwapIntervalEXT") == 0) {
        return asProc(&swapIntervalEXT);
    }
    if (std::strcmp(name, "wglGetSwapIntervalEXT") == 0) {
        return asProc(&getSwapIntervalEXT);
    }
    if (!sdlContextCurrent()) {
        return nullptr; // as with WGL, entry points come from a current context
    }
    return asProc(reinterpret_cast<void (*)()>(SDL_GL_GetProcAddress(name)));
}

const char* platformExtensionString() {
    return "WGL_EXT_swap_control";
}
