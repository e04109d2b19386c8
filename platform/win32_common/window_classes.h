// The window-class table behind RegisterClassA, UnregisterClassA and CreateWindowExA: entries,
// atoms and lookup by name or atom. Whether a window of a class is still open is the layer's
// question; the table only answers for its entries.
#pragma once

#include "platform/sdl/win32_api.h"
#include "platform/win32_common/window_record.h"

#include <string>
#include <vector>

namespace win32common {

struct WindowClass {
    std::string name;
    HINSTANCE instance = nullptr;
    WNDPROC procedure = nullptr;
    ATOM atom = 0;
};

struct ClassRegistry {
    std::vector<WindowClass> classes;
    ATOM nextAtom = 0xC000; // where Windows numbers registered classes from
};

// Class and resource names may be given as a number (MAKEINTATOM, MAKEINTRESOURCE).
bool isAtomName(LPCSTR name);

// The entry a name or atom names for an instance, or null.
WindowClass* findClass(ClassRegistry& registry, LPCSTR name, HINSTANCE instance);

// Adds a class; 0 when the description is unusable or the name is taken for the instance.
ATOM registerClass(ClassRegistry& registry, const WNDCLASSA* windowClass);

// Whether a window was made from windowClass.
bool isWindowOfClass(const WindowRecord& window, const WindowClass& windowClass);

void removeClass(ClassRegistry& registry, const WindowClass* windowClass);

} // namespace win32common
