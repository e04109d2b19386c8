// The pixel-format match and set-once rule of pixel_format.h. No context or buffer is made here.
#include "platform/win32_common/pixel_format.h"

namespace win32common {

int choosePixelFormat(const PIXELFORMATDESCRIPTOR* format, int depthBits, int stencilBits) {
    if (format == nullptr || format->iPixelType != PFD_TYPE_RGBA) {
        return 0;
    }
    // A request for more than the window has cannot be met. Alpha is not promised anywhere.
    if (format->cColorBits > 32 || format->cAlphaBits > 0 || format->cDepthBits > depthBits ||
        format->cStencilBits > stencilBits) {
        return 0;
    }
    return onlyPixelFormat;
}

BOOL setPixelFormat(PixelFormatChoice& choice, int index, const PIXELFORMATDESCRIPTOR* format) {
    if (index != onlyPixelFormat) {
        return FALSE;
    }
    if (choice.index != 0) {
        return choice.index == index ? TRUE : FALSE; // a window's format is set once
    }
    choice.index = index;
    choice.depthBits = format != nullptr ? format->cDepthBits : 0;
    return TRUE;
}

} // namespace win32common
