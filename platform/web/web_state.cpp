// The layer's one state record: where it lives, its start and the shutdown that releases what a
// program left behind, and the failure reasons kept for MessageBoxA and the page's closing notice.
#include "platform/web/web_internal.h"

#include <emscripten/emscripten.h>

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
    state().common.stockFont = &state().stockFont;
    state().common.screenDc.font = &state().stockFont;
    state().lastHandBack = emscripten_get_now();
    listenToPage();
}

void shutdown() {
    stopListening();
    // What a program left behind (it releases everything itself) goes with the page.
    for (HGLRC__* context : state().common.contexts) {
        emscripten_webgl_destroy_context(context->context);
        delete context;
    }
    for (HFONT__* font : state().common.fonts) {
        delete font;
    }
    for (HWND__* window : state().common.windows) {
        delete window;
    }
    state() = State{};
}

void clearFailureReason() {
    state().common.failureReason.clear();
}

std::string endingReason() {
    const std::string& pending = state().common.failureReason;
    return !pending.empty() ? pending : state().reportedReason;
}

} // namespace webplatform

win32common::CommonState& win32common::commonState() {
    return webplatform::state().common;
}
