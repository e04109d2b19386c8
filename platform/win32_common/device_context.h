// The device-context record both layers use. A DC is the screen's (no window) or the one a window
// owns, as with CS_OWNDC; which DCs are live, and the fonts selected into them, are the layer's.
#pragma once

#include "platform/sdl/win32_api.h"

struct HDC__ {
    HWND__* window = nullptr;
    HFONT__* font = nullptr; // the selected font; starts as the stock font
};
