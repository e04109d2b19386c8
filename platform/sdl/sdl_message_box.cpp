// The layer's part of MessageBoxA, over SDL's message boxes: caption, text, OK or Yes/No buttons
// and an icon from the MB_ICON* flag. win32_common has already written the box's line to stderr;
// with no display that line is all there is. The box runs in a child process so that SIGINT or
// SIGTERM can end it: it is then answered with its safe choice and no later box is shown. Other
// button sets (MB_OKCANCEL, MB_RETRYCANCEL, ...) are not offered.
#include "platform/sdl/sdl_internal.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr UINT iconMask = 0x000000F0;

volatile std::sig_atomic_t endSignal = 0;

void noteEndSignal(int signalNumber) {
    endSignal = signalNumber;
}

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

// Shows the box in a child process and waits for its answer or for a signal that ends the
// program. Returns the button pressed, or `unanswered`.
int showInChild(const SDL_MessageBoxData& box, int unanswered) {
    struct sigaction noting {};
    noting.sa_handler = noteEndSignal;
    sigemptyset(&noting.sa_mask);
    struct sigaction previousInterrupt {};
    struct sigaction previousTerminate {};
    endSignal = 0;
    sigaction(SIGINT, &noting, &previousInterrupt);
    sigaction(SIGTERM, &noting, &previousTerminate);

    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        // A group of its own, so that ending it also ends the process SDL forks for the box.
        setpgid(0, 0);
        signal(SIGINT, SIG_DFL);
        signal(SIGTERM, SIG_DFL);
        // Every descriptor beyond the standard streams is the parent's: its X connection, on
        // which what SDL sends around the box (cursor, raising the focused window) must not reach
        // the server in the parent's name, and any pipe some other thread had open, whose reader
        // would otherwise wait for this box. They are all pointed at /dev/null.
        const int nowhere = open("/dev/null", O_RDWR);
        for (int descriptor = 3; nowhere >= 0 && descriptor < 1024; ++descriptor) {
            if (descriptor != nowhere && fcntl(descriptor, F_GETFD) != -1) {
                dup2(nowhere, descriptor);
            }
        }
        int pressed = -1;
        // _exit: the child must not run the parent's exit handlers (GL, SDL, X).
        _exit(SDL_ShowMessageBox(&box, &pressed) == 0 && pressed >= 0 && pressed < 255 ? pressed
                                                                                       : 255);
    }
    int answer = unanswered;
    if (child > 0) {
        int status = 0;
        for (;;) {
            const pid_t done = waitpid(child, &status, WNOHANG);
            if (done == child) {
                if (WIFEXITED(status) && WEXITSTATUS(status) != 255) {
                    answer = WEXITSTATUS(status);
                }
                break;
            }
            if (done < 0 || endSignal != 0) {
                kill(-child, SIGTERM);
                waitpid(child, &status, 0);
                break;
            }
            SDL_Delay(20);
        }
    }
    sigaction(SIGINT, &previousInterrupt, nullptr);
    sigaction(SIGTERM, &previousTerminate, nullptr);
    if (endSignal != 0) {
        sdlplatform::layer().endRequested = true;
        answer = unanswered;
    }
    return answer;
}

} // namespace

using namespace sdlplatform;

int win32common::showMessageBox(const MessageBoxRequest& request) {
    if (layer().endRequested || !videoReady()) {
        return request.unanswered;
    }
    const SDL_MessageBoxButtonData okButtons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK,
         "OK"}};
    const SDL_MessageBoxButtonData yesNoButtons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"}};
    SDL_MessageBoxData box{};
    box.flags = iconFlags(request.type) | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    box.window = request.owner != nullptr ? request.owner->sdlWindow : nullptr;
    box.title = request.caption.c_str();
    box.message = request.text.c_str();
    box.numbuttons = request.yesNo ? 2 : 1;
    box.buttons = request.yesNo ? yesNoButtons : okButtons;
    return showInChild(box, request.unanswered);
}
