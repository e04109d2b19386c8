// GetModuleHandleA, LoadIconA and LoadCursorA, the same on every layer: the program is one module
// and carries no resources of its own, so only the module's handle and the system's stock icons
// and cursors exist. What a layer shows as the application's icon is its own business.
#include "platform/sdl/win32_api.h"
#include "platform/win32_common/window_classes.h"

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
