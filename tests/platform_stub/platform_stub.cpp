// The recording stand-in for the platform operations; see platform_stub.h. Handles are counters
// cast to the handle types and never dereferenced.
#include "platform_stub/platform_stub.h"

#include <string>
#include <type_traits>
#include <utility>

namespace platformstub {

namespace {

State theState;

const HINSTANCE moduleHandle = reinterpret_cast<HINSTANCE>(std::uintptr_t{0x400000});
const HGDIOBJ stockFont = reinterpret_cast<HGDIOBJ>(std::uintptr_t{0x500000});

std::string text(const char* value) {
    return value ? value : "NULL";
}
std::string text(const void* handle) {
    return std::to_string(reinterpret_cast<std::uintptr_t>(handle));
}
template <typename Number, typename = std::enable_if_t<std::is_arithmetic<Number>::value>>
std::string text(Number value) {
    return std::to_string(value);
}

void record(const char* name, std::vector<std::string> args = {}) {
    theState.calls.push_back({name, std::move(args)});
}

bool fails(const char* name) {
    auto found = theState.failing.find(name);
    if (found == theState.failing.end() || found->second == 0) {
        return false;
    }
    int& passing = theState.passingFirst[name];
    if (passing > 0) {
        --passing;
        return false;
    }
    --found->second;
    return true;
}

template <typename Handle> Handle newHandle() {
    return reinterpret_cast<Handle>(theState.nextHandle++);
}

HWND currentWindow() {
    return theState.windows.empty() ? nullptr : theState.windows.begin()->first;
}

} // namespace

State& state() {
    return theState;
}

void reset() {
    theState = State{};
}

void failOn(const std::string& operation, int times, int after) {
    theState.failing[operation] = times;
    theState.passingFirst[operation] = after;
}
void answerMessageBox(int answer) {
    theState.messageBoxAnswers.push_back(answer);
}
void post(UINT message, WPARAM wParam, LPARAM lParam) {
    theState.queue.push_back({false, message, wParam, lParam});
}
void postIdle(int passes) {
    for (int i = 0; i < passes; ++i) {
        theState.queue.push_back({true, 0, 0, 0});
    }
}

std::vector<std::string> callNames() {
    std::vector<std::string> names;
    for (const Call& call : theState.calls) {
        names.push_back(call.name);
    }
    return names;
}

std::vector<Call> callsTo(const std::string& name) {
    std::vector<Call> matching;
    for (const Call& call : theState.calls) {
        if (call.name == name) {
            matching.push_back(call);
        }
    }
    return matching;
}

int indexOf(const std::string& name, int from) {
    for (size_t i = static_cast<size_t>(from < 0 ? 0 : from); i < theState.calls.size(); ++i) {
        if (theState.calls[i].name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

RECT frameFor(DWORD style) {
    // A caption and a sizing border, about what Windows 10 adds; a popup has no frame.
    if (style & (WS_CAPTION | WS_THICKFRAME)) {
        return RECT{-8, -31, 8, 8};
    }
    return RECT{0, 0, 0, 0};
}

bool nothingLeftBehind() {
    return theState.classes.empty() && theState.windows.empty() && theState.dcs.empty() &&
           theState.contexts.empty() && theState.current == nullptr && theState.fonts.empty() &&
           !theState.displayModeChanged && theState.cursorCount == 0;
}

} // namespace platformstub

using namespace platformstub;

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    record("GetModuleHandleA", {text(moduleName)});
    return fails("GetModuleHandleA") ? nullptr : moduleHandle;
}

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR iconName) {
    record("LoadIconA", {text(instance), text(static_cast<const void*>(iconName))});
    return fails("LoadIconA") ? nullptr : newHandle<HICON>();
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR cursorName) {
    record("LoadCursorA", {text(instance), text(static_cast<const void*>(cursorName))});
    return fails("LoadCursorA") ? nullptr : newHandle<HCURSOR>();
}

ATOM WINAPI RegisterClassA(const WNDCLASSA* wc) {
    record("RegisterClassA", {text(wc->lpszClassName), text(wc->style), text(wc->hInstance)});
    if (fails("RegisterClassA") || theState.classes.count(wc->lpszClassName)) {
        return 0;
    }
    theState.classes[wc->lpszClassName] = wc->lpfnWndProc;
    return 1;
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance) {
    record("UnregisterClassA", {text(className), text(instance)});
    if (fails("UnregisterClassA") || !theState.classes.count(className)) {
        return FALSE;
    }
    for (const auto& window : theState.windows) {
        if (window.second.className == className) {
            return FALSE; // Windows refuses while a window of the class exists
        }
    }
    theState.classes.erase(className);
    return TRUE;
}

BOOL WINAPI AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle) {
    record("AdjustWindowRectEx", {text(style), text(menu), text(exStyle)});
    if (fails("AdjustWindowRectEx")) {
        return FALSE;
    }
    const RECT frame = frameFor(style);
    rect->left += frame.left;
    rect->top += frame.top;
    rect->right += frame.right;
    rect->bottom += frame.bottom;
    return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
    record("CreateWindowExA",
           {text(exStyle), text(className), text(windowName), text(style), text(x), text(y),
            text(width), text(height), text(parent), text(menu), text(instance), text(param)});
    if (fails("CreateWindowExA") || !theState.classes.count(className)) {
        return nullptr;
    }
    const HWND window = newHandle<HWND>();
    theState.windows[window] = {className, windowName, style, exStyle, x, y, width, height, false};
    return window;
}

