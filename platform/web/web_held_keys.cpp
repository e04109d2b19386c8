// Letting go of keys: every key event queued for the program is noted here, so that when the demo
// loses the keyboard (a click elsewhere, another window or tab, the page hidden) every key the
// window procedure was told is down gets its WM_KEYUP, as the Linux layer's SDL sends them. The
// keys held are also shown to the page as Module.test.keysDown, for tests and embedding pages.
#include "platform/web/web_internal.h"

#include <emscripten/emscripten.h>

namespace {

using webplatform::layer;
using webplatform::PageEvent;

// (clang-format would split the JavaScript arrows.)
// clang-format off
EM_JS(void, installKeyboardLossHandlers, (), {
    const canvas = document.getElementById('canvas');
    if (!canvas || Module.layer.keyboardLossHandlers) {
        return;
    }
    const handlers = Module.layer.keyboardLossHandlers = {};
    handlers.release = () => {
        if (Module._skorvaneReleaseKeys) {
            Module._skorvaneReleaseKeys();
        }
        if (Module.releaseControls) {
            Module.releaseControls();
        }
    };
    handlers.visibility = () => {
        if (document.hidden) {
            handlers.release();
        }
    };
    canvas.addEventListener('blur', handlers.release);
    window.addEventListener('blur', handlers.release);
    document.addEventListener('visibilitychange', handlers.visibility);
    handlers.remove = () => {
        canvas.removeEventListener('blur', handlers.release);
        window.removeEventListener('blur', handlers.release);
        document.removeEventListener('visibilitychange', handlers.visibility);
    };
});
// clang-format on

EM_JS(void, removeKeyboardLossHandlers, (), {
    if (Module.layer.keyboardLossHandlers) {
        Module.layer.keyboardLossHandlers.remove();
        delete Module.layer.keyboardLossHandlers;
    }
});

// Module.test.keysChangedAtFrame is the count of frames presented when the set last changed, so a
// page can count the frames a key was held without racing the program.
// clang-format off
EM_JS(void, showKeysDown, (const unsigned char* held, int count), {
    const keys = [];
    for (let key = 0; key < count; ++key) {
        if (HEAPU8[held + key]) {
            keys.push(key);
        }
    }
    const before = Module.test.keysDown || [];
    if (keys.length !== before.length || keys.some((key, i) => key !== before[i])) {
        Module.test.keysChangedAtFrame = Module.test.framesPresented || 0;
    }
    Module.test.keysDown = keys;
});
// clang-format on

} // namespace

// Called by the page's handlers.
extern "C" {

EMSCRIPTEN_KEEPALIVE void skorvaneReleaseKeys() {
    const std::bitset<256>& held = layer().page.held;
    for (WPARAM key = 0; key < held.size(); ++key) {
        if (held.test(key)) {
            webplatform::queueKey(key, false);
        }
    }
}

} // extern "C"

namespace webplatform {

void watchKeyboardLoss() {
    installKeyboardLossHandlers();
}

void stopWatchingKeyboardLoss() {
    removeKeyboardLossHandlers();
}

void queueKey(WPARAM key, bool down) {
    PageEvent entry;
    entry.kind = PageEvent::key;
    entry.virtualKey = key;
    entry.down = down;
    layer().pageEvents.push_back(entry);
    noteKey(entry);
}

void noteKey(const PageEvent& event) {
    std::bitset<256>& held = layer().page.held;
    if (event.virtualKey >= held.size()) {
        return;
    }
    // The window procedure records WM_KEYDOWN and WM_KEYUP only: a key let go while Alt is held
    // (WM_SYSKEYUP) stays down for the program, as on Windows, until the keyboard is let go of.
    if (event.alt) {
        return;
    }
    held.set(event.virtualKey, event.down);
    unsigned char shown[256];
    for (size_t key = 0; key < held.size(); ++key) {
        shown[key] = held.test(key) ? 1 : 0;
    }
    showKeysDown(shown, static_cast<int>(held.size()));
}

} // namespace webplatform
