// OpenGL on a window: ChoosePixelFormat and SetPixelFormat, the WGL context calls over SDL's GL
// contexts, SwapBuffers with the pacing of swap_pacing.h, wglGetProcAddress and the layer's
// wglSwapIntervalEXT (its extension string is win32_common's). Layered planes, overlays and the
// WGL_ARB_pixel_format family are not offered.
#include "platform/sdl/sdl_internal.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace sdlplatform {

namespace {

using Clock = std::chrono::steady_clock;

HGLRC__* liveContext(HGLRC context) {
    const auto& contexts = layer().contexts;
    return context != nullptr &&
                   std::find(contexts.begin(), contexts.end(), context) != contexts.end()
               ? context
               : nullptr;
}

using win32common::windowOfDc;

bool sdlContextCurrent() {
    return videoAttempted() && videoReady() && SDL_GL_GetCurrentContext() != nullptr;
}

// SDL's whole-number rate of the window's display, or 0 when the display does not say.
int refreshRate(SDL_Window* window) {
    SDL_DisplayMode mode{};
    const int display = SDL_GetWindowDisplayIndex(window);
    if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0 || mode.refresh_rate <= 0) {
        return 0;
    }
    return mode.refresh_rate;
}

double secondsNow() {
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

// The decision starts when the interval is set; the rate is read at the first swap, once the
// window is on its display.
void pacePresentation(SDL_Window* window) {
    SwapPacing& pacing = layer().pacing;
    if (pacing.interval != layer().swapInterval) {
        startPacing(pacing, layer().swapInterval, refreshRate(window));
    }
    const double now = secondsNow();
    const double until = afterSwap(pacing, now);
    if (until > now) {
        std::this_thread::sleep_for(std::chrono::duration<double>(until - now));
    }
}

} // namespace

void applyRecordedSwapInterval() {
    if (layer().swapInterval > 0 && sdlContextCurrent()) {
        SDL_GL_SetSwapInterval(layer().swapInterval);
    }
}

void releaseContexts() {
    LayerState& state = layer();
    if (state.currentContext != nullptr) {
        SDL_GL_MakeCurrent(nullptr, nullptr);
        state.currentContext = nullptr;
    }
    for (HGLRC__* context : state.contexts) {
        SDL_GL_DeleteContext(context->context);
        delete context;
    }
    state.contexts.clear();
}

} // namespace sdlplatform

using namespace sdlplatform;
using win32common::choosePixelFormat;

int WINAPI ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* format) {
    // The window's one format is the GL configuration it was created with.
    const HWND__* window = windowOfDc(dc);
    return window != nullptr ? choosePixelFormat(format, window->depthBits, window->stencilBits)
                             : 0;
}

HGLRC WINAPI wglCreateContext(HDC dc) {
    clearFailureReason();
    HWND__* window = windowOfDc(dc);
    if (window == nullptr || window->pixelFormat.index == 0) {
        setFailureReason(window == nullptr ? "the device context has no window"
                                           : "the window has no pixel format yet");
        return nullptr;
    }
    // SDL makes a new context current; WGL does not, so the previous one is put back.
    SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext previousContext = SDL_GL_GetCurrentContext();
    SDL_GLContext context = SDL_GL_CreateContext(window->sdlWindow);
    if (context == nullptr) {
        setFailureReason(sdlFailure("SDL could not create an OpenGL context"));
        return nullptr;
    }
    int depthBits = 0;
    int doubleBuffered = 0;
    SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &depthBits);
    SDL_GL_GetAttribute(SDL_GL_DOUBLEBUFFER, &doubleBuffered);
    SDL_GL_MakeCurrent(previousWindow, previousContext);
    if (depthBits < window->pixelFormat.depthBits || !doubleBuffered) {
        SDL_GL_DeleteContext(context);
        setFailureReason("the OpenGL context has " + std::to_string(depthBits) +
                         " depth bits and is " + (doubleBuffered ? "" : "not ") +
                         "double-buffered");
        return nullptr;
    }
    auto* record = new HGLRC__;
    record->context = context;
    layer().contexts.push_back(record);
    return record;
}

BOOL WINAPI wglMakeCurrent(HDC dc, HGLRC context) {
    LayerState& state = layer();
    if (context == nullptr) {
        if (state.currentContext != nullptr && videoReady()) {
            SDL_GL_MakeCurrent(nullptr, nullptr);
        }
        state.currentContext = nullptr;
        return TRUE;
    }
    clearFailureReason();
    HWND__* window = windowOfDc(dc);
    if (window == nullptr || window->pixelFormat.index == 0 || liveContext(context) == nullptr) {
        setFailureReason("the device context or the rendering context is not a live one");
        return FALSE;
    }
    if (SDL_GL_MakeCurrent(window->sdlWindow, context->context) != 0) {
        setFailureReason(sdlFailure("SDL could not make the OpenGL context current"));
        return FALSE;
    }
    state.currentContext = context;
    applyRecordedSwapInterval();
    return TRUE;
}

BOOL WINAPI wglDeleteContext(HGLRC context) {
    if (liveContext(context) == nullptr) {
        return FALSE;
    }
    if (context == layer().currentContext) {
        wglMakeCurrent(nullptr, nullptr); // WGL releases a current context before deleting it
    }
    auto& contexts = layer().contexts;
    contexts.erase(std::remove(contexts.begin(), contexts.end(), context), contexts.end());
    SDL_GL_DeleteContext(context->context);
    delete context;
    return TRUE;
}

void win32common::present(HWND window) {
    SDL_GL_SwapWindow(window->sdlWindow);
    pacePresentation(window->sdlWindow);
}

BOOL win32common::setSwapInterval(int interval) {
    layer().swapInterval = interval;
    layer().pacing.interval = -1; // decided afresh from the next swaps
    if (sdlContextCurrent()) {
        SDL_GL_SetSwapInterval(interval); // a driver that honours it waits by itself
    }
    return TRUE;
}

int win32common::swapInterval() {
    return layer().swapInterval;
}

PROC win32common::glProcAddress(LPCSTR name) {
    if (!sdlContextCurrent()) {
        return nullptr; // as with WGL, entry points come from a current context
    }
    return reinterpret_cast<PROC>(SDL_GL_GetProcAddress(name));
}
