// The message queue: PeekMessageA turns SDL events into Windows messages (keys with virtual-key
// codes, minimise and restore, resize, close requests), TranslateMessage, DispatchMessageA,
// PostQuitMessage and DefWindowProcA. As on Windows, key messages are posted and come back from
// PeekMessageA, while size, activation and close messages go straight to the window procedure.
// Mouse, text input (WM_CHAR) and timers are not translated.
#include "platform/sdl/sdl_internal.h"

#include <algorithm>
#include <deque>

namespace sdlplatform {

namespace {

std::deque<MSG> postedMessages;
bool quitPosted = false;
int quitCode = 0;

// Virtual-key codes beyond the few win32_api.h names.
constexpr WPARAM vkNumpad0 = 0x60;
constexpr WPARAM vkMultiply = 0x6A;
constexpr WPARAM vkAdd = 0x6B;
constexpr WPARAM vkSubtract = 0x6D;
constexpr WPARAM vkDecimal = 0x6E;
constexpr WPARAM vkDivide = 0x6F;
constexpr WPARAM vkSnapshot = 0x2C;
constexpr WPARAM vkLeftWindows = 0x5B;
constexpr WPARAM vkRightWindows = 0x5C;
constexpr WPARAM vkApps = 0x5D;
constexpr WPARAM vkNumLock = 0x90;
constexpr WPARAM vkScroll = 0x91;

// Punctuation keys by their US-layout positions, as Windows names them (VK_OEM_*).
WPARAM punctuationKey(SDL_Scancode scancode) {
    switch (scancode) {
    case SDL_SCANCODE_SEMICOLON:
        return 0xBA;
    case SDL_SCANCODE_EQUALS:
        return 0xBB;
    case SDL_SCANCODE_COMMA:
        return 0xBC;
    case SDL_SCANCODE_MINUS:
        return 0xBD;
    case SDL_SCANCODE_PERIOD:
        return 0xBE;
    case SDL_SCANCODE_SLASH:
        return 0xBF;
    case SDL_SCANCODE_GRAVE:
        return 0xC0;
    case SDL_SCANCODE_LEFTBRACKET:
        return 0xDB;
    case SDL_SCANCODE_BACKSLASH:
        return 0xDC;
    case SDL_SCANCODE_RIGHTBRACKET:
        return 0xDD;
    case SDL_SCANCODE_APOSTROPHE:
        return 0xDE;
    default:
        return 0;
    }
}

// The Windows virtual-key code of a key, or 0 for keys Windows has no code for (dropped).
WPARAM virtualKey(const SDL_Keysym& key) {
    // Letters and digits follow the keyboard layout, as Windows' codes do.
    if (key.sym >= SDLK_a && key.sym <= SDLK_z) {
        return static_cast<WPARAM>('A' + (key.sym - SDLK_a));
    }
    if (key.sym >= SDLK_0 && key.sym <= SDLK_9) {
        return static_cast<WPARAM>('0' + (key.sym - SDLK_0));
    }
    const SDL_Scancode code = key.scancode;
    if (code >= SDL_SCANCODE_A && code <= SDL_SCANCODE_Z) {
        return static_cast<WPARAM>('A' + (code - SDL_SCANCODE_A));
    }
    if (code >= SDL_SCANCODE_1 && code <= SDL_SCANCODE_9) {
        return static_cast<WPARAM>('1' + (code - SDL_SCANCODE_1));
    }
    if (code >= SDL_SCANCODE_F1 && code <= SDL_SCANCODE_F12) {
        return static_cast<WPARAM>(VK_F1 + (code - SDL_SCANCODE_F1));
    }
    if (code >= SDL_SCANCODE_KP_1 && code <= SDL_SCANCODE_KP_9) {
        return vkNumpad0 + 1 + static_cast<WPARAM>(code - SDL_SCANCODE_KP_1);
    }
    switch (code) {
    case SDL_SCANCODE_0:
        return '0';
    case SDL_SCANCODE_ESCAPE:
        return VK_ESCAPE;
    case SDL_SCANCODE_LEFT:
        return VK_LEFT;
    case SDL_SCANCODE_UP:
        return VK_UP;
    case SDL_SCANCODE_RIGHT:
        return VK_RIGHT;
    case SDL_SCANCODE_DOWN:
        return VK_DOWN;
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER:
        return VK_RETURN;
    case SDL_SCANCODE_TAB:
        return VK_TAB;
    case SDL_SCANCODE_BACKSPACE:
        return VK_BACK;
    case SDL_SCANCODE_SPACE:
        return VK_SPACE;
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT:
        return VK_SHIFT;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL:
        return VK_CONTROL;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT:
        return VK_MENU;
    case SDL_SCANCODE_PAUSE:
        return VK_PAUSE;
    case SDL_SCANCODE_CAPSLOCK:
        return VK_CAPITAL;
    case SDL_SCANCODE_PAGEUP:
        return VK_PRIOR;
    case SDL_SCANCODE_PAGEDOWN:
        return VK_NEXT;
    case SDL_SCANCODE_END:
        return VK_END;
    case SDL_SCANCODE_HOME:
        return VK_HOME;
    case SDL_SCANCODE_INSERT:
        return VK_INSERT;
    case SDL_SCANCODE_DELETE:
        return VK_DELETE;
    case SDL_SCANCODE_PRINTSCREEN:
        return vkSnapshot;
    case SDL_SCANCODE_LGUI:
        return vkLeftWindows;
    case SDL_SCANCODE_RGUI:
        return vkRightWindows;
    case SDL_SCANCODE_APPLICATION:
        return vkApps;
    case SDL_SCANCODE_NUMLOCKCLEAR:
        return vkNumLock;
    case SDL_SCANCODE_SCROLLLOCK:
        return vkScroll;
    case SDL_SCANCODE_KP_0:
        return vkNumpad0;
    case SDL_SCANCODE_KP_MULTIPLY:
        return vkMultiply;
    case SDL_SCANCODE_KP_PLUS:
        return vkAdd;
    case SDL_SCANCODE_KP_MINUS:
        return vkSubtract;
    case SDL_SCANCODE_KP_PERIOD:
        return vkDecimal;
    case SDL_SCANCODE_KP_DIVIDE:
        return vkDivide;
    default:
        return punctuationKey(code);
    }
}

DWORD messageTime() {
    return static_cast<DWORD>(SDL_GetTicks64());
}

void postKey(const SDL_KeyboardEvent& event) {
    HWND__* window = windowFromSdlId(event.windowID);
    const WPARAM key = virtualKey(event.keysym);
    if (window == nullptr || key == 0) {
        return;
    }
    // While Alt is held Windows reports keys as system keys, which the program does not record.
    const bool alt = (event.keysym.mod & KMOD_ALT) != 0 || key == VK_MENU;
    const bool down = event.type == SDL_KEYDOWN;
    UINT message = down ? WM_KEYDOWN : WM_KEYUP;
    if (alt) {
        message = down ? WM_SYSKEYDOWN : WM_SYSKEYUP;
    }
    // lParam as Windows fills it: repeat count 1, scan code, previous state and transition.
    DWORD lParam = 1u | ((static_cast<DWORD>(event.keysym.scancode) & 0xFFu) << 16);
    if (!down || event.repeat) {
        lParam |= 1u << 30;
    }
    if (!down) {
        lParam |= 1u << 31;
    }
    postedMessages.push_back(
        {window, message, key, static_cast<LPARAM>(lParam), messageTime(), {}});
}

void sendMinimised(HWND__* window) {
    if (window->minimised) {
        return;
    }
    window->minimised = true;
    window->clientWidth = 0;
    window->clientHeight = 0;
    const Uint32 id = window->sdlId;
    sendMessage(window, WM_ACTIVATE, MAKELONG(WA_INACTIVE, 1), 0);
    if ((window = windowFromSdlId(id)) != nullptr) {
        sendMessage(window, WM_SIZE, SIZE_MINIMIZED, 0);
    }
}

void sendSizeIfChanged(HWND__* window) {
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(window->sdlWindow, &width, &height);
    if (width != window->clientWidth || height != window->clientHeight) {
        window->clientWidth = width;
        window->clientHeight = height;
        sendMessage(window, WM_SIZE, SIZE_RESTORED, MAKELONG(width, height));
    }
}

void sendRestored(HWND__* window) {
    if (!window->minimised) {
        return;
    }
    window->minimised = false;
    const Uint32 id = window->sdlId;
    sendMessage(window, WM_ACTIVATE, MAKELONG(WA_ACTIVE, 0), 0);
    if ((window = windowFromSdlId(id)) != nullptr) {
        sendSizeIfChanged(window);
    }
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
}

bool matchesFilter(const MSG& message, HWND window, UINT filterMin, UINT filterMax) {
    if (window != nullptr && message.hwnd != window) {
        return false;
    }
    return (filterMin == 0 && filterMax == 0) ||
           (message.message >= filterMin && message.message <= filterMax);
}

} // namespace

void dropQueuedMessages(HWND__* window) {
    const auto forWindow = [window](const MSG& message) { return message.hwnd == window; };
    postedMessages.erase(std::remove_if(postedMessages.begin(), postedMessages.end(), forWindow),
                         postedMessages.end());
}

} // namespace sdlplatform

