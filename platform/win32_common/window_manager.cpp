// The window-manager calls of window_manager.h, and GetModuleHandleA, LoadIconA, LoadCursorA and
// AdjustWindowRectEx, which are the same on every layer: the program is one module with no
// resources of its own, and no layer's window has a frame inside the size it is given. The
// platform's part of each call is a hook of layer_hooks.h.
#include "platform/win32_common/window_manager.h"

#include <algorithm>
#include <cstdio>
#include <strings.h>

namespace win32common {

namespace {

bool isWindowOfClass(const WindowRecord& window, const WindowClass& windowClass) {
    return strcasecmp(window.className.c_str(), windowClass.name.c_str()) == 0 &&
           window.classInstance == windowClass.instance;
}

} // namespace

bool isAtomName(LPCSTR name) {
    return reinterpret_cast<ULONG_PTR>(name) <= 0xFFFF;
}

WindowClass* findClass(ClassRegistry& registry, LPCSTR name, HINSTANCE instance) {
    if (name == nullptr) {
        return nullptr;
    }
    for (WindowClass& windowClass : registry.classes) {
        const bool sameName =
            isAtomName(name)
                ? windowClass.atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name))
                : strcasecmp(windowClass.name.c_str(), name) == 0;
        if (sameName && windowClass.instance == instance) {
            return &windowClass;
        }
    }
    return nullptr;
}

void setFailureReason(const std::string& reason) {
    commonState().failureReason = reason;
}

std::string takeFailureReason() {
    std::string reason;
    reason.swap(commonState().failureReason);
    return reason;
}

void clearFailureReason() {
    commonState().failureReason.clear();
}

void setUpStockFont(CommonState& state, HFONT stockFont) {
    FontRecord& record = *recordOf(stockFont);
    record.stock = true;
    record.weight = FW_BOLD;
    state.stockFont = stockFont;
    state.screenDc.font = stockFont;
}

UINT keyMessage(bool down, bool alt) {
    if (alt) {
        return down ? WM_SYSKEYDOWN : WM_SYSKEYUP;
    }
    return down ? WM_KEYDOWN : WM_KEYUP;
}

LPARAM keyData(unsigned int scanCode, bool down, bool repeat) {
    DWORD data = 1u | ((static_cast<DWORD>(scanCode) & 0xFFu) << 16);
    if (!down || repeat) {
        data |= 1u << 30;
    }
    if (!down) {
        data |= 1u << 31;
    }
    return static_cast<LPARAM>(data);
}

void postKeyMessage(HWND window, WPARAM key, bool down, bool repeat, bool alt,
                    unsigned int scanCode) {
    commonState().messages.posted.push_back(
        {window, keyMessage(down, alt), key, keyData(scanCode, down, repeat), messageTime(), {}});
}

WPARAM keypadKey(WPARAM numberPadKey, bool numLockOn) {
    static const WPARAM navigation[10] = {VK_INSERT, VK_END,   VK_DOWN, VK_NEXT, VK_LEFT,
                                          VK_CLEAR,  VK_RIGHT, VK_HOME, VK_UP,   VK_PRIOR};
    if (numLockOn) {
        return numberPadKey;
    }
    if (numberPadKey >= VK_NUMPAD0 && numberPadKey <= VK_NUMPAD0 + 9) {
        return navigation[numberPadKey - VK_NUMPAD0];
    }
    return numberPadKey == VK_DECIMAL ? VK_DELETE : numberPadKey;
}

const WindowClass* classOfNewWindow(LPCSTR className, HINSTANCE instance, int width, int height) {
    const WindowClass* windowClass = findClass(commonState().classes, className, instance);
    if (windowClass == nullptr) {
        setFailureReason("the window class is not registered");
    } else if (width <= 0 || height <= 0) {
        setFailureReason("the window has no area");
        windowClass = nullptr;
    }
    return windowClass;
}

HWND liveWindow(HWND window) {
    const auto& windows = commonState().windows;
    return window != nullptr && std::find(windows.begin(), windows.end(), window) != windows.end()
               ? window
               : nullptr;
}

void addWindow(HWND window, const WindowClass& windowClass) {
    WindowRecord& record = *recordOf(window);
    record.className = windowClass.name;
    record.classInstance = windowClass.instance;
    record.procedure = windowClass.procedure;
    record.dc.window = window;
    selectFont(record.dc, commonState().stockFont);
    commonState().windows.push_back(window);
}

void removeWindow(HWND window) {
    CommonState& state = commonState();
    state.windows.erase(std::remove(state.windows.begin(), state.windows.end(), window),
                        state.windows.end());
    if (state.focused == window) {
        state.focused = nullptr;
    }
    dropMessages(state.messages, window);
    selectFont(recordOf(window)->dc, nullptr);
}