BOOL WINAPI ShowWindow(HWND window, int showCommand) {
    record("ShowWindow", {text(window), text(showCommand)});
    auto found = theState.windows.find(window);
    if (found == theState.windows.end()) {
        return FALSE;
    }
    const bool wasVisible = found->second.visible;
    found->second.visible = showCommand != SW_HIDE;
    return wasVisible;
}

BOOL WINAPI SetForegroundWindow(HWND window) {
    record("SetForegroundWindow", {text(window)});
    if (fails("SetForegroundWindow")) {
        return FALSE;
    }
    theState.foreground = window;
    return TRUE;
}

HWND WINAPI SetFocus(HWND window) {
    record("SetFocus", {text(window)});
    if (fails("SetFocus")) {
        return nullptr;
    }
    const HWND previous = theState.focus;
    theState.focus = window;
    return previous;
}

BOOL WINAPI DestroyWindow(HWND window) {
    record("DestroyWindow", {text(window)});
    if (fails("DestroyWindow") || !theState.windows.erase(window)) {
        return FALSE;
    }
    if (theState.focus == window) {
        theState.focus = nullptr;
    }
    if (theState.foreground == window) {
        theState.foreground = nullptr;
    }
    return TRUE;
}

HDC WINAPI GetDC(HWND window) {
    record("GetDC", {text(window)});
    if (fails("GetDC") || (window && !theState.windows.count(window))) {
        return nullptr;
    }
    const HDC dc = newHandle<HDC>();
    theState.dcs[dc] = window;
    return dc;
}

int WINAPI ReleaseDC(HWND window, HDC dc) {
    record("ReleaseDC", {text(window), text(dc)});
    auto found = theState.dcs.find(dc);
    if (fails("ReleaseDC") || found == theState.dcs.end() || found->second != window) {
        return 0;
    }
    theState.dcs.erase(found);
    theState.selected.erase(dc);
    return 1;
}

BOOL WINAPI PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg) {
    record("PeekMessageA", {text(window), text(filterMin), text(filterMax), text(removeMsg)});
    if (theState.queue.empty()) {
        *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(scriptEnd), 0, 0, {0, 0}};
        return TRUE;
    }
    const QueueEntry entry = theState.queue.front();
    if (removeMsg & PM_REMOVE) {
        theState.queue.pop_front();
    }
    if (entry.idle) {
        return FALSE;
    }
    const HWND target = entry.message == WM_QUIT ? nullptr : currentWindow();
    *msg = MSG{target, entry.message, entry.wParam, entry.lParam, 0, {0, 0}};
    return TRUE;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
    record("TranslateMessage", {text(msg->message), text(msg->wParam)});
    return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    record("DispatchMessageA", {text(msg->message), text(msg->wParam), text(msg->lParam)});
    auto window = theState.windows.find(msg->hwnd);
    if (window == theState.windows.end()) {
        return 0;
    }
    return theState.classes[window->second.className](msg->hwnd, msg->message, msg->wParam,
                                                      msg->lParam);
}

void WINAPI PostQuitMessage(int exitCode) {
    record("PostQuitMessage", {text(exitCode)});
    // WM_QUIT is retrieved once the messages already queued are gone, before any idle pass.
    auto position = theState.queue.begin();
    while (position != theState.queue.end() && !position->idle) {
        ++position;
    }
    theState.queue.insert(position, {false, WM_QUIT, static_cast<WPARAM>(exitCode), 0});
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    record("DefWindowProcA", {text(window), text(message), text(wParam), text(lParam)});
    return 0;
}

LONG WINAPI ChangeDisplaySettingsA(DEVMODEA* mode, DWORD flags) {
    if (mode == nullptr) {
        record("ChangeDisplaySettingsA", {"NULL", text(flags)});
        theState.displayModeChanged = false;
        return DISP_CHANGE_SUCCESSFUL;
    }
    record("ChangeDisplaySettingsA",
           {text(mode->dmPelsWidth), text(mode->dmPelsHeight), text(mode->dmBitsPerPel),
            text(mode->dmFields), text(mode->dmSize), text(flags)});
    if (fails("ChangeDisplaySettingsA")) {
        return DISP_CHANGE_BADMODE;
    }
    theState.displayModeChanged = true;
    return DISP_CHANGE_SUCCESSFUL;
}

