// The part of a window record every layer keeps: its class, its own DC, whether it is shown or
// minimised, the client size last reported in WM_SIZE and its pixel format. Each layer's HWND__
// adds the platform's window behind it; which windows are live is the layer's.
#pragma once

#include "platform/sdl/win32_api.h"
#include "platform/win32_common/gdi_objects.h"
#include "platform/win32_common/pixel_format.h"

#include <string>

namespace win32common {

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

} // namespace win32common
