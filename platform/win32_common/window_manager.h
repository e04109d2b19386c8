// The window-manager bookkeeping the layers share: the class table behind RegisterClassA,
// UnregisterClassA and CreateWindowExA, and the part of a window record every layer keeps. Which
// windows are live, and the platform's window behind each, are the layer's.
#pragma once

#include "platform/win32_common/gdi.h"

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

// Each layer's HWND__ extends this with the platform's window behind it.
struct WindowRecord {
    std::string className;
    HINSTANCE classInstance = nullptr;
    WNDPROC procedure = nullptr;
    HDC__ dc;
    bool visible = false;
    bool minimised = false;
    int clientWidth = 0; // as last reported in WM_SIZE
    int clientHeight = 0;
    PixelFormatChoice pixelFormat;
};

// Class and resource names may be given as a number (MAKEINTATOM, MAKEINTRESOURCE).
bool isAtomName(LPCSTR name);
WindowClass* findClass(ClassRegistry& registry, LPCSTR name, HINSTANCE instance);
// 0 when the description is unusable or the name is taken for the instance.
ATOM registerClass(ClassRegistry& registry, const WNDCLASSA* windowClass);
bool isWindowOfClass(const WindowRecord& window, const WindowClass& windowClass);
void removeClass(ClassRegistry& registry, const WindowClass* windowClass);

} // namespace win32common
