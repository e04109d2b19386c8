// The GDI and WGL calls, written once for every layer: device contexts (GetDC, ReleaseDC,
// SelectObject, DeleteObject), CreateFontA's record, the one pixel format a window has
// (ChoosePixelFormat, SetPixelFormat), the context list (wglCreateContext, wglMakeCurrent,
// wglDeleteContext), wglUseFontBitmapsA's checks, SwapBuffers' checks and wglGetProcAddress with
// the swap-control entry points. How glyphs are drawn, which buffers a window really has, the
// contexts themselves and how a frame is presented are the layer's, through the hooks of
// layer_hooks.h.
#pragma once

#include "platform/win32_common/win32_api.h"

#include <string>

// A device context: the screen's (no window) or the one a window owns, as with CS_OWNDC.
struct HDC__ {
    HWND window = nullptr;
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

// The screen's DC or a live window's; the screen's needs no window, so fonts can be made and
// selected in any current GL context.
bool liveDc(HDC dc);
HWND windowOfDc(HDC dc); // the live window a DC belongs to, or null
HFONT liveFont(const void* object);
HGLRC liveContext(HGLRC context);
void selectFont(HDC__& dc, HFONT font);

// Character codes of the ANSI (Windows-1252) set as Unicode: 0x80..0x9F differ from Latin-1.
unsigned int unicodeForAnsi(DWORD code);

// The one format (RGB 8-8-8, double-buffered) when it meets the request with the depth and
// stencil buffers the window has, else 0.
int choosePixelFormat(const PIXELFORMATDESCRIPTOR* format, int depthBits, int stencilBits);
// A window's format is set once; setting the same one again succeeds.
BOOL setPixelFormat(PixelFormatChoice& choice, int index, const PIXELFORMATDESCRIPTOR* format);

} // namespace win32common
