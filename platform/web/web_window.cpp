// Window manager over the page: the class calls and the one window, which is the page's canvas
// (CreateWindowExA sizes it, ShowWindow shows it, the title becomes the document's). The browser
// cannot change the display's mode, so ChangeDisplaySettingsA refuses every mode. The message queue
// is in web_messages.cpp; contexts and swapping are in web_context.cpp.
#include "platform/web/web_internal.h"

#include <emscripten/emscripten.h>

namespace {

EM_JS(void, setDocumentTitle, (const char* title), { document.title = UTF8ToString(title); });

EM_JS(void, setCanvasShown, (bool shown), {
    const canvas = document.getElementById('canvas');
    if (canvas) {
        canvas.style.visibility = shown ? 'visible' : 'hidden';
        if (shown) {
            canvas.focus({preventScroll : true, focusVisible : false});
        }
    }
});

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

using webplatform::state;

void sendSize(HWND__* window) {
    int width = 0;
    int height = 0;
    webplatform::canvasSize(width, height);
    window->clientWidth = width;
    window->clientHeight = height;
    webplatform::sendMessage(window, WM_SIZE, SIZE_RESTORED, MAKELONG(width, height));
}

} // namespace

namespace webplatform {

HWND__* liveWindow(HWND window) {
    return window != nullptr && window == state().window ? window : nullptr;
}

LRESULT sendMessage(HWND__* window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window == nullptr || window->procedure == nullptr) {
        return 0;
    }
    return window->procedure(window, message, wParam, lParam);
}

} // namespace webplatform

using namespace webplatform;
using namespace win32common;

ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass) {
    return registerClass(state().classes, windowClass);
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance) {
    const WindowClass* windowClass = findClass(state().classes, className, instance);
    if (windowClass == nullptr) {
        return FALSE;
    }
    const HWND__* window = state().window;
    if (window != nullptr && isWindowOfClass(*window, *windowClass)) {
        return FALSE; // a window of the class still exists
    }
    removeClass(state().classes, windowClass);
    return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD /*exStyle*/, LPCSTR className, LPCSTR windowName, DWORD style,
                            int /*x*/, int /*y*/, int width, int height, HWND /*parent*/,
                            HMENU /*menu*/, HINSTANCE instance, LPVOID /*param*/) {
    const WindowClass* windowClass = findClass(state().classes, className, instance);
    // The page has one canvas, so there is one window at a time.
    if (windowClass == nullptr || width <= 0 || height <= 0 || state().window != nullptr ||
        emscripten_set_canvas_element_size("#canvas", width, height) != EMSCRIPTEN_RESULT_SUCCESS) {
        return nullptr;
    }
    setWindowSize(width, height);
    auto* record = new HWND__;
    record->className = windowClass->name;
    record->classInstance = windowClass->instance;
    record->procedure = windowClass->procedure;
    record->dc.window = record;
    record->dc.font = &state().stockFont;
    state().window = record;
    setDocumentTitle(windowName != nullptr ? windowName : "");
    setCanvasShown(false);

    // Windows sends these from inside CreateWindowEx, before any GL context can exist.
    if (sendMessage(record, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(record);
        return nullptr;
    }
    sendSize(record);
    if (style & WS_VISIBLE) {
        ShowWindow(record, SW_SHOW);
    }
    return liveWindow(record);
}

BOOL WINAPI ShowWindow(HWND window, int showCommand) {
    HWND__* record = liveWindow(window);
    if (record == nullptr) {
        return FALSE;
    }
    const BOOL wasVisible = record->visible ? TRUE : FALSE;
    if (showCommand == SW_HIDE) {
        if (record->visible) {
            sendMessage(record, WM_SHOWWINDOW, FALSE, 0);
            setCanvasShown(false);
            record->visible = false;
        }
        return wasVisible;
    }
    if (!record->visible) {
        sendMessage(record, WM_SHOWWINDOW, TRUE, 0);
        setCanvasShown(true);
        record->visible = true;
        if ((record = liveWindow(window)) != nullptr) {
            sendMessage(record, WM_ACTIVATE, MAKELONG(WA_ACTIVE, 0), 0);
        }
    }
    return wasVisible;
}

BOOL WINAPI SetForegroundWindow(HWND window) {
    // A page cannot bring its browser window to the front; the canvas is in front on its page.
    return liveWindow(window) != nullptr ? TRUE : FALSE;
}

HWND WINAPI SetFocus(HWND window) {
    HWND previous = liveWindow(state().focused);
    if (window == nullptr) {
        state().focused = nullptr;
        return previous;
    }
    HWND__* record = liveWindow(window);
    if (record == nullptr || !record->visible) {
        return nullptr; // a hidden window cannot take the keyboard
    }
    state().focused = record;
    return previous;
}

BOOL WINAPI DestroyWindow(HWND window) {
    HWND__* record = liveWindow(window);
    if (record == nullptr) {
        return FALSE;
    }
    sendMessage(record, WM_DESTROY, 0, 0);
    record = liveWindow(window); // the procedure may have destroyed it already
    if (record == nullptr) {
        return TRUE;
    }
    state().window = nullptr;
    if (state().focused == record) {
        state().focused = nullptr;
    }
    dropMessages(state().messages, record);
    selectFont(&record->dc, &state().stockFont);
    removeCanvasFromLayout();
    delete record;
    return TRUE;
}

LONG WINAPI ChangeDisplaySettingsA(DEVMODEA* mode, DWORD /*flags*/) {
    // Going back to the desktop's mode always works; nothing else ever changed it.
    return mode == nullptr ? DISP_CHANGE_SUCCESSFUL : DISP_CHANGE_BADMODE;
}

int WINAPI ShowCursor(BOOL show) {
    state().cursorCounter += show ? 1 : -1;
    setCanvasCursorHidden(state().cursorCounter < 0);
    return state().cursorCounter;
}
