// The one pixel format a window has (RGB 8-8-8, double-buffered, with the depth and stencil
// buffers the layer can give it): ChoosePixelFormat's match and SetPixelFormat's set-once rule.
// Which buffers a window really has, and the contexts made on it, are the layer's.
#pragma once

#include "platform/sdl/win32_api.h"

namespace win32common {

constexpr int onlyPixelFormat = 1;

// A window's pixel format: 0 until SetPixelFormat, and the depth it was chosen for.
struct PixelFormatChoice {
    int index = 0;
    int depthBits = 0;
};

// onlyPixelFormat when it meets the request, else 0.
int choosePixelFormat(const PIXELFORMATDESCRIPTOR* format, int depthBits, int stencilBits);

// Sets a window's format once; setting the same one again succeeds, another fails.
BOOL setPixelFormat(PixelFormatChoice& choice, int index, const PIXELFORMATDESCRIPTOR* format);

} // namespace win32common
