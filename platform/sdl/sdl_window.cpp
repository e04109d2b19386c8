// Window manager over SDL2: the module handle, stock icon and cursor, the class table, windows
// (creation, showing, focus, destruction), display-mode changes and cursor visibility. SDL's video
// subsystem starts lazily, the first time one of these needs it. The message queue is in
// sdl_messages.cpp; pixel formats, contexts and swapping are in sdl_context.cpp.
#include "platform/sdl/sdl_internal.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <vector>

namespace sdlplatform {

namespace {

struct WindowClass {
    std::string name;
    HINSTANCE instance = nullptr;
    WNDPROC procedure = nullptr;
    ATOM atom = 0;
};

std::vector<WindowClass>& classTable() {
    static std::vector<WindowClass> classes;
    return classes;
}

std::vector<HWND__*>& windows() {
    static std::vector<HWND__*> live;
    return live;
}

// Class names may be given as an atom (MAKEINTATOM) instead of a string.
bool isAtomName(LPCSTR name) {
    return reinterpret_cast<ULONG_PTR>(name) <= 0xFFFF;
}

WindowClass* findClass(LPCSTR name, HINSTANCE instance) {
    if (name == nullptr) {
        return nullptr;
    }
    for (WindowClass& windowClass : classTable()) {
        const bool sameName =
            isAtomName(name)
                ? windowClass.atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name))
                : strcasecmp(windowClass.name.c_str(), name) == 0;
        if (sameName && windowClass.instance == instance) {
            return &windowClass;
        }
    }
    return nullptr;
}

int cursorCounter = 0; // the pointer is shown while this is >= 0, as on Windows

bool haveFullscreenMode = false; // set by ChangeDisplaySettingsA with a mode
SDL_DisplayMode fullscreenMode{};

bool videoStarted = false;
bool videoTried = false;

bool startVideo() {
    // SDL would fall back to its offscreen driver when no display is reachable; a window there is
    // not one a user can see, so that counts as no display unless it was asked for by name.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        return false;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool requested = std::getenv("SDL_VIDEODRIVER") != nullptr;
    if (!requested && driver != nullptr &&
        (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    SDL_ShowCursor(cursorCounter >= 0 ? SDL_ENABLE : SDL_DISABLE);
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

SDL_Window* createSdlWindow(LPCSTR title, DWORD style, int x, int y, int width, int height,
                            HWND__* record) {
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    const bool popup = (style & WS_POPUP) != 0;
    if (popup && haveFullscreenMode) {
        flags |= SDL_WINDOW_FULLSCREEN;
    } else if (popup || (style & WS_CAPTION) != WS_CAPTION) {
        flags |= SDL_WINDOW_BORDERLESS;
    }
    if (style & WS_THICKFRAME) {
        flags |= SDL_WINDOW_RESIZABLE;
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
                SDL_SetWindowDisplayMode(window, &fullscreenMode);
            }
            return window;
        }
    }
    return nullptr;
}

void clientSize(const HWND__* record, int& width, int& height) {
    SDL_GetWindowSize(record->sdlWindow, &width, &height);
    if (SDL_GetWindowFlags(record->sdlWindow) & SDL_WINDOW_FULLSCREEN) {
        width = fullscreenMode.w;
        height = fullscreenMode.h;
    }
}

void sendSize(HWND__* record) {
    int width = 0;
    int height = 0;
    clientSize(record, width, height);
    record->clientWidth = width;
    record->clientHeight = height;
    sendMessage(record, WM_SIZE, SIZE_RESTORED, MAKELONG(width, height));
}

} // namespace

bool videoReady() {
    if (!videoTried) {
        videoTried = true;
        videoStarted = startVideo();
    }
    return videoStarted;
}

bool videoAttempted() {
    return videoTried;
}

HWND__* liveWindow(HWND window) {
    const auto& live = windows();
    return std::find(live.begin(), live.end(), window) != live.end() ? window : nullptr;
}

