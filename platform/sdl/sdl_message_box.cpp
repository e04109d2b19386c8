// The layer's part of MessageBoxA, over SDL's message boxes: caption, text, OK or Yes/No buttons
// and an icon from the MB_ICON* flag. win32_common has already written the box's line to stderr;
// with no display that line is all there is. The box is shown by a program of its own
// (message_box_program.cpp), started with posix_spawn: a duplicate of this process would inherit
// the locks that the GL driver's threads hold at that moment (malloc's, Xlib's, Mesa's) and could
// wait on them forever. SIGINT or SIGTERM end the box and answer it with its safe choice, and no
// later box is shown. Other button sets (MB_OKCANCEL, MB_RETRYCANCEL, ...) are not offered.
#include "platform/sdl/sdl_internal.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr UINT iconMask = 0x000000F0;

volatile std::sig_atomic_t endSignal = 0;

void noteEndSignal(int signalNumber) {
    endSignal = signalNumber;
}

const char* iconWord(UINT icon) {
    switch (icon) {
    case MB_ICONERROR:
        return "error";
    case MB_ICONEXCLAMATION:
        return "warning";
    default:
        return "information"; // SDL has no question icon
    }
}

// The box program, where the build and the installation both put it: SKORVANE_BOX_PROGRAM is
// its path relative to the folder of the running executable.
std::string boxProgramPath() {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return {};
    }
    const std::string program(self, static_cast<size_t>(length));
    return program.substr(0, program.rfind('/') + 1) + SKORVANE_BOX_PROGRAM;
}

// Starts the box program in a process group of its own (ending the group also ends the process
// SDL starts inside it for the box), with SIGINT and SIGTERM at their defaults and unblocked
// whatever this process did with them, and with no descriptor of this process but the standard
// streams: the file action closes every other one in the new process whether or not it was
// opened close-on-exec. Returns the process, or -1.
pid_t startBoxProgram(const std::string& program, char* const arguments[]) {
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF |
                                              POSIX_SPAWN_SETSIGMASK);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t endSignals;
    sigemptyset(&endSignals);
    sigaddset(&endSignals, SIGINT);
    sigaddset(&endSignals, SIGTERM);
    posix_spawnattr_setsigdefault(&attributes, &endSignals);
    sigset_t noneBlocked;
    sigemptyset(&noneBlocked);
    posix_spawnattr_setsigmask(&attributes, &noneBlocked);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);

    pid_t box = -1;
    const int error = posix_spawn(&box, program.c_str(), &actions, &attributes, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        std::fprintf(stderr, "(the message box could not be shown: %s: %s)\n", program.c_str(),
                     std::strerror(error));
        return -1;
    }
    return box;
}

// Waits for the box program's answer or for a signal that ends the program, which also ends the
// box. Returns the button pressed, or 0.
int waitForAnswer(pid_t box) {
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(box, &status, WNOHANG);
        if (done == box) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 0;
        }
        if (done < 0 || endSignal != 0) {
            kill(-box, SIGTERM);
            while (waitpid(box, &status, 0) < 0 && errno == EINTR) { // a second signal
            }
            return 0;
        }
        SDL_Delay(20);
    }
}

} // namespace

using namespace sdlplatform;

// The reason is on stderr already; the box shows the text alone, as on Windows.
int win32common::showMessageBox(const MessageBoxRequest& request) {
    if (layer().endRequested || !videoReady()) {
        return request.unanswered;
    }
    const std::string program = boxProgramPath();
    const std::string owner =
        std::to_string(request.owner != nullptr && videoIsX11() ? request.owner->xWindow : 0);
    const char* arguments[] = {
        program.c_str(), request.yesNo ? "yes-no" : "ok", iconWord(request.type & iconMask),
        owner.c_str(),   request.caption.c_str(),         request.text.c_str(),
        nullptr};

    struct sigaction noting {};
    noting.sa_handler = noteEndSignal;
    sigemptyset(&noting.sa_mask);
    struct sigaction previousInterrupt {};
    struct sigaction previousTerminate {};
    endSignal = 0;
    sigaction(SIGINT, &noting, &previousInterrupt);
    sigaction(SIGTERM, &noting, &previousTerminate);
    const pid_t box = startBoxProgram(program, const_cast<char* const*>(arguments));
    const int answer = box > 0 ? waitForAnswer(box) : 0;
    sigaction(SIGINT, &previousInterrupt, nullptr);
    sigaction(SIGTERM, &previousTerminate, nullptr);
    if (endSignal != 0) {
        layer().endRequested = true;
        return request.unanswered;
    }
    // Only a button the box offered counts as an answer; a closed box has none.
    const bool offered = request.yesNo ? answer == IDYES || answer == IDNO : answer == IDOK;
    return offered ? answer : request.unanswered;
}