HWND sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (liveWindow(window) == nullptr) {
        return nullptr;
    }
    const WNDPROC procedure = recordOf(window)->procedure;
    if (procedure == nullptr) {
        return window;
    }
    const LRESULT answer = procedure(window, message, wParam, lParam);
    if (result != nullptr) {
        *result = answer;
    }
    return liveWindow(window);
}

HWND sendCreationMessages(HWND window, DWORD style) {
    LRESULT created = 0;
    window = sendMessage(window, WM_CREATE, 0, 0, &created);
    if (window != nullptr && created == -1) {
        DestroyWindow(window);
        window = nullptr;
    }
    if (window != nullptr) {
        window = sendSize(window);
    }
    if (window != nullptr && (style & WS_VISIBLE)) {
        ShowWindow(window, SW_SHOW);
        window = liveWindow(window);
    }
    return window;
}

HWND sendSize(HWND window) {
    int width = 0;
    int height = 0;
    clientSize(window, width, height);
    WindowRecord& record = *recordOf(window);
    record.clientWidth = width;
    record.clientHeight = height;
    return sendMessage(window, WM_SIZE, SIZE_RESTORED, MAKELONG(width, height));
}

HWND sendSizeIfChanged(HWND window) {
    int width = 0;
    int height = 0;
    clientSize(window, width, height);
    const WindowRecord& record = *recordOf(window);
    if (width == record.clientWidth && height == record.clientHeight) {
        return window;
    }
    return sendSize(window);
}

void sendMinimised(HWND window) {
    WindowRecord& record = *recordOf(window);
    if (record.minimised) {
        return;
    }
    record.minimised = true;
    record.clientWidth = 0;
    record.clientHeight = 0;
    const HWND stillLive = sendMessage(window, WM_ACTIVATE, MAKELONG(WA_INACTIVE, 1), 0);
    if (stillLive != nullptr) {
        sendMessage(stillLive, WM_SIZE, SIZE_MINIMIZED, 0);
    }
}

void sendRestored(HWND window) {
    WindowRecord& record = *recordOf(window);
    if (!record.minimised) {
        return;
    }
    record.minimised = false;
    const HWND stillLive = sendMessage(window, WM_ACTIVATE, MAKELONG(WA_ACTIVE, 0), 0);
    if (stillLive != nullptr) {
        sendSizeIfChanged(stillLive);
    }
}

} // namespace win32common

using namespace win32common;

namespace {

constexpr UINT buttonMask = 0x0000000F;

} // namespace

ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass) {
    ClassRegistry& registry = commonState().classes;
    if (windowClass == nullptr || windowClass->lpszClassName == nullptr ||
        isAtomName(windowClass->lpszClassName) || windowClass->lpszClassName[0] == '\0' ||
        findClass(registry, windowClass->lpszClassName, windowClass->hInstance) != nullptr) {
        return 0;
    }
    WindowClass entry;
    entry.name = windowClass->lpszClassName;
    entry.instance = windowClass->hInstance;
    entry.procedure = windowClass->lpfnWndProc;
    entry.atom = registry.nextAtom++;
    registry.classes.push_back(entry);
    return entry.atom;
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance) {
    auto& classes = commonState().classes.classes;
    const WindowClass* windowClass = findClass(commonState().classes, className, instance);
    if (windowClass == nullptr) {
        return FALSE;
    }
    for (const HWND window : commonState().windows) {
        if (isWindowOfClass(*recordOf(window), *windowClass)) {
            return FALSE; // a window of the class still exists
        }
    }
    classes.erase(classes.begin() + (windowClass - classes.data()));
    return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD /*exStyle*/, LPCSTR className, LPCSTR windowName, DWORD style,
                            int x, int y, int width, int height, HWND /*parent*/, HMENU /*menu*/,
                            HINSTANCE instance, LPVOID /*param*/) {
    clearFailureReason();
    const WindowClass* windowClass = classOfNewWindow(className, instance, width, height);
    if (windowClass == nullptr) {
        return nullptr;
    }
    const HWND made = createPlatformWindow(windowName, style, x, y, width, height);
    if (made == nullptr) {
        return nullptr;
    }
    addWindow(made, *windowClass);
    const HWND window = sendCreationMessages(made, style);
    if (window == nullptr) {
        setFailureReason("the window was destroyed while it was being created");
    }
    return window;
}

