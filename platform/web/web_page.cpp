// What the page adds around the canvas, seen from the layer: the on-screen controls (their presses
// arrive here as the keys they stand for), keys released when the demo loses the keyboard, the
// canvas' backing store kept at its displayed size in device pixels while the window stays the
// size the program made it, and a lost WebGL context waited for and rebuilt. The page's own
// script (index.html) lays the controls out; the handlers here only queue, and pumpPage() acts on
// the program's own call path, as the key handlers do.
#include "platform/web/web_internal.h"

#include "platform/webgl/webgl.h"

#include <emscripten/emscripten.h>

#include <bitset>

namespace {

using webplatform::layer;
using webplatform::PageEvent;

// After this long without the context back, the page offers to reload.
constexpr int reloadOfferMs = 4000;

struct Page {
    int windowWidth = 0; // the window's client size as the program made it
    int windowHeight = 0;
    std::bitset<256> held; // keys the window procedure has been told are down
    int wantedWidth = 0;   // the backing store last asked for by the page's layout
    int wantedHeight = 0;
    float scaleX = 1;
    float scaleY = 1;
    bool contextLost = false;
    bool restorePending = false;
};

Page page;

// The page's listeners, installed once per start of the layer. The backing store follows the
// canvas' displayed size in device pixels (devicePixelContentBoxSize where the browser measures
// it, else the CSS size times devicePixelRatio).
// (clang-format would split the JavaScript arrows.)
// clang-format off
EM_JS(void, installPageHandlers, (int reloadAfterMs), {
    const canvas = document.getElementById('canvas');
    if (!canvas || Module.pageHandlers) {
        return;
    }
    const handlers = Module.pageHandlers = {};
    Module.wantedBackingSize = [0, 0];
    const want = (width, height) => {
        if (width > 0 && height > 0) {
            Module.wantedBackingSize = [Math.round(width), Math.round(height)];
        }
    };
    const fromCss = () => {
        const box = canvas.getBoundingClientRect();
        want(box.width * devicePixelRatio, box.height * devicePixelRatio);
    };
    if (typeof ResizeObserver == 'function') {
        handlers.observer = new ResizeObserver(entries => {
            const entry = entries[entries.length - 1];
            const device = entry.devicePixelContentBoxSize && entry.devicePixelContentBoxSize[0];
            const css = entry.contentRect;
            // Exact where the browser knows it; a device emulation that scales the page behind
            // the layout's back reports CSS pixels there, so it must agree with the ratio.
            if (device && Math.abs(device.inlineSize - css.width * devicePixelRatio) <= 1 &&
                Math.abs(device.blockSize - css.height * devicePixelRatio) <= 1) {
                want(device.inlineSize, device.blockSize);
            } else {
                want(css.width * devicePixelRatio, css.height * devicePixelRatio);
            }
        });
        try {
            handlers.observer.observe(canvas, {box: 'device-pixel-content-box'});
        } catch (e) {
            handlers.observer.observe(canvas);
        }
    }
    handlers.fromCss = fromCss;
    handlers.ratio = devicePixelRatio;
    fromCss();

    // Leaving the demo (a click elsewhere, another window or tab) lets go of every key.
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

    // A lost context may come back only if the loss event is prevented.
    const notice = () => document.getElementById('context-notice');
    handlers.lost = event => {
        event.preventDefault();
        Module.contextLosses = (Module.contextLosses || 0) + 1;
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
});
// clang-format on

EM_JS(void, removePageHandlers, (), {
    const canvas = document.getElementById('canvas');
    const handlers = Module.pageHandlers;
    if (!handlers) {
        return;
    }
    if (handlers.observer) {
        handlers.observer.disconnect();
    }
    clearTimeout(handlers.reloadTimer);
    if (canvas) {
        canvas.removeEventListener('blur', handlers.release);
        canvas.removeEventListener('webglcontextlost', handlers.lost);
        canvas.removeEventListener('webglcontextrestored', handlers.restored);
    }
    window.removeEventListener('blur', handlers.release);
    document.removeEventListener('visibilitychange', handlers.visibility);
    delete Module.pageHandlers;
});

// The keys held, as the page's tests and embedding pages may read them.
EM_JS(void, showKeysDown, (const unsigned char* held, int count), {
    const keys = [];
    for (let key = 0; key < count; ++key) {
        if (HEAPU8[held + key]) {
            keys.push(key);
        }
    }
    Module.keysDown = keys;
});

// A changed ratio (another screen, zooming) need not change the CSS size the observer watches, and
// not every browser tells a media query about it, so it is looked at whenever the size is read.
// (clang-format would split the JavaScript comparison.)
// clang-format off
EM_JS(void, readWantedBackingSize, (int* width, int* height), {
    const handlers = Module.pageHandlers;
    if (handlers && handlers.ratio !== devicePixelRatio) {
        handlers.ratio = devicePixelRatio;
        handlers.fromCss();
    }
    const wanted = Module.wantedBackingSize || [ 0, 0 ];
    HEAP32[width >> 2] = wanted[0];
    HEAP32[height >> 2] = wanted[1];
});
// clang-format on

void queueKey(WPARAM key, bool down) {
    PageEvent entry;
    entry.kind = PageEvent::key;
    entry.message = win32common::keyMessage(down, false);
    entry.virtualKey = key;
    entry.keyData = win32common::keyData(0, down, false);
    layer().pageEvents.push_back(entry);
    webplatform::noteKey(entry);
}

bool takesControls() {
    const HWND__* window = webplatform::canvasWindow();
    return window != nullptr && window->visible && !layer().messageBoxShowing;
}

// The backing store as the page's layout wants it, and the scale from the window's pixels to it.
void followBackingStore() {
    int width = 0;
    int height = 0;
    readWantedBackingSize(&width, &height);
    if (width > 0 && height > 0 && (width != page.wantedWidth || height != page.wantedHeight)) {
        page.wantedWidth = width;
        page.wantedHeight = height;
        emscripten_set_canvas_element_size("#canvas", width, height);
    }
    if (emscripten_get_canvas_element_size("#canvas", &width, &height) !=
            EMSCRIPTEN_RESULT_SUCCESS ||
        page.windowWidth <= 0 || page.windowHeight <= 0 || width <= 0 || height <= 0) {
        return;
    }
    const float scaleX = static_cast<float>(width) / static_cast<float>(page.windowWidth);
    const float scaleY = static_cast<float>(height) / static_cast<float>(page.windowHeight);
    if (scaleX != page.scaleX || scaleY != page.scaleY) {
        page.scaleX = scaleX;
        page.scaleY = scaleY;
        webGlSetDeviceScale(scaleX, scaleY);
    }
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
    if (down != 0 || page.held.test(key)) {
        queueKey(key, down != 0);
    }
}

EMSCRIPTEN_KEEPALIVE void skorvaneReleaseKeys() {
    for (WPARAM key = 0; key < page.held.size(); ++key) {
        if (page.held.test(key)) {
            queueKey(key, false);
        }
    }
}

// The canvas' WebGL context was lost (0) or given back (1).
EMSCRIPTEN_KEEPALIVE void skorvaneContextEvent(int restored) {
    page.contextLost = restored == 0;
    page.restorePending = restored != 0;
    if (page.contextLost) {
        webGlContextLost(); // nothing more reaches WebGL until it is back
    }
}

} // extern "C"

namespace webplatform {

void initPage() {
    page = Page{};
    installPageHandlers(reloadOfferMs);
}

void shutdownPage() {
    removePageHandlers();
    page = Page{};
}

void setWindowSize(int width, int height) {
    page.windowWidth = width;
    page.windowHeight = height;
    page.wantedWidth = page.wantedHeight = 0; // the new window's canvas is resized again
}

void canvasSize(int& width, int& height) {
    width = page.windowWidth;
    height = page.windowHeight;
}

void noteKey(const PageEvent& event) {
    if (event.virtualKey >= page.held.size()) {
        return;
    }
    if (event.message == WM_KEYDOWN || event.message == WM_SYSKEYDOWN) {
        page.held.set(event.virtualKey);
    } else {
        page.held.reset(event.virtualKey);
    }
    unsigned char held[256];
    for (size_t key = 0; key < page.held.size(); ++key) {
        held[key] = page.held.test(key) ? 1 : 0;
    }
    showKeysDown(held, static_cast<int>(page.held.size()));
}

void pumpPage() {
    followBackingStore();
    if (page.restorePending && layer().common.currentContext != nullptr) {
        page.restorePending = false;
        const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE previous = emscripten_webgl_get_current_context();
        emscripten_webgl_make_context_current(layer().common.currentContext->context);
        webGlContextRestored();
        emscripten_webgl_make_context_current(previous);
    }
}

} // namespace webplatform
