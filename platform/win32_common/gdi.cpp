// The font and pixel-format bookkeeping of gdi.h. No face, context or buffer is made here.
#include "platform/win32_common/gdi.h"

#include <algorithm>

namespace win32common {

namespace {

constexpr int onlyPixelFormat = 1;

} // namespace

void describeFont(FontRecord& font, int height, int weight, DWORD italic, LPCSTR faceName) {
    font.height = height;
    font.weight = weight > 0 ? std::min(weight, 1000) : FW_NORMAL;
    font.italic = italic != 0;
    font.faceName = faceName != nullptr ? faceName : "";
}

void moveSelection(FontRecord* selected, FontRecord* previous) {
    if (selected != nullptr) {
        ++selected->selectionCount;
    }
    if (previous != nullptr) {
        --previous->selectionCount;
    }
}

int choosePixelFormat(const PIXELFORMATDESCRIPTOR* format, int depthBits, int stencilBits) {
    if (format == nullptr || format->iPixelType != PFD_TYPE_RGBA) {
        return 0;
    }
    // Alpha is not promised by every visual or canvas.
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
        return choice.index == index ? TRUE : FALSE;
    }
    choice.index = index;
    choice.depthBits = format != nullptr ? format->cDepthBits : 0;
    return TRUE;
}

} // namespace win32common

// Every layer's wglGetProcAddress offers wglSwapIntervalEXT and wglGetSwapIntervalEXT.
const char* platformExtensionString() {
    return "WGL_EXT_swap_control";
}