int WINAPI ShowCursor(BOOL show) {
    record("ShowCursor", {text(show)});
    theState.cursorCount += show ? 1 : -1;
    return theState.cursorCount;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR messageText, LPCSTR caption, UINT type) {
    record("MessageBoxA", {text(owner), text(messageText), text(caption), text(type)});
    if (fails("MessageBoxA")) {
        return 0; // never shown
    }
    theState.messageBoxes.push_back({messageText, caption, type});
    if (theState.messageBoxAnswers.empty()) {
        return IDOK;
    }
    const int answer = theState.messageBoxAnswers.front();
    theState.messageBoxAnswers.pop_front();
    return answer;
}

int WINAPI ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* format) {
    record("ChoosePixelFormat", {text(dc)});
    theState.lastPixelFormat = *format;
    if (fails("ChoosePixelFormat") || !theState.dcs.count(dc)) {
        return 0;
    }
    return 1;
}

BOOL WINAPI SetPixelFormat(HDC dc, int index, const PIXELFORMATDESCRIPTOR*) {
    record("SetPixelFormat", {text(dc), text(index)});
    return !fails("SetPixelFormat") && theState.dcs.count(dc) && index > 0;
}

HFONT WINAPI CreateFontA(int height, int, int, int, int weight, DWORD, DWORD, DWORD, DWORD, DWORD,
                         DWORD, DWORD, DWORD, LPCSTR faceName) {
    record("CreateFontA", {text(height), text(weight), text(faceName)});
    if (fails("CreateFontA")) {
        return nullptr;
    }
    const HFONT font = newHandle<HFONT>();
    theState.fonts.insert(font);
    return font;
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
    record("SelectObject", {text(dc), text(object)});
    if (fails("SelectObject")) {
        return nullptr;
    }
    auto found = theState.selected.find(dc);
    const HGDIOBJ previous = found == theState.selected.end() ? stockFont : found->second;
    theState.selected[dc] = object;
    return previous;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
    record("DeleteObject", {text(object)});
    if (fails("DeleteObject")) {
        return FALSE;
    }
    return theState.fonts.erase(static_cast<HFONT>(object)) ? TRUE : FALSE;
}

BOOL WINAPI SwapBuffers(HDC dc) {
    record("SwapBuffers", {text(dc)});
    ++theState.swaps;
    return !fails("SwapBuffers") && theState.dcs.count(dc);
}

HGLRC WINAPI wglCreateContext(HDC dc) {
    record("wglCreateContext", {text(dc)});
    if (fails("wglCreateContext") || !theState.dcs.count(dc)) {
        return nullptr;
    }
    const HGLRC context = newHandle<HGLRC>();
    theState.contexts.insert(context);
    return context;
}

BOOL WINAPI wglMakeCurrent(HDC dc, HGLRC context) {
    record("wglMakeCurrent", {text(dc), text(context)});
    if (fails("wglMakeCurrent")) {
        return FALSE;
    }
    if (context == nullptr) {
        theState.current = nullptr;
        return TRUE;
    }
    if (!theState.contexts.count(context) || !theState.dcs.count(dc)) {
        return FALSE;
    }
    theState.current = context;
    return TRUE;
}

BOOL WINAPI wglDeleteContext(HGLRC context) {
    record("wglDeleteContext", {text(context)});
    if (fails("wglDeleteContext") || !theState.contexts.erase(context)) {
        return FALSE;
    }
    if (theState.current == context) {
        theState.current = nullptr;
    }
    return TRUE;
}

BOOL WINAPI wglUseFontBitmapsA(HDC dc, DWORD first, DWORD count, DWORD listBase) {
    record("wglUseFontBitmapsA", {text(dc), text(first), text(count), text(listBase)});
    if (fails("wglUseFontBitmapsA")) {
        return FALSE;
    }
    // Empty glyphs in the test's own GL context, so the lists exist and can be deleted.
    for (DWORD i = 0; i < count; ++i) {
        glNewList(listBase + i, GL_COMPILE);
        glEndList();
    }
    return TRUE;
}

PROC WINAPI wglGetProcAddress(LPCSTR name) {
    record("wglGetProcAddress", {text(name)});
    fails("wglGetProcAddress"); // offers no entry points either way
    return nullptr;
}

const char* platformExtensionString() {
    record("platformExtensionString");
    return fails("platformExtensionString") ? nullptr : "";
}
