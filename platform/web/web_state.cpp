// The layer's one state record: where it lives, its start and the shutdown that releases what a
// program left behind, and the failure reasons kept for MessageBoxA and the page's closing notice.
#include "platform/web/web_internal.h"

#include <emscripten/emscripten.h>

namespace webplatform {

namespace {

// What the page calls when the program has failed for good (an abort: out of memory, a trap):
// every handler that would call into the program is removed, without calling into it, so the
// page does no more work and a dead program is never entered again. Its pending waits for the
// browser are not resumed once it has aborted.
// (clang-format would split the JavaScript arrows.)
// clang-format off
EM_JS(void, offerStopPage, (), {
    Module.stopPage = () => {
        if (typeof JSEvents == 'object') {
            JSEvents.removeAllEventListeners(); // the key and visibility handlers
        }
        for (const name of ['backingStoreHandlers', 'keyboardLossHandlers', 'contextHandlers']) {
            if (Module.layer[name]) {
                Module.layer[name].remove();
                delete Module.layer[name];
            }
        }
        Module.pressControl = null;
    };
});
// clang-format on

LayerState layerState; // all of the layer's memory (the page's part too), started by startLayer()
                       // and released by shutdownLayer()

} // namespace

LayerState& layer() {
    return layerState;
}

void startLayer() {
    layer() = LayerState{};
    win32common::setUpStockFont(layer().common, &layer().stockFont);
    layer().lastHandBack = emscripten_get_now();
    listenToPage();
    watchBackingStore();
    watchKeyboardLoss();
    watchContext();
    watchControls();
    offerStopPage();
}

void shutdownLayer() {
    stopWatchingControls();
    stopWatchingContext();
    stopWatchingKeyboardLoss();
    stopWatchingBackingStore();
    stopListening();
    // What a program left behind (it releases everything itself) goes with the page.
    for (HGLRC__* context : layer().common.contexts) {
        emscripten_webgl_destroy_context(context->context);
        delete context;
    }
    for (HFONT__* font : layer().common.fonts) {
        delete font;
    }
    for (HWND__* window : layer().common.windows) {
        delete window;
    }
    layer() = LayerState{};
}

std::string endingReason() {
    const std::string& pending = layer().common.failureReason;
    return !pending.empty() ? pending : layer().reportedReason;
}

} // namespace webplatform

win32common::CommonState& win32common::commonState() {
    return webplatform::layer().common;
}
