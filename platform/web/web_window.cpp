// Window manager over the page: the layer's part of the one window, which is the page's canvas
// (CreateWindowExA sizes it, ShowWindow shows it, the title becomes the document's); the Win32
// calls themselves are win32_common's window_manager.cpp. The browser cannot change the
// display's mode, so ChangeDisplaySettingsA refuses every mode. The message queue
// is in web_messages.cpp; contexts and swapping are in web_context.cpp.
#include "platform/web/web_internal.h"

#include <emscripten/emscripten.h>

namespace {

EM_JS(void, setDocumentTitle, (const char* title), { document.title = UTF8ToString(title); });

EM_JS(void, setCanvasShown, (bool shown), {
    const canvas = document.getElementById('canvas');
    if (canvas) {
        canvas.style.visibility = shown ? 'visible' : 'hidden';
    }
});

// The program asks for the keyboard at start-up (SetFocus). A page of its own gives it the
// canvas; a page inside another's frame does not take the keyboard from the page around it (its
// scrolling keys, its own fields), and no page takes it from a field someone is typing in. There
// the demo takes the keyboard when its picture or a control is clicked or tapped (index.html).
// (clang-format would split the JavaScript comparisons.)
// clang-format off
EM_JS(void, takeKeyboardIfFree, (), {
    const canvas = document.getElementById('canvas');
    let topLevel = false;
    try {
        topLevel = window.top === window.self;
    } catch (e) {
        topLevel = false; // a cross-origin parent may not even be compared
    }
    const active = document.activeElement;
    const busy = active && active !== document.body && active !== document.documentElement &&
                 active !== canvas;
    if (canvas && topLevel && !busy) {
        canvas.focus({preventScroll: true, focusVisible: false});
    }
});
// clang-format on

// A destroyed window leaves the page: the notices under it move up into its place.
EM_JS(void, removeCanvasFromLayout, (), {
    const canvas = document.getElementById('canvas');
    if (canvas) {
        canvas.style.display = 'none';
    }
});

EM_JS(void, setCanvasCursorHidden, (bool hidden), {
    const canvas = document.getElementById('canvas');
    if (canvas) {
        canvas.style.cursor = hidden ? 'none' : String();
    }
});

using webplatform::layer;

} // namespace

namespace webplatform {

HWND__* canvasWindow() {
    const auto& windows = layer().common.windows;
    return windows.empty() ? nullptr : windows.front();
}

} // namespace webplatform

using namespace webplatform;
using namespace win32common;

WindowRecord* win32common::recordOf(HWND window) {
    return window;
}

void win32common::clientSize(HWND /*window*/, int& width, int& height) {
    canvasSize(width, height);
}

void win32common::showPlatformWindow(HWND /*window*/, bool shown) {
    setCanvasShown(shown);
}

void win32common::giveKeyboard(HWND /*window*/) {
    takeKeyboardIfFree();
}

HWND win32common::createPlatformWindow(LPCSTR title, DWORD /*style*/, int /*x*/, int /*y*/,
                                       int width, int height) {
    // The page has one canvas, so there is one window at a time.
    if (canvasWindow() != nullptr) {
        setFailureReason("the page has one canvas, and its window is already made");
        return nullptr;
    }
    if (emscripten_set_canvas_element_size("#canvas", width, height) != EMSCRIPTEN_RESULT_SUCCESS) {
        setFailureReason("the page has no canvas element with the id \"canvas\"");
        return nullptr;
    }
    setWindowSize(width, height);
    setDocumentTitle(title != nullptr ? title : "");
    setCanvasShown(false);
    return new HWND__;
}

void win32common::freePlatformWindow(HWND window) {
    removeCanvasFromLayout();
    delete window;
}

void win32common::raisePlatformWindow(HWND /*window*/) {
    // A page cannot bring its browser window to the front; the canvas is in front on its page.
}

LONG win32common::setDisplayMode(const DEVMODEA& /*mode*/) {
    return DISP_CHANGE_BADMODE;
}

void win32common::restoreDisplayMode() {
    // Going back to the desktop's mode always works; nothing else ever changed it.
}

void win32common::showPlatformCursor(bool shown) {
    setCanvasCursorHidden(!shown);
}
