// The window-class table of window_classes.h. Windows themselves are not known here.
#include "platform/win32_common/window_classes.h"

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
