// The layer's state record with its init and shutdown, and the message queue over the page's
// events: keydown/keyup become WM_KEYDOWN/WM_KEYUP with Windows virtual-key codes (auto-repeat as
// repeated WM_KEYDOWN), the page being hidden or shown becomes the window being minimised or
// restored, and the window's size comes back as WM_SIZE on restoring (the page may show the canvas
// at any size and give it any backing store; the window keeps the size the program made it, see
// web_page.cpp). Keys reach the demo only while the canvas has the focus. As on Windows, key
// messages are posted and come back from PeekMessageA, while size and activation messages go
// straight to the window procedure. PeekMessageA never blocks, but it hands control back to the
// browser when the program has not done so for a while, because a loop that polls without
// presenting (the minimised demo) would otherwise freeze the tab. Mouse, text input (WM_CHAR),
// timers and close requests (a page has no close box) are not translated.
#include "platform/web/web_internal.h"

#include <emscripten/emscripten.h>

#include <cstring>

namespace {

using webplatform::PageEvent;
using webplatform::state;

// How long the program may poll without giving the browser a turn, and how long that turn is.
constexpr double pollWithoutHandBackMs = 10.0;
constexpr unsigned int handBackMs = 10;

struct NamedKey {
    const char* code; // KeyboardEvent.code, the key's place on a US keyboard
    WPARAM virtualKey;
};

// Keys other than letters and digits, by their place, with the codes Windows gives them.
constexpr NamedKey namedKeys[] = {
    {"Escape", VK_ESCAPE},
    {"ArrowLeft", VK_LEFT},
    {"ArrowUp", VK_UP},
    {"ArrowRight", VK_RIGHT},
    {"ArrowDown", VK_DOWN},
    {"Enter", VK_RETURN},
    {"NumpadEnter", VK_RETURN},
    {"Tab", VK_TAB},
    {"Backspace", VK_BACK},
    {"Space", VK_SPACE},
    {"ShiftLeft", VK_SHIFT},
    {"ShiftRight", VK_SHIFT},
    {"ControlLeft", VK_CONTROL},
    {"ControlRight", VK_CONTROL},
    {"AltLeft", VK_MENU},
    {"AltRight", VK_MENU},
    {"Pause", VK_PAUSE},
    {"CapsLock", VK_CAPITAL},
    {"PageUp", VK_PRIOR},
    {"PageDown", VK_NEXT},
    {"End", VK_END},
    {"Home", VK_HOME},
    {"Insert", VK_INSERT},
    {"Delete", VK_DELETE},
    {"PrintScreen", VK_SNAPSHOT},
    {"MetaLeft", VK_LWIN},
    {"MetaRight", VK_RWIN},
    {"ContextMenu", VK_APPS},
    {"NumLock", VK_NUMLOCK},
    {"ScrollLock", VK_SCROLL},
    {"Numpad0", VK_NUMPAD0},
    {"NumpadMultiply", VK_MULTIPLY},
    {"NumpadAdd", VK_ADD},
    {"NumpadSubtract", VK_SUBTRACT},
    {"NumpadDecimal", VK_DECIMAL},
    {"NumpadDivide", VK_DIVIDE},
    {"Semicolon", VK_OEM_1},
    {"Equal", VK_OEM_PLUS},
    {"Comma", VK_OEM_COMMA},
    {"Minus", VK_OEM_MINUS},
    {"Period", VK_OEM_PERIOD},
    {"Slash", VK_OEM_2},
    {"Backquote", VK_OEM_3},
    {"BracketLeft", VK_OEM_4},
    {"Backslash", VK_OEM_5},
    {"BracketRight", VK_OEM_6},
    {"Quote", VK_OEM_7},
};

bool isAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The Windows virtual-key code of a key, or 0 for keys Windows has no code for (dropped).
WPARAM virtualKey(const EmscriptenKeyboardEvent& event) {
    // Letters and digits follow the keyboard layout, as Windows' codes do.
    if (isAsciiAlnum(event.key[0]) && event.key[1] == '\0') {
        return static_cast<WPARAM>(upper(event.key[0]));
    }
    const char* code = event.code;
    if (std::strncmp(code, "Key", 3) == 0 && code[3] >= 'A' && code[3] <= 'Z' && code[4] == '\0') {
        return static_cast<WPARAM>(code[3]);
    }
    if (std::strncmp(code, "Digit", 5) == 0 && code[5] >= '0' && code[5] <= '9' &&
        code[6] == '\0') {
        return static_cast<WPARAM>(code[5]);
    }
    if (std::strncmp(code, "Numpad", 6) == 0 && code[6] >= '1' && code[6] <= '9' &&
        code[7] == '\0') {
        return VK_NUMPAD0 + static_cast<WPARAM>(code[6] - '0');
    }
    if (code[0] == 'F' && code[1] >= '1' && code[1] <= '9') {
        const int number = code[2] == '\0' ? code[1] - '0'
                           : (code[2] >= '0' && code[2] <= '2' && code[3] == '\0')
                               ? 10 * (code[1] - '0') + (code[2] - '0')
                               : 0;
        if (number >= 1 && number <= 12) {
            return VK_F1 + static_cast<WPARAM>(number - 1);
        }
    }
    for (const NamedKey& named : namedKeys) {
        if (std::strcmp(code, named.code) == 0) {
            return named.virtualKey;
        }
    }
    return 0;
}

// Keys that would scroll or otherwise act on the page while the demo has it.
bool pageWouldAct(WPARAM key) {
    return key == VK_LEFT || key == VK_UP || key == VK_RIGHT || key == VK_DOWN ||
           key == VK_ESCAPE || key == VK_SPACE || key == VK_PRIOR || key == VK_NEXT ||
           key == VK_HOME || key == VK_END;
}

EM_BOOL onKey(int eventType, const EmscriptenKeyboardEvent* event, void* /*userData*/) {
    HWND__* window = state().window;
    if (window == nullptr || !window->visible || state().messageBoxShowing) {
        return EM_FALSE; // a message box's buttons keep their keys
    }
    const WPARAM key = virtualKey(*event);
    if (key == 0) {
        return EM_FALSE;
    }
    const bool down = eventType == EMSCRIPTEN_EVENT_KEYDOWN;
    // While Alt is held Windows reports keys as system keys, which the program does not record.
    const bool alt = event->altKey || key == VK_MENU;
    PageEvent entry;
    entry.kind = PageEvent::key;
    entry.message = alt ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
    entry.virtualKey = key;
    // lParam as Windows fills it: repeat count 1, previous state and transition.
    DWORD keyData = 1u;
    if (!down || event->repeat) {
        keyData |= 1u << 30;
    }
    if (!down) {
        keyData |= 1u << 31;
    }
    entry.keyData = static_cast<LPARAM>(keyData);
    state().pageEvents.push_back(entry);
    webplatform::noteKey(entry);
    // The browser's own shortcuts (Ctrl+R, Ctrl+W, ...) keep working.
    const bool shortcut = event->ctrlKey || event->metaKey;
    return pageWouldAct(key) && !shortcut ? EM_TRUE : EM_FALSE;
}

EM_BOOL onVisibilityChange(int /*eventType*/, const EmscriptenVisibilityChangeEvent* event,
                           void* /*userData*/) {
    PageEvent entry;
    entry.kind = event->hidden ? PageEvent::hidden : PageEvent::shown;
    state().pageEvents.push_back(entry);
    return EM_FALSE;
}

DWORD messageTime() {
    return static_cast<DWORD>(emscripten_get_now());
}

void sendSizeIfChanged(HWND__* window) {
    int width = 0;
    int height = 0;
    webplatform::canvasSize(width, height);
    if (width != window->clientWidth || height != window->clientHeight) {
        window->clientWidth = width;
        window->clientHeight = height;
        webplatform::sendMessage(window, WM_SIZE, SIZE_RESTORED, MAKELONG(width, height));
    }
}

void sendMinimised(HWND__* window) {
    if (window->minimised) {
        return;
    }
    window->minimised = true;
    window->clientWidth = 0;
    window->clientHeight = 0;
    webplatform::sendMessage(window, WM_ACTIVATE, MAKELONG(WA_INACTIVE, 1), 0);
    if ((window = webplatform::liveWindow(window)) != nullptr) {
        webplatform::sendMessage(window, WM_SIZE, SIZE_MINIMIZED, 0);
    }
}

void sendRestored(HWND__* window) {
    if (!window->minimised) {
        return;
    }
    window->minimised = false;
    webplatform::sendMessage(window, WM_ACTIVATE, MAKELONG(WA_ACTIVE, 0), 0);
    if ((window = webplatform::liveWindow(window)) != nullptr) {
        sendSizeIfChanged(window);
    }
}

void translate(const PageEvent& event) {
    HWND__* window = state().window;
    if (window == nullptr) {
        return;
    }
    switch (event.kind) {
    case PageEvent::key:
        state().messages.posted.push_back(
            {window, event.message, event.virtualKey, event.keyData, messageTime(), {}});
        break;
    case PageEvent::hidden:
        if (window->visible) {
            sendMinimised(window);
        }
        break;
    case PageEvent::shown:
        if (window->visible) {
            sendRestored(window);
        }
        break;
    }
}

} // namespace

