// Device contexts: GetDC, ReleaseDC, SelectObject and DeleteObject. The screen's DC needs no
// window, so fonts can be made in any current GL context. Pixel formats and swapping, which need
// the window's DC, are in web_context.cpp; fonts themselves in web_font.cpp.
#include "platform/web/web_internal.h"

#include <algorithm>

namespace webplatform {

bool liveDc(HDC dc) {
    return dc != nullptr &&
           (dc == &state().screenDc || (state().window != nullptr && dc == &state().window->dc));
}

bool liveFont(const void* object) {
    const auto& fonts = state().fonts;
    return object != nullptr && (object == &state().stockFont ||
                                 std::find(fonts.begin(), fonts.end(), object) != fonts.end());
}

void selectFont(HDC__* dc, HFONT__* font) {
    win32common::moveSelection(font, dc->font);
    dc->font = font;
}

BOOL deleteFont(HFONT__* font) {
    if (font->stock) {
        return TRUE; // deleting a stock object is allowed and does nothing
    }
    if (font->selectionCount > 0) {
        return FALSE; // still selected into a DC, as Windows refuses too
    }
    auto& fonts = state().fonts;
    fonts.erase(std::remove(fonts.begin(), fonts.end(), font), fonts.end());
    delete font;
    return TRUE;
}

} // namespace webplatform

using namespace webplatform;

HDC WINAPI GetDC(HWND window) {
    if (window == nullptr) {
        return &state().screenDc;
    }
    HWND__* record = liveWindow(window);
    return record != nullptr ? &record->dc : nullptr;
}

int WINAPI ReleaseDC(HWND window, HDC dc) {
    if (!liveDc(dc)) {
        return 0;
    }
    // Every DC here is owned (the screen's or the window's), so releasing only checks the pairing.
    return dc->window == window ? 1 : 0;
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
    if (!liveDc(dc) || !liveFont(object)) {
        return nullptr;
    }
    HFONT__* previous = dc->font;
    selectFont(dc, static_cast<HFONT__*>(object));
    return previous;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
    if (!liveFont(object)) {
        return FALSE;
    }
    return deleteFont(static_cast<HFONT__*>(object));
}
