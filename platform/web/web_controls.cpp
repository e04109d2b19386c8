// The page's on-screen controls (index.html lays them out and follows the fingers on them): a
// control pressed or let go arrives here, through Module.pressControl while the layer runs, as
// the key it stands for, as from a keyboard, while the window is shown and no message box has
// the page.
#include "platform/web/web_internal.h"

#include <emscripten/emscripten.h>

namespace {

using webplatform::layer;

EM_JS(void, offerControls, (), {
    Module.pressControl = function(virtualKey, down) {
        Module._skorvanePressControl(virtualKey, down);
    };
});

EM_JS(void, withdrawControls, (), { Module.pressControl = null; });

bool takesControls() {
    const HWND__* window = webplatform::canvasWindow();
    return window != nullptr && window->visible && !layer().messageBoxShowing;
}

} // namespace

// Called by the page's script.
extern "C" {

// An on-screen control pressed (down 1) or let go (0): the key it stands for, as from a keyboard.
EMSCRIPTEN_KEEPALIVE void skorvanePressControl(int virtualKey, int down) {
    if (virtualKey <= 0 || virtualKey > 255 || !takesControls()) {
        return;
    }
    const auto key = static_cast<WPARAM>(virtualKey);
    if (down != 0 || layer().page.held.test(key)) {
        webplatform::queueKey(key, down != 0);
    }
}

} // extern "C"

namespace webplatform {

void watchControls() {
    offerControls();
}

void stopWatchingControls() {
    withdrawControls();
}

} // namespace webplatform