namespace webplatform {

namespace {

State layerState; // all of the layer's memory, started by init() and released by shutdown()

} // namespace

State& state() {
    return layerState;
}

void init() {
    state() = State{};
    state().stockFont.stock = true;
    state().stockFont.weight = FW_BOLD; // the system font is a bold face
    state().screenDc.font = &state().stockFont;
    state().lastHandBack = emscripten_get_now();
    // Keys reach the demo only while the canvas has the focus; the page keeps its own otherwise.
    emscripten_set_keydown_callback("#canvas", nullptr, EM_TRUE, onKey);
    emscripten_set_keyup_callback("#canvas", nullptr, EM_TRUE, onKey);
    emscripten_set_visibilitychange_callback(nullptr, EM_FALSE, onVisibilityChange);
    initPage();
    // A page opened in a background tab is hidden from the start and gets no change event.
    EmscriptenVisibilityChangeEvent visibility;
    if (emscripten_get_visibility_status(&visibility) == EMSCRIPTEN_RESULT_SUCCESS &&
        visibility.hidden) {
        onVisibilityChange(EMSCRIPTEN_EVENT_VISIBILITYCHANGE, &visibility, nullptr);
    }
}

void shutdown() {
    shutdownPage();
    emscripten_set_keydown_callback("#canvas", nullptr, EM_TRUE, nullptr);
    emscripten_set_keyup_callback("#canvas", nullptr, EM_TRUE, nullptr);
    emscripten_set_visibilitychange_callback(nullptr, EM_FALSE, nullptr);
    // What a program left behind (it releases everything itself) goes with the page.
    for (HGLRC__* context : state().contexts) {
        emscripten_webgl_destroy_context(context->context);
        delete context;
    }
    for (HFONT__* font : state().fonts) {
        delete font;
    }
    delete state().window;
    state() = State{};
}

void noteHandBack() {
    state().lastHandBack = emscripten_get_now();
}

void pumpPageEvents() {
    // Handlers only queue; the procedure runs here, on the program's own call path, as with SDL.
    while (!state().pageEvents.empty()) {
        const PageEvent event = state().pageEvents.front();
        state().pageEvents.pop_front();
        translate(event);
    }
    pumpPage();
    HWND__* window = state().window;
    if (window != nullptr && !window->minimised) {
        sendSizeIfChanged(window);
    }
}

} // namespace webplatform

using namespace webplatform;

BOOL WINAPI PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg) {
    if (msg == nullptr) {
        return FALSE;
    }
    if (emscripten_get_now() - state().lastHandBack >= pollWithoutHandBackMs) {
        emscripten_sleep(handBackMs); // the page's events are handled during this turn
        noteHandBack();
    }
    pumpPageEvents();
    return win32common::takeMessage(state().messages, msg, window, filterMin, filterMax, removeMsg,
                                    messageTime())
               ? TRUE
               : FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (msg == nullptr) {
        return 0;
    }
    return sendMessage(liveWindow(msg->hwnd), msg->message, msg->wParam, msg->lParam);
}

void WINAPI PostQuitMessage(int exitCode) {
    win32common::postQuit(state().messages, exitCode);
}