HWND__* windowFromSdlId(Uint32 sdlId) {
    for (HWND__* window : windows()) {
        if (window->sdlId == sdlId) {
            return window;
        }
    }
    return nullptr;
}

HWND__* firstWindow() {
    return windows().empty() ? nullptr : windows().front();
}

LRESULT sendMessage(HWND__* window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window == nullptr || window->procedure == nullptr) {
        return 0;
    }
    return window->procedure(window, message, wParam, lParam);
}

} // namespace sdlplatform

using namespace sdlplatform;

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    // The program is one module; its handle only has to be non-null and stable.
    static char moduleAnchor;
    return moduleName == nullptr ? reinterpret_cast<HMODULE>(&moduleAnchor) : nullptr;
}

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR iconName) {
    // Only the system's stock icons exist; the program carries no resources of its own.
    static char stockIcon;
    return instance == nullptr && isAtomName(iconName) ? reinterpret_cast<HICON>(&stockIcon)
                                                       : nullptr;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR cursorName) {
    static char stockCursor;
    return instance == nullptr && isAtomName(cursorName) ? reinterpret_cast<HCURSOR>(&stockCursor)
                                                         : nullptr;
}

ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass) {
    static ATOM nextAtom = 0xC000; // where Windows numbers registered classes from
    if (windowClass == nullptr || windowClass->lpszClassName == nullptr ||
        isAtomName(windowClass->lpszClassName) || windowClass->lpszClassName[0] == '\0' ||
        findClass(windowClass->lpszClassName, windowClass->hInstance) != nullptr) {
        return 0;
    }
    WindowClass entry;
    entry.name = windowClass->lpszClassName;
    entry.instance = windowClass->hInstance;
    entry.procedure = windowClass->lpfnWndProc;
    entry.atom = nextAtom++;
    classTable().push_back(entry);
    return entry.atom;
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance) {
    WindowClass* windowClass = findClass(className, instance);
    if (windowClass == nullptr) {
        return FALSE;
    }
    for (const HWND__* window : windows()) {
        if (strcasecmp(window->className.c_str(), windowClass->name.c_str()) == 0 &&
            window->classInstance == instance) {
            return FALSE; // a window of the class still exists
        }
    }
    auto& classes = classTable();
    classes.erase(classes.begin() + (windowClass - classes.data()));
    return TRUE;
}

BOOL WINAPI AdjustWindowRectEx(RECT* rect, DWORD /*style*/, BOOL /*menu*/, DWORD /*exStyle*/) {
    // The window manager draws the frame outside the client area, so the size given to
    // CreateWindowExA is the client size and the rectangle stays as it is.
    return rect != nullptr ? TRUE : FALSE;
}

