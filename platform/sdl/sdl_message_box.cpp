// MessageBoxA over SDL's message boxes: caption, text, OK or Yes/No buttons and an icon from the
// MB_ICON* flag. Every box is also written to stderr, so a terminal user sees it; with no display
// that line is all there is. Other button sets (MB_OKCANCEL, MB_RETRYCANCEL, ...) are not offered.
#include "platform/sdl/sdl_internal.h"

#include <cstdio>

namespace {

constexpr UINT buttonMask = 0x0000000F;
constexpr UINT iconMask = 0x000000F0;

Uint32 iconFlags(UINT type) {
    switch (type & iconMask) {
    case MB_ICONERROR:
        return SDL_MESSAGEBOX_ERROR;
    case MB_ICONEXCLAMATION:
        return SDL_MESSAGEBOX_WARNING;
    default:
        return SDL_MESSAGEBOX_INFORMATION; // SDL has no question icon
    }
}

} // namespace

using namespace sdlplatform;

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    const char* shownText = text != nullptr ? text : "";
    const char* shownCaption = caption != nullptr ? caption : "Error"; // Windows' default caption
    std::fprintf(stderr, "%s: %s\n", shownCaption, shownText);
    std::fflush(stderr);

    const bool yesNo = (type & buttonMask) == MB_YESNO;
    // Without a display nobody can answer, so a question gets the cautious answer.
    const int unanswered = yesNo ? IDNO : IDOK;
    if (!videoReady()) {
        return unanswered;
    }
    const SDL_MessageBoxButtonData okButtons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK,
         "OK"}};
    const SDL_MessageBoxButtonData yesNoButtons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"}};
    HWND__* ownerWindow = liveWindow(owner);
    SDL_MessageBoxData box{};
    box.flags = iconFlags(type) | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    box.window = ownerWindow != nullptr ? ownerWindow->sdlWindow : nullptr;
    box.title = shownCaption;
    box.message = shownText;
    box.numbuttons = yesNo ? 2 : 1;
    box.buttons = yesNo ? yesNoButtons : okButtons;
    int pressed = -1;
    if (SDL_ShowMessageBox(&box, &pressed) != 0 || pressed < 0) {
        return unanswered; // the box could not be shown, or was closed without an answer
    }
    return pressed;
}