BOOL WINAPI DestroyWindow(HWND window) {
    const HWND live = liveWindow(window);
    // A procedure that destroys its window again while WM_DESTROY is being sent has nothing left
    // to destroy.
    if (live == nullptr || recordOf(live)->destroying) {
        return FALSE;
    }
    recordOf(live)->destroying = true;
    if (sendMessage(live, WM_DESTROY, 0, 0) != nullptr) {
        removeWindow(live);
        freePlatformWindow(live);
    }
    return TRUE;
}

BOOL WINAPI SetForegroundWindow(HWND window) {
    const HWND live = liveWindow(window);
    if (live == nullptr) {
        return FALSE;
    }
    raisePlatformWindow(live);
    return TRUE;
}

int WINAPI ShowCursor(BOOL show) {
    int& counter = commonState().cursorCounter;
    counter += show ? 1 : -1;
    showPlatformCursor(counter >= 0);
    return counter;
}

LONG WINAPI ChangeDisplaySettingsA(DEVMODEA* mode, DWORD /*flags*/) {
    if (mode == nullptr) {
        restoreDisplayMode();
        return DISP_CHANGE_SUCCESSFUL;
    }
    clearFailureReason();
    return setDisplayMode(*mode);
}

BOOL WINAPI PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg) {
    if (msg == nullptr) {
        return FALSE;
    }
    pumpPlatformEvents();
    if (takeMessage(commonState().messages, msg, window, filterMin, filterMax, removeMsg,
                    messageTime())) {
        return TRUE;
    }
    restAfterEmptyPoll();
    return FALSE;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    MessageBoxRequest request;
    request.owner = liveWindow(owner);
    request.text = text != nullptr ? text : "";
    request.caption = caption != nullptr ? caption : "Error"; // Windows' default caption
    request.reason = takeFailureReason();
    request.type = type;
    request.yesNo = (type & buttonMask) == MB_YESNO;
    // Nobody there to answer, or nobody wanting to: a question gets the cautious answer.
    request.unanswered = request.yesNo ? IDNO : IDOK;
    // Every box is also a line on stderr (a page's console), with the reason after the text, so
    // whoever started the program sees why even where no box can be shown.
    std::fprintf(stderr, "%s: %s%s\n", request.caption.c_str(), request.text.c_str(),
                 request.reason.empty() ? "" : (" (" + request.reason + ")").c_str());
    std::fflush(stderr);
    return showMessageBox(request);
}

BOOL WINAPI ShowWindow(HWND window, int showCommand) {
    HWND live = liveWindow(window);
    if (live == nullptr) {
        return FALSE;
    }
    const bool wasVisible = recordOf(live)->visible;
    const bool show = showCommand != SW_HIDE;
    if (wasVisible == show) {
        return wasVisible ? TRUE : FALSE;
    }
    live = sendMessage(live, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    if (live == nullptr) {
        return wasVisible ? TRUE : FALSE;
    }
    showPlatformWindow(live, show);
    recordOf(live)->visible = show;
    if (!show) {
        return wasVisible ? TRUE : FALSE;
    }
    live = sendMessage(live, WM_ACTIVATE, MAKELONG(WA_ACTIVE, 0), 0);
    if (live != nullptr) {
        sendSizeIfChanged(live); // a full-screen window takes the mode's size when shown
    }
    return wasVisible ? TRUE : FALSE;
}

HWND WINAPI SetFocus(HWND window) {
    CommonState& state = commonState();
    const HWND previous = liveWindow(state.focused);
    if (window == nullptr) {
        state.focused = nullptr;
        return previous;
    }
    const HWND live = liveWindow(window);
    if (live == nullptr || !recordOf(live)->visible) {
        return nullptr; // a hidden window cannot take the keyboard
    }
    giveKeyboard(live);
    state.focused = live;
    return previous;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    // The handle only has to be non-null and stable.
    static char moduleAnchor;
    return moduleName == nullptr ? reinterpret_cast<HMODULE>(&moduleAnchor) : nullptr;
}

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR iconName) {
    static char stockIcon;
    return instance == nullptr && isAtomName(iconName) ? reinterpret_cast<HICON>(&stockIcon)
                                                       : nullptr;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR cursorName) {
    static char stockCursor;
    return instance == nullptr && isAtomName(cursorName) ? reinterpret_cast<HCURSOR>(&stockCursor)
                                                         : nullptr;
}

BOOL WINAPI AdjustWindowRectEx(RECT* rect, DWORD /*style*/, BOOL /*menu*/, DWORD /*exStyle*/) {
    // A window manager draws the frame outside the client area and the canvas has none, so the
    // size given to CreateWindowExA is the client size and the rectangle stays as it is.
    return rect != nullptr ? TRUE : FALSE;
}
