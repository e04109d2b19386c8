// Window manager over SDL2: the layer's part of windows (creation, showing, focus, raising,
// destruction), display-mode changes and cursor visibility; the Win32 calls themselves are
// win32_common's window_manager.cpp. SDL's video subsystem starts lazily,
// the first time one of these needs it. The message queue is in sdl_messages.cpp; pixel formats,
// contexts and swapping are in sdl_context.cpp.
#include "platform/sdl/sdl_internal.h"

#include <SDL_syswm.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace sdlplatform {

namespace {

bool isSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && value[0] != '\0';
}

bool startVideo() {
    openStandardStreams();
    const bool driverRequested = isSet("SDL_VIDEODRIVER");
    if (!driverRequested && !isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY")) {
        setFailureReason(noDisplayReason());
        return false;
    }
    const VideoChoice choice = chooseVideoDriver();
    if (choice == VideoChoice::refused) {
        setFailureReason(layer().wayland.reason);
        return false;
    }
    const bool wayland = choice == VideoChoice::wayland;
    if (!wayland) {
        installXErrorHandler();
    }
    if (!driverRequested) {
        // SDL 2.26 would try X11 first wherever DISPLAY is set; without a Wayland session, its
        // attempt at one would only add libwayland's complaint to stderr.
        SDL_SetHint(SDL_HINT_VIDEODRIVER, wayland ? "wayland" : "x11");
    }
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        setFailureReason(wayland ? sdlFailure("SDL could not start its video subsystem on Wayland")
                                 : noDisplayReason());
        return false;
    }
    // SDL would fall back to its offscreen driver when no display is reachable; a window there is
    // not one a user can see, so that counts as no display unless it was asked for by name.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driverRequested && driver != nullptr &&
        (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        setFailureReason(noDisplayReason());
        return false;
    }
    // A window destroyed by another X client is seen only in X's own events.
    if (videoIsX11()) {
        SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    }
    SDL_ShowCursor(layer().common.cursorCounter >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return true;
}

bool bitsMatch(DWORD bits, Uint32 format) {
    // 32 bits per pixel on Windows is the display's true-colour format: 24 bits in 4 bytes.
    if (bits == 32) {
        return SDL_BYTESPERPIXEL(format) == 4 && SDL_BITSPERPIXEL(format) >= 24;
    }
    return SDL_BITSPERPIXEL(format) == bits;
}

bool findDisplayMode(const DEVMODEA& mode, SDL_DisplayMode& found) {
    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) {
        return false;
    }
    const int width =
        (mode.dmFields & DM_PELSWIDTH) ? static_cast<int>(mode.dmPelsWidth) : desktop.w;
    const int height =
        (mode.dmFields & DM_PELSHEIGHT) ? static_cast<int>(mode.dmPelsHeight) : desktop.h;
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode candidate{};
        if (SDL_GetDisplayMode(0, i, &candidate) != 0 || candidate.w != width ||
            candidate.h != height) {
            continue;
        }
        if ((mode.dmFields & DM_BITSPERPEL) && !bitsMatch(mode.dmBitsPerPel, candidate.format)) {
            continue;
        }
        found = candidate;
        return true;
    }
    return false;
}

// Why no window could be made: SDL's reason, and the screen's depth when that is the cause.
std::string windowFailure() {
    std::string reason = sdlFailure("SDL could not create an OpenGL window");
    const int depth = videoIsX11() ? screenDepth() : 0;
    if (depth > 0 && depth < 24) {
        reason += "; the screen has " + std::to_string(depth) +
                  " bits per pixel, and OpenGL here needs a true-colour screen of 24 bits";
    }
    return reason;
}

unsigned long xWindowOf(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
        return info.info.x11.window;
    }
    return 0;
}

SDL_Window* createSdlWindow(LPCSTR title, DWORD style, int x, int y, int width, int height,
                            HWND__* record) {
    const LayerState& state = layer();
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    const bool popup = (style & WS_POPUP) != 0;
    if (popup && state.haveFullscreenMode) {
        flags |= SDL_WINDOW_FULLSCREEN;
    } else if (popup || (style & WS_CAPTION) != WS_CAPTION) {
        flags |= SDL_WINDOW_BORDERLESS;
    }
    if (style & WS_THICKFRAME) {
        flags |= SDL_WINDOW_RESIZABLE;
    }
    // On Wayland the window is sized in the desktop's units and drawn at the output's own pixel
    // density, as a per-monitor DPI-aware Win32 program's is; an X11 window has no such units.
    if (!videoIsX11()) {
        flags |= SDL_WINDOW_ALLOW_HIGHDPI;
    }
    // X11 fixes the visual when the window is made, so the GL configuration is asked for here and
    // ChoosePixelFormat later answers from it; a smaller one is tried if the display refuses.
    const int depthChoices[][2] = {{24, 8}, {16, 0}};
    for (const auto& choice : depthChoices) {
        SDL_GL_ResetAttributes();
        SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, choice[0]);
        SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, choice[1]);
        SDL_Window* window =
            SDL_CreateWindow(title != nullptr ? title : "", x, y, width, height, flags);
        if (window != nullptr) {
            setApplicationIcon(window);
            record->depthBits = choice[0];
            record->stencilBits = choice[1];
            if (flags & SDL_WINDOW_FULLSCREEN) {
                SDL_SetWindowDisplayMode(window, &state.fullscreenMode);
            }
            return window;
        }
    }
    setFailureReason(windowFailure());
    return nullptr;
}

} // namespace