HWND WINAPI CreateWindowExA(DWORD /*exStyle*/, LPCSTR className, LPCSTR windowName, DWORD style,
                            int x, int y, int width, int height, HWND /*parent*/, HMENU /*menu*/,
                            HINSTANCE instance, LPVOID /*param*/) {
    const WindowClass* windowClass = findClass(className, instance);
    if (windowClass == nullptr || width <= 0 || height <= 0 || !videoReady()) {
        return nullptr;
    }
    auto* record = new HWND__;
    record->className = windowClass->name;
    record->classInstance = windowClass->instance;
    record->procedure = windowClass->procedure;
    record->sdlWindow = createSdlWindow(windowName, style, x, y, width, height, record);
    if (record->sdlWindow == nullptr) {
        delete record;
        return nullptr;
    }
    record->sdlId = SDL_GetWindowID(record->sdlWindow);
    initWindowDc(&record->dc, record);
    windows().push_back(record);

    // Windows sends these from inside CreateWindowEx, before any GL context can exist.
    if (sendMessage(record, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(record);
        return nullptr;
    }
    sendSize(record);
    if (style & WS_VISIBLE) {
        ShowWindow(record, SW_SHOW);
    }
    return liveWindow(record);
}

BOOL WINAPI ShowWindow(HWND window, int showCommand) {
    HWND__* record = liveWindow(window);
    if (record == nullptr) {
        return FALSE;
    }
    const BOOL wasVisible = record->visible ? TRUE : FALSE;
    if (showCommand == SW_HIDE) {
        if (record->visible) {
            sendMessage(record, WM_SHOWWINDOW, FALSE, 0);
            SDL_HideWindow(record->sdlWindow);
            record->visible = false;
        }
        return wasVisible;
    }
    if (!record->visible) {
        sendMessage(record, WM_SHOWWINDOW, TRUE, 0);
        SDL_ShowWindow(record->sdlWindow); // waits until the window is mapped
        record->visible = true;
        record = liveWindow(window);
        if (record != nullptr) {
            sendMessage(record, WM_ACTIVATE, MAKELONG(WA_ACTIVE, 0), 0);
        }
        record = liveWindow(window);
        if (record != nullptr) {
            int width = 0;
            int height = 0;
            clientSize(record, width, height);
            if (width != record->clientWidth || height != record->clientHeight) {
                sendSize(record); // a full-screen window takes the mode's size when shown
            }
        }
    }
    return wasVisible;
}

BOOL WINAPI SetForegroundWindow(HWND window) {
    HWND__* record = liveWindow(window);
    if (record == nullptr) {
        return FALSE;
    }
    SDL_RaiseWindow(record->sdlWindow);
    return TRUE;
}

HWND WINAPI SetFocus(HWND window) {
    static HWND focused = nullptr;
    HWND previous = liveWindow(focused);
    if (window == nullptr) {
        focused = nullptr;
        return previous;
    }
    HWND__* record = liveWindow(window);
    if (record == nullptr || !record->visible) {
        return nullptr; // a hidden window cannot take the keyboard
    }
    SDL_SetWindowInputFocus(record->sdlWindow);
    focused = record;
    return previous;
}

BOOL WINAPI DestroyWindow(HWND window) {
    HWND__* record = liveWindow(window);
    if (record == nullptr) {
        return FALSE;
    }
    sendMessage(record, WM_DESTROY, 0, 0);
    record = liveWindow(window); // the procedure may have destroyed it already
    if (record == nullptr) {
        return TRUE;
    }
    auto& live = windows();
    live.erase(std::remove(live.begin(), live.end(), record), live.end());
    dropQueuedMessages(record);
    releaseWindowDc(&record->dc);
    SDL_DestroyWindow(record->sdlWindow);
    delete record;
    return TRUE;
}

LONG WINAPI ChangeDisplaySettingsA(DEVMODEA* mode, DWORD /*flags*/) {
    if (mode == nullptr) {
        // Back to the desktop's mode: SDL restores it when its full-screen windows leave it.
        haveFullscreenMode = false;
        for (HWND__* window : windows()) {
            if (SDL_GetWindowFlags(window->sdlWindow) & SDL_WINDOW_FULLSCREEN) {
                SDL_SetWindowFullscreen(window->sdlWindow, 0);
            }
        }
        return DISP_CHANGE_SUCCESSFUL;
    }
    if (!videoReady()) {
        return DISP_CHANGE_FAILED;
    }
    SDL_DisplayMode found{};
    if (!findDisplayMode(*mode, found)) {
        return DISP_CHANGE_BADMODE;
    }
    // SDL switches modes only for a full-screen window, so the mode takes effect when the
    // WS_POPUP window that Windows programs create next is made.
    fullscreenMode = found;
    haveFullscreenMode = true;
    return DISP_CHANGE_SUCCESSFUL;
}

int WINAPI ShowCursor(BOOL show) {
    cursorCounter += show ? 1 : -1;
    if (videoAttempted() && videoReady()) {
        SDL_ShowCursor(cursorCounter >= 0 ? SDL_ENABLE : SDL_DISABLE);
    }
    return cursorCounter;
}
