// The layer's part of the message queue (PeekMessageA is win32_common's), over the page's events:
// keydown/keyup become WM_KEYDOWN/WM_KEYUP with Windows
// virtual-key codes (web_keys.cpp; auto-repeat as repeated WM_KEYDOWN), the page being hidden or
// shown becomes the window being minimised or restored, and the window's size comes back as
// WM_SIZE on restoring (the page may show the canvas at any size and give it any backing store;
// the window keeps the size the program made it, see web_backing_store.cpp). Keys reach the demo
// only while the canvas has the focus. As on Windows, key messages are posted and come back from
// PeekMessageA, while size and activation messages go straight to the window procedure.
// PeekMessageA never blocks, but it hands control back to the browser when the program has not done
// so for a while, because a loop that polls without presenting (the minimised demo) would otherwise
// freeze the tab. Mouse, text input (WM_CHAR), timers and close requests (a page has no close box)
// are not translated.
#include "platform/web/web_internal.h"

#include <emscripten/emscripten.h>

namespace {

using webplatform::canvasWindow;
using webplatform::layer;
using webplatform::PageEvent;
using webplatform::virtualKey;

// How long the program may poll without giving the browser a turn, and how long that turn is.
constexpr double pollWithoutHandBackMs = 10.0;
constexpr unsigned int handBackMs = 10;

// Keys that would scroll or otherwise act on the page while the demo has it.
bool pageWouldAct(WPARAM key) {
    return key == VK_LEFT || key == VK_UP || key == VK_RIGHT || key == VK_DOWN ||
           key == VK_ESCAPE || key == VK_SPACE || key == VK_PRIOR || key == VK_NEXT ||
           key == VK_HOME || key == VK_END;
}

// In full screen, or just out of it: a browser that hands the page the Escape which took it out
// of full screen hands it over after the change.
// (clang-format would split the JavaScript comparison.)
// clang-format off
EM_JS(bool, escapeLeavesFullScreen, (), {
    const full = document.fullscreenElement || document.webkitFullscreenElement;
    return !!full || performance.now() - (Module.leftFullScreenAt || -1e9) < 500;
});
// clang-format on

EM_BOOL onKey(int eventType, const EmscriptenKeyboardEvent* event, void* /*userData*/) {
    HWND__* window = canvasWindow();
    if (window == nullptr || !window->visible || layer().messageBoxShowing) {
        return EM_FALSE; // a message box's buttons keep their keys
    }
    const WPARAM key = virtualKey(*event);
    if (key == 0) {
        return EM_FALSE;
    }
    // In full screen Escape is the browser's way out of it, which it promises on entering: there
    // it leaves full screen and does not end the demo (End does).
    if (key == VK_ESCAPE && escapeLeavesFullScreen()) {
        return EM_FALSE;
    }
    const bool down = eventType == EMSCRIPTEN_EVENT_KEYDOWN;
    PageEvent entry;
    entry.kind = PageEvent::key;
    entry.virtualKey = key;
    entry.down = down;
    entry.repeat = event->repeat != 0;
    entry.alt = event->altKey || key == VK_MENU;
    layer().pageEvents.push_back(entry);
    webplatform::noteKey(entry);
    // The browser's own shortcuts (Ctrl+R, Ctrl+W, ...) keep working.
    const bool shortcut = event->ctrlKey || event->metaKey;
    return pageWouldAct(key) && !shortcut ? EM_TRUE : EM_FALSE;
}

EM_BOOL onVisibilityChange(int /*eventType*/, const EmscriptenVisibilityChangeEvent* event,
                           void* /*userData*/) {
    PageEvent entry;
    entry.kind = event->hidden ? PageEvent::hidden : PageEvent::shown;
    layer().pageEvents.push_back(entry);
    return EM_FALSE;
}

void translate(const PageEvent& event) {
    HWND__* window = canvasWindow();
    if (window == nullptr) {
        return;
    }
    switch (event.kind) {
    case PageEvent::key:
        win32common::postKeyMessage(window, event.virtualKey, event.down, event.repeat, event.alt,
                                    0);
        break;
    case PageEvent::hidden:
        if (window->visible) {
            win32common::sendMinimised(window);
        }
        break;
    case PageEvent::shown:
        if (window->visible) {
            win32common::sendRestored(window);
        }
        break;
    }
}

} // namespace

namespace webplatform {

void listenToPage() {
    // Keys reach the demo only while the canvas has the focus; the page keeps its own otherwise.
    emscripten_set_keydown_callback("#canvas", nullptr, EM_TRUE, onKey);
    emscripten_set_keyup_callback("#canvas", nullptr, EM_TRUE, onKey);
    emscripten_set_visibilitychange_callback(nullptr, EM_FALSE, onVisibilityChange);
    // A page opened in a background tab is hidden from the start and gets no change event.
    EmscriptenVisibilityChangeEvent visibility;
    if (emscripten_get_visibility_status(&visibility) == EMSCRIPTEN_RESULT_SUCCESS &&
        visibility.hidden) {
        onVisibilityChange(EMSCRIPTEN_EVENT_VISIBILITYCHANGE, &visibility, nullptr);
    }
}

void stopListening() {
    emscripten_set_keydown_callback("#canvas", nullptr, EM_TRUE, nullptr);
    emscripten_set_keyup_callback("#canvas", nullptr, EM_TRUE, nullptr);
    emscripten_set_visibilitychange_callback(nullptr, EM_FALSE, nullptr);
}

void noteHandBack() {
    layer().lastHandBack = emscripten_get_now();
}

void pumpPageEvents() {
    // Handlers only queue; the procedure runs here, on the program's own call path, as with SDL.
    while (!layer().pageEvents.empty()) {
        const PageEvent event = layer().pageEvents.front();
        layer().pageEvents.pop_front();
        translate(event);
    }
    followBackingStore();
    restoreLostContext();
    HWND__* window = canvasWindow();
    if (window != nullptr && !window->minimised) {
        win32common::sendSizeIfChanged(window);
    }
}

} // namespace webplatform

using namespace webplatform;

DWORD win32common::messageTime() {
    return static_cast<DWORD>(emscripten_get_now());
}

void win32common::pumpPlatformEvents() {
    if (emscripten_get_now() - layer().lastHandBack >= pollWithoutHandBackMs) {
        emscripten_sleep(handBackMs); // the page's events are handled during this turn
        noteHandBack();
    }
    pumpPageEvents();
}

void win32common::restAfterEmptyPoll() {
    // The browser had its turn in pumpPlatformEvents when one was due.
}
