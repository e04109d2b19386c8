// The GDI and WGL calls of gdi.h. No face, context or buffer is made here: the layer makes them
// through the hooks of layer_hooks.h.
#include "platform/win32_common/gdi.h"

#include "platform/win32_common/window_manager.h"

#include <algorithm>
#include <cstring>

namespace win32common {

namespace {

constexpr int onlyPixelFormat = 1;

BOOL WINAPI swapIntervalEXT(int interval) {
    return interval >= 0 ? setDriverSwapInterval(interval) : FALSE;
}

int WINAPI getSwapIntervalEXT() {
    return driverSwapInterval();
}

// Entry points of any signature travel as PROC, as with WGL; void (*)() is the neutral step.
template <typename Function> PROC asProc(Function* function) {
    return reinterpret_cast<PROC>(reinterpret_cast<void (*)()>(function));
}

} // namespace

bool liveDc(HDC dc) {
    if (dc == nullptr) {
        return false;
    }
    if (dc == &commonState().screenDc) {
        return true;
    }
    const HWND window = liveWindow(dc->window);
    return window != nullptr && dc == &recordOf(window)->dc;
}

HWND windowOfDc(HDC dc) {
    return liveDc(dc) ? liveWindow(dc->window) : nullptr;
}

HFONT liveFont(const void* object) {
    const CommonState& state = commonState();
    if (object == nullptr) {
        return nullptr;
    }
    const auto found = std::find(state.fonts.begin(), state.fonts.end(), object);
    if (object == state.stockFont || found != state.fonts.end()) {
        return static_cast<HFONT>(const_cast<void*>(object));
    }
    return nullptr;
}

HGLRC liveContext(HGLRC context) {
    const auto& contexts = commonState().contexts;
    return context != nullptr &&
                   std::find(contexts.begin(), contexts.end(), context) != contexts.end()
               ? context
               : nullptr;
}

void selectFont(HDC__& dc, HFONT font) {
    if (font != nullptr) {
        ++recordOf(font)->selectionCount;
    }
    if (dc.font != nullptr) {
        --recordOf(dc.font)->selectionCount;
    }
    dc.font = font;
}

unsigned int unicodeForAnsi(DWORD code) {
    static const unsigned int high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    return code >= 0x80 && code <= 0x9F ? high[code - 0x80] : static_cast<unsigned int>(code);
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

using namespace win32common;

HDC WINAPI GetDC(HWND window) {
    if (window == nullptr) {
        return &commonState().screenDc;
    }
    const HWND live = liveWindow(window);
    return live != nullptr ? &recordOf(live)->dc : nullptr;
}

int WINAPI ReleaseDC(HWND window, HDC dc) {
    if (!liveDc(dc)) {
        return 0;
    }
    // Every DC here is owned (the screen's or a window's), so releasing only checks the pairing.
    return dc->window == window ? 1 : 0;
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
    const HFONT font = liveFont(object);
    if (!liveDc(dc) || font == nullptr) {
        return nullptr;
    }
    const HFONT previous = dc->font;
    selectFont(*dc, font);
    return previous;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
    const HFONT font = liveFont(object);
    if (font == nullptr) {
        return FALSE;
    }
    const FontRecord& record = *recordOf(font);
    if (record.stock) {
        return TRUE; // deleting a stock object is allowed and does nothing
    }
    if (record.selectionCount > 0) {
        return FALSE; // still selected into a DC, as Windows refuses too
    }
    auto& fonts = commonState().fonts;
    fonts.erase(std::remove(fonts.begin(), fonts.end(), font), fonts.end());
    freeFont(font);
    return TRUE;
}

HFONT WINAPI CreateFontA(int height, int /*width*/, int /*escapement*/, int /*orientation*/,
                         int weight, DWORD italic, DWORD /*underline*/, DWORD /*strikeOut*/,
                         DWORD /*charSet*/, DWORD /*outPrecision*/, DWORD /*clipPrecision*/,
                         DWORD /*quality*/, DWORD pitchAndFamily, LPCSTR faceName) {
    const HFONT font = makeFont(pitchAndFamily);
    FontRecord& record = *recordOf(font);
    record.height = height;
    record.weight = weight > 0 ? std::min(weight, 1000) : FW_NORMAL;
    record.italic = italic != 0;
    record.faceName = faceName != nullptr ? faceName : "";
    commonState().fonts.push_back(font);
    return font;
}

int WINAPI ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* format) {
    // The window's one format has the buffers the layer made it with.
    const HWND window = windowOfDc(dc);
    if (window == nullptr) {
        return 0;
    }
    int depthBits = 0;
    int stencilBits = 0;
    windowBuffers(window, depthBits, stencilBits);
    return choosePixelFormat(format, depthBits, stencilBits);
}

BOOL WINAPI SetPixelFormat(HDC dc, int index, const PIXELFORMATDESCRIPTOR* format) {
    const HWND window = windowOfDc(dc);
    return window != nullptr ? setPixelFormat(recordOf(window)->pixelFormat, index, format) : FALSE;
}

HGLRC WINAPI wglCreateContext(HDC dc) {
    clearFailureReason();
    const HWND window = windowOfDc(dc);
    if (window == nullptr || recordOf(window)->pixelFormat.index == 0) {
        setFailureReason(window == nullptr ? "the device context has no window"
                                           : "the window has no pixel format yet");
        return nullptr;
    }
    const HGLRC context = createPlatformContext(window);
    if (context != nullptr) {
        commonState().contexts.push_back(context);
    }
    return context;
}

BOOL WINAPI wglMakeCurrent(HDC dc, HGLRC context) {
    CommonState& state = commonState();
    if (context == nullptr) {
        makePlatformContextCurrent(nullptr, nullptr);
        state.currentContext = nullptr;
        return TRUE;
    }
    clearFailureReason();
    const HWND window = windowOfDc(dc);
    if (window == nullptr || recordOf(window)->pixelFormat.index == 0 ||
        liveContext(context) == nullptr) {
        setFailureReason("the device context or the rendering context is not a live one");
        return FALSE;
    }
    if (!makePlatformContextCurrent(window, context)) {
        return FALSE;
    }
    state.currentContext = context;
    return TRUE;
}

BOOL WINAPI wglUseFontBitmapsA(HDC dc, DWORD first, DWORD count, DWORD listBase) {
    // Without a current context there is nothing to compile the lists into.
    if (!liveDc(dc) || glGetString(GL_VERSION) == nullptr) {
        return FALSE;
    }
    const HFONT font = dc->font;
    if (!beginGlyphs(font)) {
        return FALSE;
    }
    bool allMade = true;
    for (DWORD i = 0; i < count; ++i) {
        allMade = compileGlyph(font, unicodeForAnsi(first + i), listBase + i) && allMade;
    }
    endGlyphs();
    return allMade ? TRUE : FALSE;
}

BOOL WINAPI wglDeleteContext(HGLRC context) {
    if (liveContext(context) == nullptr) {
        return FALSE;
    }
    if (context == commonState().currentContext) {
        wglMakeCurrent(nullptr, nullptr); // WGL releases a current context before deleting it
    }
    auto& contexts = commonState().contexts;
    contexts.erase(std::remove(contexts.begin(), contexts.end(), context), contexts.end());
    destroyContext(context);
    return TRUE;
}

BOOL WINAPI SwapBuffers(HDC dc) {
    const HWND window = windowOfDc(dc);
    if (window == nullptr || recordOf(window)->pixelFormat.index == 0) {
        return FALSE;
    }
    present(window);
    return TRUE;
}

PROC WINAPI wglGetProcAddress(LPCSTR name) {
    if (name == nullptr) {
        return nullptr;
    }
    if (std::strcmp(name, "wglSwapIntervalEXT") == 0) {
        return asProc(&swapIntervalEXT);
    }
    if (std::strcmp(name, "wglGetSwapIntervalEXT") == 0) {
        return asProc(&getSwapIntervalEXT);
    }
    return glProcAddress(name);
}

// Every layer's wglGetProcAddress offers wglSwapIntervalEXT and wglGetSwapIntervalEXT.
const char* platformExtensionString() {
    return "WGL_EXT_swap_control";
}
