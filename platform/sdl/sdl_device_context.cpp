// Device contexts: GetDC, ReleaseDC, SelectObject and DeleteObject. The screen's DC needs no SDL
// and no window, so fonts can be made in any current GL context. Pixel formats and swapping, which
// need a window's DC, are in sdl_context.cpp.
#include "platform/sdl/sdl_internal.h"

#include <algorithm>
#include <vector>

namespace sdlplatform {

namespace {

void selectFont(HDC__* dc, HFONT__* font) {
    win32common::moveSelection(font, dc->font);
    dc->font = font;
}

} // namespace

bool liveDc(HDC dc) {
    if (dc == nullptr) {
        return false;
    }
    const auto& dcs = layer().windowDcs;
    return dc == &layer().screenDc || std::find(dcs.begin(), dcs.end(), dc) != dcs.end();
}

void initWindowDc(HDC__* dc, HWND__* window) {
    dc->window = window;
    dc->font = &layer().stockFont;
    layer().windowDcs.push_back(dc);
}

void releaseWindowDc(HDC__* dc) {
    selectFont(dc, &layer().stockFont);
    auto& dcs = layer().windowDcs;
    dcs.erase(std::remove(dcs.begin(), dcs.end(), dc), dcs.end());
}

} // namespace sdlplatform

using namespace sdlplatform;

HDC WINAPI GetDC(HWND window) {
    if (window == nullptr) {
        return &layer().screenDc;
    }
    HWND__* record = liveWindow(window);
    return record != nullptr ? &record->dc : nullptr;
}

int WINAPI ReleaseDC(HWND window, HDC dc) {
    if (!liveDc(dc)) {
        return 0;
    }
    // Every DC here is owned (the screen's or a window's), so releasing only checks the pairing.
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