using namespace sdlplatform;

BOOL WINAPI PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg) {
    if (msg == nullptr) {
        return FALSE;
    }
    pumpSdlEvents();
    for (auto it = postedMessages.begin(); it != postedMessages.end(); ++it) {
        if (matchesFilter(*it, window, filterMin, filterMax)) {
            *msg = *it;
            if (removeMsg & PM_REMOVE) {
                postedMessages.erase(it);
            }
            return TRUE;
        }
    }
    // WM_QUIT belongs to the thread, not to a window, and comes once the posted ones are gone.
    const MSG quit{nullptr, WM_QUIT, static_cast<WPARAM>(quitCode), 0, messageTime(), {}};
    if (quitPosted && window == nullptr && matchesFilter(quit, nullptr, filterMin, filterMax)) {
        *msg = quit;
        if (removeMsg & PM_REMOVE) {
            quitPosted = false;
        }
        return TRUE;
    }
    return FALSE;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
    // Character messages are not produced; the result says whether it was a key message.
    return msg != nullptr && (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) ? TRUE
                                                                                           : FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (msg == nullptr) {
        return 0;
    }
    return sendMessage(liveWindow(msg->hwnd), msg->message, msg->wParam, msg->lParam);
}

void WINAPI PostQuitMessage(int exitCode) {
    quitPosted = true;
    quitCode = exitCode;
}

LRESULT WINAPI DefWindowProcA(HWND /*window*/, UINT /*message*/, WPARAM /*wParam*/,
                              LPARAM /*lParam*/) {
    return 0;
}
