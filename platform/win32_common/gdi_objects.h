// The GDI records both layers share: the device-context record, and the part of a font every
// layer keeps (what CreateFontA asked for and whether DCs still have it selected). Which DCs and
// fonts are live, and how a font is drawn, are the layer's; its HFONT__ adds what it draws with.
#pragma once

#include "platform/sdl/win32_api.h"

#include <string>

// A device context: the screen's (no window) or the one a window owns, as with CS_OWNDC.
struct HDC__ {
    HWND__* window = nullptr;
    HFONT__* font = nullptr; // the selected font; starts as the stock font
};

namespace win32common {

struct FontRecord {
    int height = 0;
    int weight = FW_NORMAL;
    bool italic = false;
    std::string faceName;
    bool stock = false;
    int selectionCount = 0; // DCs that have it selected: it may not be deleted before 0
};

// CreateFontA's request as the layers keep it.
void describeFont(FontRecord& font, int height, int weight, DWORD italic, LPCSTR faceName);

// A DC's selection moves from previous to selected (either may be null).
void moveSelection(FontRecord* selected, FontRecord* previous);

} // namespace win32common
