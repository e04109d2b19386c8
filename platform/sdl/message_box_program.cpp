// The SDL layer's message box as a program of its own, started by MessageBoxA with posix_spawn.
// A fresh process has no GL driver threads and no locks held by them, which a duplicate of the
// program would inherit; and SDL itself duplicates its process to show a box on X11, which is only
// safe in a process with a single thread, like this one.
//
//   skorvane-message-box ok|yes-no error|warning|information OWNER CAPTION TEXT
//
// OWNER is the X window the box belongs to, in decimal, or 0. The exit status is the button
// pressed (IDOK, IDYES or IDNO), or 0 when the box was closed or could not be shown. Anything
// else on the command line is refused without showing a box.
#include "platform/win32_common/win32_api.h"

#include <SDL.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sys/prctl.h>

namespace {

constexpr int notAnswered = 0;

struct BoxRequest {
    bool yesNo = false;
    Uint32 icon = SDL_MESSAGEBOX_INFORMATION;
    unsigned long owner = 0;
    const char* caption = "";
    const char* text = "";
};

bool parseButtons(const char* word, BoxRequest& request) {
    if (std::strcmp(word, "ok") == 0 || std::strcmp(word, "yes-no") == 0) {
        request.yesNo = word[0] == 'y';
        return true;
    }
    return false;
}

bool parseIcon(const char* word, BoxRequest& request) {
    if (std::strcmp(word, "error") == 0) {
        request.icon = SDL_MESSAGEBOX_ERROR;
    } else if (std::strcmp(word, "warning") == 0) {
        request.icon = SDL_MESSAGEBOX_WARNING;
    } else if (std::strcmp(word, "information") == 0) {
        request.icon = SDL_MESSAGEBOX_INFORMATION;
    } else {
        return false;
    }
    return true;
}

// Decimal digits only, within the 32 bits an X resource id has.
bool parseOwner(const char* word, BoxRequest& request) {
    std::uint64_t value = 0;
    if (word[0] == '\0') {
        return false;
    }
    for (const char* digit = word; *digit != '\0'; ++digit) {
        if (*digit < '0' || *digit > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::uint64_t>(*digit - '0');
        if (value > 0xFFFFFFFFu) {
            return false;
        }
    }
    request.owner = static_cast<unsigned long>(value);
    return true;
}

bool parseRequest(int argc, char** argv, BoxRequest& request) {
    if (argc != 6 || !parseButtons(argv[1], request) || !parseIcon(argv[2], request) ||
        !parseOwner(argv[3], request)) {
        return false;
    }
    request.caption = argv[4];
    request.text = argv[5];
    return true;
}

// The owner's X window as an SDL window, so that SDL marks the box transient for it and the
// window manager keeps it above. Without SDL's X11 driver the box simply has no owner.
SDL_Window* ownerWindow(unsigned long owner) {
    // SDL's own SIGINT and SIGTERM handlers would turn the signal that ends the box into an event
    // nobody reads.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (owner == 0 || !SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11") ||
        SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        return nullptr;
    }
    return SDL_CreateWindowFrom(reinterpret_cast<void*>(static_cast<std::uintptr_t>(owner)));
}

int showBox(const BoxRequest& request) {
    const SDL_MessageBoxButtonData okButtons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK,
         "OK"}};
    const SDL_MessageBoxButtonData yesNoButtons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"}};
    SDL_Window* owner = ownerWindow(request.owner);
    SDL_MessageBoxData box{};
    box.flags = request.icon | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    box.window = owner;
    box.title = request.caption;
    box.message = request.text;
    box.numbuttons = request.yesNo ? 2 : 1;
    box.buttons = request.yesNo ? yesNoButtons : okButtons;
    int pressed = -1;
    const bool shown = SDL_ShowMessageBox(&box, &pressed) == 0;
    if (owner != nullptr) {
        SDL_DestroyWindow(owner); // a foreign window: SDL forgets it and leaves it on the screen
    }
    SDL_Quit();
    const bool offered =
        pressed == IDOK ? !request.yesNo : request.yesNo && (pressed == IDYES || pressed == IDNO);
    return shown && offered ? pressed : notAnswered;
}

} // namespace

int main(int argc, char** argv) {
    // A box outliving the program that asked for it (killed with SIGKILL, say) would wait for an
    // answer nobody needs.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    BoxRequest request;
    if (!parseRequest(argc, argv, request)) {
        std::fputs("skorvane-message-box: shows Skorvane's message boxes and is started by it; "
                   "usage: skorvane-message-box ok|yes-no error|warning|information OWNER "
                   "CAPTION TEXT\n",
                   stderr);
        return notAnswered;
    }
    return showBox(request);
}