// Frees a window's record and SDL window; it is out of the live windows, and its procedure has
// been told, or is not to be.
void freeSdlWindow(HWND__* record) {
    keepDriversLoaded();
    SDL_DestroyWindow(record->sdlWindow);
    delete record;
}

bool videoReady() {
    LayerState& state = layer();
    if (!state.videoTried) {
        state.videoTried = true;
        state.videoStarted = startVideo();
    }
    return state.videoStarted;
}

bool videoIsX11() {
    const char* driver = SDL_WasInit(SDL_INIT_VIDEO) != 0 ? SDL_GetCurrentVideoDriver() : nullptr;
    return driver != nullptr && std::strcmp(driver, "x11") == 0;
}

bool videoAttempted() {
    return layer().videoTried;
}

std::vector<HWND>& liveWindows() {
    return layer().common.windows;
}

HWND__* windowFromSdlId(Uint32 sdlId) {
    for (HWND__* window : liveWindows()) {
        if (window->sdlId == sdlId) {
            return window;
        }
    }
    return nullptr;
}

HWND__* windowFromXWindow(unsigned long xWindow) {
    for (HWND__* window : liveWindows()) {
        if (window->xWindow != 0 && window->xWindow == xWindow) {
            return window;
        }
    }
    return nullptr;
}

HWND__* firstWindow() {
    return liveWindows().empty() ? nullptr : liveWindows().front();
}

bool anyWindowDrawable() {
    for (const HWND__* window : liveWindows()) {
        if (window->visible && !window->minimised) {
            return true;
        }
    }
    return false;
}

void releaseWindows() {
    while (!liveWindows().empty()) {
        HWND__* window = liveWindows().back();
        win32common::removeWindow(window);
        freeSdlWindow(window);
    }
}

} // namespace sdlplatform

using namespace sdlplatform;
using namespace win32common;

WindowRecord* win32common::recordOf(HWND window) {
    return window;
}

void win32common::clientSize(HWND window, int& width, int& height) {
    // In device pixels, as GetClientRect and WM_SIZE give them to a DPI-aware program.
    SDL_GL_GetDrawableSize(window->sdlWindow, &width, &height);
    if (SDL_GetWindowFlags(window->sdlWindow) & SDL_WINDOW_FULLSCREEN) {
        width = layer().fullscreenMode.w;
        height = layer().fullscreenMode.h;
    }
}

void win32common::showPlatformWindow(HWND window, bool shown) {
    if (shown) {
        SDL_ShowWindow(window->sdlWindow); // waits until the window is mapped
        window->sizeToSend = !videoIsX11();
    } else {
        SDL_HideWindow(window->sdlWindow);
    }
}

void win32common::giveKeyboard(HWND window) {
    SDL_SetWindowInputFocus(window->sdlWindow);
}

HWND win32common::createPlatformWindow(LPCSTR title, DWORD style, int x, int y, int width,
                                       int height) {
    clearXError();
    if (!videoReady()) {
        if (layer().common.failureReason.empty()) { // the first attempt said why; say it again
            const std::string& wayland = layer().wayland.reason;
            setFailureReason(!wayland.empty() ? wayland : noDisplayReason());
        }
        return nullptr;
    }
    auto* record = new HWND__;
    record->sdlWindow = createSdlWindow(title, style, x, y, width, height, record);
    if (record->sdlWindow == nullptr) {
        delete record;
        return nullptr;
    }
    record->sdlId = SDL_GetWindowID(record->sdlWindow);
    record->xWindow = xWindowOf(record->sdlWindow);
    return record;
}

void win32common::freePlatformWindow(HWND window) {
    freeSdlWindow(window);
}

void win32common::raisePlatformWindow(HWND window) {
    SDL_RaiseWindow(window->sdlWindow);
}

void win32common::restoreDisplayMode() {
    // SDL restores the desktop's mode when its full-screen windows leave it.
    layer().haveFullscreenMode = false;
    for (HWND__* window : liveWindows()) {
        if (SDL_GetWindowFlags(window->sdlWindow) & SDL_WINDOW_FULLSCREEN) {
            SDL_SetWindowFullscreen(window->sdlWindow, 0);
        }
    }
}

LONG win32common::setDisplayMode(const DEVMODEA& mode) {
    clearXError();
    if (!videoReady()) {
        return DISP_CHANGE_FAILED;
    }
    SDL_DisplayMode found{};
    if (!findDisplayMode(mode, found)) {
        return DISP_CHANGE_BADMODE;
    }
    // SDL switches modes only for a full-screen window, so the mode takes effect when the
    // WS_POPUP window that Windows programs create next is made.
    layer().fullscreenMode = found;
    layer().haveFullscreenMode = true;
    return DISP_CHANGE_SUCCESSFUL;
}

void win32common::showPlatformCursor(bool shown) {
    if (videoAttempted() && videoReady()) {
        SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE);
    }
}
