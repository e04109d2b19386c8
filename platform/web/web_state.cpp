// The layer's one state record: where it lives, its start and the shutdown that releases what a
// program left behind, and the failure reasons kept for MessageBoxA and the page's closing notice.
#include "platform/web/web_internal.h"

#include <emscripten/emscripten.h>

namespace webplatform {

namespace {

LayerState layerState; // all of the layer's memory, started by startLayer() and released by
                       // shutdownLayer()

} // namespace

LayerState& layer() {
    return layerState;
}

void startLayer() {
    layer() = LayerState{};
    win32common::setUpStockFont(layer().common, &layer().stockFont);
    layer().lastHandBack = emscripten_get_now();
    listenToPage();
}

void shutdownLayer() {
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
