// The class table of window_manager.h, and GetModuleHandleA, LoadIconA, LoadCursorA and
// AdjustWindowRectEx, which are the same on every layer: the program is one module with no
// resources of its own, and no layer's window has a frame inside the size it is given.
#include "platform/win32_common/window_manager.h"

#include <strings.h>

namespace win32common {

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

ATOM registerClass(ClassRegistry& registry, const WNDCLASSA* windowClass) {
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

bool isWindowOfClass(const WindowRecord& window, const WindowClass& windowClass) {
    return strcasecmp(window.className.c_str(), windowClass.name.c_str()) == 0 &&
           window.classInstance == windowClass.instance;
}

void removeClass(ClassRegistry& registry, const WindowClass* windowClass) {
    auto& classes = registry.classes;
    classes.erase(classes.begin() + (windowClass - classes.data()));
}

} // namespace win32common

using win32common::isAtomName;

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
