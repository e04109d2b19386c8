// OpenGL on the canvas: the layer's part of the pixel format, of the WGL context calls over WebGL 1
// contexts (the fixed-function GL the program draws with is the GL subset's, attached to each
// context), of SwapBuffers, of swap control and of wglGetProcAddress; the calls themselves are
// win32_common's gdi.cpp. A browser presents what was drawn when the page's script hands control
// back, once per animation frame, so SwapBuffers waits there (through ASYNCIFY) for the next one:
// that is the refresh pacing swap control gives natively. Shared contexts, layered planes and the
// WGL_ARB_pixel_format family are not offered.
#include "platform/web/web_internal.h"

#include "platform/webgl/webgl.h"

#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

using webplatform::layer;

// Why the browser refused a WebGL context, as its webglcontextcreationerror event said (often
// nothing: browsers keep the reason to themselves where it would identify the machine).
EM_JS(void, watchContextCreation, (), {
    Module.layer.webglCreationError = String();
    const canvas = document.getElementById('canvas');
    if (canvas && !Module.layer.watchingContextCreation) {
        Module.layer.watchingContextCreation = true;
        canvas.addEventListener(
            'webglcontextcreationerror',
            function(event) { Module.layer.webglCreationError = event.statusMessage || String(); });
    }
});

EM_JS(void, contextCreationError, (char* reason, int size),
      { stringToUTF8(Module.layer.webglCreationError || String(), reason, size); });

// The canvas' depth buffer as its pixel format promises it; it has no stencil buffer.
constexpr int canvasDepthBits = 24;

// Resolves on the count-th animation frame from now; the page shows the frame just drawn at the
// first of them. A frame not called back within 250 ms is taken as come. A hidden page gets no
// animation frames, so becoming hidden (or being hidden already) ends the wait at once: the program
// must still see the minimised window in its queue. (clang-format would split the JavaScript
// arrows.)
// clang-format off
EM_ASYNC_JS(void, waitForAnimationFrames, (int count), {
    // Counted for tests and benchmarks, which cannot see inside the program.
    Module.test.framesPresented = (Module.test.framesPresented || 0) + 1;
    Module.test.firstPresentTime = Module.test.firstPresentTime || performance.now();
    for (let i = 0; i < count && !document.hidden; ++i) {
        await new Promise(resolve => {
            let late = 0;
            const done = () => {
                clearTimeout(late);
                document.removeEventListener('visibilitychange', done);
                resolve();
            };
            document.addEventListener('visibilitychange', done);
            // An animation frame that is refused (a requestAnimationFrame replaced by a script
            // that throws) or never called back must not stop the demo for good: the wait ends
            // a few frames late instead.
            late = setTimeout(done, 250);
            try {
                requestAnimationFrame(done);
            } catch (error) {
                console.warn('requestAnimationFrame failed, the frame waits for a timer:', error);
            }
        });
    }
    if (document.hidden) {
        await new Promise(resolve => setTimeout(resolve, 0));
    }
});
// clang-format on

using win32common::windowOfDc;

using win32common::liveContext;

void makeCurrent(EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context) {
    emscripten_webgl_make_context_current(context);
}

} // namespace

using namespace webplatform;

void win32common::windowBuffers(HWND /*window*/, int& depthBits, int& stencilBits) {
    // A WebGL canvas without alpha has no stencil buffer unless asked, and depth is promised only
    // as "at least 16 bits"; the context checks what it really got.
    depthBits = canvasDepthBits;
    stencilBits = 0;
}

HGLRC win32common::createPlatformContext(HWND window) {
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_TRUE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    attributes.premultipliedAlpha = EM_FALSE;
    attributes.preserveDrawingBuffer = EM_FALSE;
    attributes.majorVersion = 1;
    attributes.minorVersion = 0;
    // The GL subset draws with WebGL 1's core alone. Turning every extension on by default asks
    // the browser for each one it has, which at start-up costs more than the rest of the context's
    // creation (half a second on a phone-speed CPU).
    attributes.enableExtensionsByDefault = EM_FALSE;
    watchContextCreation();
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context =
        emscripten_webgl_create_context("#canvas", &attributes);
    if (context <= 0) {
        char why[256] = {};
        contextCreationError(why, sizeof why);
        setFailureReason(std::string("WebGL is not available in this browser") +
                         (why[0] != '\0' ? std::string(" (") + why + ")" : std::string()));
        return nullptr;
    }
    // WGL does not make a new context current, so the previous one is put back afterwards.
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE previous = emscripten_webgl_get_current_context();
    makeCurrent(context);
    const int depthBits = static_cast<int>(emscripten_webgl_get_parameter_d(GL_DEPTH_BITS));
    const bool deepEnough = depthBits >= window->pixelFormat.depthBits;
    const bool attached = deepEnough && webGlAttach();
    if (!deepEnough) {
        setFailureReason("WebGL gave a depth buffer of " + std::to_string(depthBits) + " bits");
    } else if (!attached) {
        setFailureReason(std::string("WebGL could not be set up: ") + webGlFailure());
    }
    if (!attached) {
        emscripten_webgl_destroy_context(context);
        makeCurrent(previous);
        return nullptr;
    }
    makeCurrent(previous);
    auto* record = new HGLRC__;
    record->context = context;
    return record;
}

bool win32common::makePlatformContextCurrent(HWND /*window*/, HGLRC context) {
    if (context == nullptr) {
        makeCurrent(0);
        return true;
    }
    if (emscripten_webgl_make_context_current(context->context) != EMSCRIPTEN_RESULT_SUCCESS) {
        setFailureReason("the browser could not make the WebGL context current");
        return false;
    }
    return true;
}

void win32common::destroyContext(HGLRC context) {
    // The subset's buffers and shaders belong to the context, so they go while it is current.
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE previous = emscripten_webgl_get_current_context();
    makeCurrent(context->context);
    webGlDetach();
    makeCurrent(previous == context->context ? 0 : previous);
    emscripten_webgl_destroy_context(context->context);
    delete context;
}

void win32common::present(HWND /*window*/) {
    if (layer().common.currentContext != nullptr) {
        webGlFlush();
    }
    waitForAnimationFrames(layer().driverSwapInterval);
    noteHandBack();
}

BOOL win32common::setDriverSwapInterval(int interval) {
    // Nothing is presented between animation frames, so an interval of 0 waits for one as well.
    layer().driverSwapInterval = std::max(interval, 1);
    return TRUE;
}

int win32common::driverSwapInterval() {
    return layer().driverSwapInterval;
}

PROC win32common::glProcAddress(LPCSTR /*name*/) {
    return nullptr; // the GL subset has no extensions to look up
}
