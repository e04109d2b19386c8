// The GDI and WGL bookkeeping the layers share: the device-context record, the part of a font
// every layer keeps, and the one pixel format a window has. Which DCs and fonts are live, how
// glyphs are drawn and which buffers a window really has are the layer's.
#pragma once

#include "platform/win32_common/win32_api.h"

#include <string>

// A device context: the screen's (no window) or the one a window owns, as with CS_OWNDC.
struct HDC__ {
    HWND__* window = nullptr;
    HFONT__* font = nullptr; // the selected font; starts as the stock font
};

namespace win32common {

// Each layer's HFONT__ extends this with what it draws the glyphs with.
struct FontRecord {
    int height = 0;
    int weight = FW_NORMAL;
    bool italic = false;
    std::string faceName;
    bool stock = false;
    int selectionCount = 0; // DCs that have it selected: it may not be deleted before 0
};

// A window's pixel format: 0 until SetPixelFormat, and the depth it was chosen for.
struct PixelFormatChoice {
    int index = 0;
    int depthBits = 0;
};

void describeFont(FontRecord& font, int height, int weight, DWORD italic, LPCSTR faceName);
// A DC's selection moves from previous to selected (either may be null).
void moveSelection(FontRecord* selected, FontRecord* previous);

// The one format (RGB 8-8-8, double-buffered) when it meets the request with the depth and
// stencil buffers the window has, else 0.
int choosePixelFormat(const PIXELFORMATDESCRIPTOR* format, int depthBits, int stencilBits);
// A window's format is set once; setting the same one again succeeds.
BOOL setPixelFormat(PixelFormatChoice& choice, int index, const PIXELFORMATDESCRIPTOR* format);

} // namespace win32common
