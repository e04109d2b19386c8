// The canvas' backing store, kept at the size the page shows the canvas at in device pixels while
// the window stays the size the program made it; the GL subset scales the program's pixels to it.
// The page's layout (index.html) decides the displayed size; the observer here only notes it, and
// followBackingStore() acts on the program's own call path, as the key handlers do.
#include "platform/web/web_internal.h"

#include "platform/webgl/webgl.h"

#include <emscripten/emscripten.h>

namespace {

using webplatform::layer;

// The backing store follows the canvas' displayed size in device pixels
// (devicePixelContentBoxSize where the browser measures it, else the CSS size times
// devicePixelRatio).
// (clang-format would split the JavaScript arrows.)
// clang-format off
EM_JS(void, installBackingStoreObserver, (), {
    const canvas = document.getElementById('canvas');
    if (!canvas || Module.layer.backingStoreHandlers) {
        return;
    }
    const handlers = Module.layer.backingStoreHandlers = {};
    Module.layer.wantedBackingSize = [0, 0];
    const want = (width, height) => {
        if (width > 0 && height > 0) {
            Module.layer.wantedBackingSize = [Math.round(width), Math.round(height)];
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
    handlers.remove = () => {
        if (handlers.observer) {
            handlers.observer.disconnect();
        }
    };
    fromCss();
});
// clang-format on

EM_JS(void, removeBackingStoreObserver, (), {
    if (Module.layer.backingStoreHandlers) {
        Module.layer.backingStoreHandlers.remove();
        delete Module.layer.backingStoreHandlers;
    }
});

// A changed ratio (another screen, zooming) need not change the CSS size the observer watches, and
// not every browser tells a media query about it, so it is looked at whenever the size is read.
// (clang-format would split the JavaScript comparison.)
// clang-format off
EM_JS(void, readWantedBackingSize, (int* width, int* height), {
    const handlers = Module.layer.backingStoreHandlers;
    if (handlers && handlers.ratio !== devicePixelRatio) {
        handlers.ratio = devicePixelRatio;
        handlers.fromCss();
    }
    const wanted = Module.layer.wantedBackingSize || [ 0, 0 ];
    HEAP32[width >> 2] = wanted[0];
    HEAP32[height >> 2] = wanted[1];
});
// clang-format on

} // namespace

namespace webplatform {

void watchBackingStore() {
    installBackingStoreObserver();
}

void stopWatchingBackingStore() {
    removeBackingStoreObserver();
}

void setWindowSize(int width, int height) {
    PageState& page = layer().page;
    page.windowWidth = width;
    page.windowHeight = height;
    page.wantedWidth = page.wantedHeight = 0; // the new window's canvas is resized again
}

void canvasSize(int& width, int& height) {
    width = layer().page.windowWidth;
    height = layer().page.windowHeight;
}

// The backing store as the page's layout wants it, and the scale from the window's pixels to it.
void followBackingStore() {
    PageState& page = layer().page;
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

} // namespace webplatform
