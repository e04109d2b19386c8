// A lost WebGL context, waited for and picked up where it left off: while it is lost the page
// shows its notice (after a few seconds with an offer to reload) and the GL subset sends nothing
// to WebGL; when the browser gives it back the subset rebuilds what it keeps in WebGL, on the
// program's own call path (restoreLostContext, from the message pump).
#include "platform/web/web_internal.h"

#include "platform/webgl/webgl.h"

#include <emscripten/emscripten.h>

namespace {

using webplatform::layer;

// After this long without the context back, the page offers to reload.
constexpr int reloadOfferMs = 4000;

// A lost context may come back only if the loss event is prevented.
// (clang-format would split the JavaScript arrows.)
// clang-format off
EM_JS(void, installContextHandlers, (int reloadAfterMs), {
    const canvas = document.getElementById('canvas');
    if (!canvas || Module.layer.contextHandlers) {
        return;
    }
    const handlers = Module.layer.contextHandlers = {};
    const notice = () => document.getElementById('context-notice');
    handlers.lost = event => {
        event.preventDefault();
        const shown = notice();
        if (shown) {
            shown.hidden = false;
            shown.querySelector('.reload').hidden = true;
        }
        clearTimeout(handlers.reloadTimer);
        handlers.reloadTimer = setTimeout(() => {
            const late = notice();
            if (late) {
                late.querySelector('.reload').hidden = false;
            }
        }, reloadAfterMs);
        if (Module._skorvaneContextEvent) {
            Module._skorvaneContextEvent(0);
        }
    };
    handlers.restored = () => {
        clearTimeout(handlers.reloadTimer);
        const shown = notice();
        if (shown) {
            shown.hidden = true;
        }
        if (Module._skorvaneContextEvent) {
            Module._skorvaneContextEvent(1);
        }
    };
    canvas.addEventListener('webglcontextlost', handlers.lost);
    canvas.addEventListener('webglcontextrestored', handlers.restored);
    handlers.remove = () => {
        clearTimeout(handlers.reloadTimer);
        canvas.removeEventListener('webglcontextlost', handlers.lost);
        canvas.removeEventListener('webglcontextrestored', handlers.restored);
    };
});
// clang-format on

EM_JS(void, removeContextHandlers, (), {
    if (Module.layer.contextHandlers) {
        Module.layer.contextHandlers.remove();
        delete Module.layer.contextHandlers;
    }
});

} // namespace

// Called by the page's handlers.
extern "C" {

// The canvas' WebGL context was lost (0) or given back (1).
EMSCRIPTEN_KEEPALIVE void skorvaneContextEvent(int restored) {
    webplatform::PageState& page = layer().page;
    page.contextLost = restored == 0;
    page.restorePending = restored != 0;
    if (page.contextLost) {
        webGlContextLost(); // nothing more reaches WebGL until it is back
    }
}

} // extern "C"

namespace webplatform {

void watchContext() {
    installContextHandlers(reloadOfferMs);
}

void stopWatchingContext() {
    removeContextHandlers();
}

void restoreLostContext() {
    PageState& page = layer().page;
    if (page.restorePending && layer().common.currentContext != nullptr) {
        page.restorePending = false;
        const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE previous = emscripten_webgl_get_current_context();
        emscripten_webgl_make_context_current(layer().common.currentContext->context);
        webGlContextRestored();
        emscripten_webgl_make_context_current(previous);
    }
}

} // namespace webplatform
