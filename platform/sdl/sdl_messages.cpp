// The layer's part of the message queue: SDL events become Windows messages (keys with
// virtual-key codes, minimise and restore, resize, close requests); PeekMessageA, the queue
// itself and the other message calls are win32_common's. As on Windows, key messages
// are posted and come back from PeekMessageA, while size, activation and close messages go straight
// to the window procedure. Mouse, text input (WM_CHAR) and timers are not translated. A window
// destroyed by another X client is closed the way a close request closes it. Virtual-key codes are
// in sdl_keys.cpp.
#include "platform/sdl/sdl_internal.h"

#include <SDL_syswm.h>

namespace sdlplatform {

namespace {

using win32common::sendMinimised;
using win32common::sendRestored;
using win32common::sendSizeIfChanged;

void postKey(const SDL_KeyboardEvent& event) {
    HWND__* window = windowFromSdlId(event.windowID);
    const WPARAM key = virtualKey(event.keysym);
    if (window == nullptr || key == 0) {
        return;
    }
    const bool alt = (event.keysym.mod & KMOD_ALT) != 0 || key == VK_MENU;
    win32common::postKeyMessage(window, key, event.type == SDL_KEYDOWN, event.repeat != 0, alt,
                                static_cast<unsigned int>(event.keysym.scancode));
}

void translateWindowEvent(const SDL_WindowEvent& event) {
    HWND__* window = windowFromSdlId(event.windowID);
    if (window == nullptr) {
        return;
    }
    switch (event.event) {
    // An X unmap arrives as hidden (and minimised); a map as shown (and restored).
    case SDL_WINDOWEVENT_MINIMIZED:
    case SDL_WINDOWEVENT_HIDDEN:
        if (window->visible) {
            sendMinimised(window);
        }
        break;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_MAXIMIZED:
        if (window->visible) {
            sendRestored(window);
        }
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_DISPLAY_CHANGED: // another output, perhaps of another scale
        if (!window->minimised) {
            sendSizeIfChanged(window);
        }
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        sendMessage(window, WM_ACTIVATE, MAKELONG(WA_ACTIVE, window->minimised ? 1 : 0), 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        sendMessage(window, WM_ACTIVATE, MAKELONG(WA_INACTIVE, window->minimised ? 1 : 0), 0);
        break;
    case SDL_WINDOWEVENT_CLOSE:
        sendMessage(window, WM_CLOSE, 0, 0);
        break;
    default:
        break;
    }
}

void translateEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        postKey(event.key);
        break;
    case SDL_WINDOWEVENT:
        translateWindowEvent(event.window);
        break;
    case SDL_QUIT:
        // SIGTERM and SIGINT arrive here; the program's own close path ends it.
        sendMessage(firstWindow(), WM_CLOSE, 0, 0);
        break;
    case SDL_SYSWMEVENT:
        // Destroyed by another X client (xkill, a window manager's "destroy"): to the program it
        // is as if the user closed it, and its teardown then meets only a window already gone.
        if (event.syswm.msg->subsystem == SDL_SYSWM_X11 &&
            event.syswm.msg->msg.x11.event.type == DestroyNotify) {
            const XDestroyWindowEvent& destroyed = event.syswm.msg->msg.x11.event.xdestroywindow;
            sendMessage(windowFromXWindow(destroyed.window), WM_CLOSE, 0, 0);
        }
        break;
    default:
        break;
    }
}

void pumpSdlEvents() {
    if (!videoAttempted() || !videoReady()) {
        return;
    }
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        translateEvent(event);
    }
    // By index: a window procedure may destroy windows.
    for (size_t i = 0; i < liveWindows().size(); ++i) {
        HWND__* window = liveWindows()[i];
        if (window->sizeToSend && window->visible && !window->minimised) {
            window->sizeToSend = false;
            win32common::sendSize(window);
        }
    }
    // A window moved to an output of another scale: its captions too are drawn at the new one.
    rescaleGlyphs();
}

} // namespace

} // namespace sdlplatform

using namespace sdlplatform;

DWORD win32common::messageTime() {
    return static_cast<DWORD>(SDL_GetTicks64());
}

void win32common::pumpPlatformEvents() {
    pumpSdlEvents();
}

void win32common::restAfterEmptyPoll() {
    // A program polls without pause while its window cannot be drawn (minimised, as the loop is
    // written to do); empty polls of the X connection would then burn a whole core. A rest of a
    // millisecond costs nothing in responsiveness and never waits for a message.
    if (!liveWindows().empty() && !anyWindowDrawable()) {
        SDL_Delay(1);
    }
}
