// OpenGL on a window: the layer's part of the pixel format, of the WGL context calls over SDL's GL
// contexts, of SwapBuffers (the pacing of swap_pacing.h), of swap control and of
// wglGetProcAddress; the calls themselves are win32_common's gdi.cpp. Layered planes, overlays
// and the WGL_ARB_pixel_format family are not offered.
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

using win32common::liveContext;

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

// The decision starts when the interval is set and again whenever the window's display reports
// another rate (the window was moved, or the mode changed); the rate is read at every swap, as
// SDL keeps it at hand.
void pacePresentation(SDL_Window* window) {
    SwapPacing& pacing = layer().pacing;
    const int rate = refreshRate(window);
    if (pacing.interval != layer().driverSwapInterval || pacing.refreshRate != rate) {
        startPacing(pacing, layer().driverSwapInterval, rate);
    }
    const double now = secondsNow();
    const double until = afterSwap(pacing, now);
    if (until > now) {
        std::this_thread::sleep_for(std::chrono::duration<double>(until - now));
        resumed(pacing, secondsNow());
    }
}

} // namespace

void applyRecordedSwapInterval() {
    if (layer().driverSwapInterval > 0 && sdlContextCurrent()) {
        SDL_GL_SetSwapInterval(layer().driverSwapInterval);
    }
}

void releaseContexts() {
    LayerState& state = layer();
    if (state.common.currentContext != nullptr) {
        SDL_GL_MakeCurrent(nullptr, nullptr);
        state.common.currentContext = nullptr;
    }
    state.glyphSets.clear();
    for (HGLRC__* context : state.common.contexts) {
        SDL_GL_DeleteContext(context->context);
        delete context;
    }
    state.common.contexts.clear();
}

} // namespace sdlplatform

using namespace sdlplatform;

void win32common::windowBuffers(HWND window, int& depthBits, int& stencilBits) {
    // The window's one format is the GL configuration it was created with.
    depthBits = window->depthBits;
    stencilBits = window->stencilBits;
}

HGLRC win32common::createPlatformContext(HWND window) {
    clearXError();
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
    return record;
}

bool win32common::makePlatformContextCurrent(HWND window, HGLRC context) {
    if (context == nullptr) {
        if (layer().common.currentContext != nullptr && videoReady()) {
            SDL_GL_MakeCurrent(nullptr, nullptr);
        }
        return true;
    }
    clearXError();
    if (SDL_GL_MakeCurrent(window->sdlWindow, context->context) != 0) {
        setFailureReason(sdlFailure("SDL could not make the OpenGL context current"));
        return false;
    }
    applyRecordedSwapInterval();
    return true;
}

void win32common::destroyContext(HGLRC context) {
    forgetGlyphs(context->context);
    SDL_GL_DeleteContext(context->context);
    delete context;
}

void win32common::present(HWND window) {
    SDL_GL_SwapWindow(window->sdlWindow);
    pacePresentation(window->sdlWindow);
}

BOOL win32common::setDriverSwapInterval(int interval) {
    layer().driverSwapInterval = interval;
    layer().pacing.interval = -1; // decided afresh from the next swaps
    if (sdlContextCurrent()) {
        SDL_GL_SetSwapInterval(interval); // a driver that honours it waits by itself
    }
    return TRUE;
}

int win32common::driverSwapInterval() {
    return layer().driverSwapInterval;
}

PROC win32common::glProcAddress(LPCSTR name) {
    if (!sdlContextCurrent()) {
        return nullptr; // as with WGL, entry points come from a current context
    }
    return reinterpret_cast<PROC>(SDL_GL_GetProcAddress(name));
}
