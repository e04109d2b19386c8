#include "support/xvfb.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

namespace {

constexpr int startTimeoutMs = 20000;

// Xvfb writes its display number to the descriptor given with -displayfd once it accepts
// connections, so there is no polling for a socket and no guessing of a free number.
std::string readDisplayNumber(int fd) {
    std::string number;
    char c = 0;
    pollfd waitFor{fd, POLLIN, 0};
    while (poll(&waitFor, 1, startTimeoutMs) > 0 && read(fd, &c, 1) == 1 && c != '\n') {
        number += c;
    }
    return number;
}

} // namespace

void Xvfb::SetUp() {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0) << "pipe failed";
    fcntl(pipeFds[0], F_SETFD, FD_CLOEXEC);
    const std::string screen =
        std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
    server = fork();
    ASSERT_GE(server, 0) << "fork failed";
    if (server == 0) {
        // The server must not outlive the test process (a death test's child leaves without
        // tearing down) nor hold its pipes open, or whoever reads them waits forever.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        const int keep = pipeFds[1];
        for (int fd = STDERR_FILENO + 1; fd < 1024; ++fd) {
            if (fd != keep) {
                close(fd);
            }
        }
        const std::string fd = std::to_string(pipeFds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-noreset",
               "-nolisten", "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    const std::string number = readDisplayNumber(pipeFds[0]);
    close(pipeFds[0]);
    ASSERT_FALSE(number.empty()) << "Xvfb did not start (is the xvfb package installed?)";

    const char* previous = std::getenv("DISPLAY");
    hadDisplay = previous != nullptr;
    previousDisplay = hadDisplay ? previous : "";
    setenv("DISPLAY", (":" + number).c_str(), 1);
}

void Xvfb::TearDown() {
    if (server > 0) {
        // The X server notes SIGTERM in a flag it reads between waits for its clients; a signal
        // that lands just before such a wait leaves it waiting, with no client to wake it, for
        // minutes. Every further SIGTERM interrupts the wait, so it is sent again until the server
        // has gone (and a last SIGKILL after 20 s).
        for (int tenths = 0;; ++tenths) {
            if (tenths % 10 == 0) {
                kill(server, tenths < 200 ? SIGTERM : SIGKILL);
            }
            const pid_t ended = waitpid(server, nullptr, WNOHANG);
            if (ended == server || (ended < 0 && errno != EINTR)) {
                break;
            }
            usleep(100000);
        }
        server = -1;
    }
    if (hadDisplay) {
        setenv("DISPLAY", previousDisplay.c_str(), 1);
    } else {
        unsetenv("DISPLAY");
    }
}

std::string findWindow(const std::string& title, int waitSeconds) {
    // One search at a time, again until the deadline: xdotool gives up on the whole search when a
    // window it looks at is destroyed meanwhile (the program's start-up makes and drops some), so
    // its own --sync wait can end early with nothing.
    const std::string search = std::string("xdotool search") +
                               (waitSeconds > 0 ? " --onlyvisible" : "") + " --name '^" + title +
                               "$' 2>/dev/null";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(waitSeconds);
    for (;;) {
        FILE* pipe = popen(search.c_str(), "r");
        if (pipe == nullptr) {
            return "";
        }
        char line[64] = {};
        const bool found = std::fgets(line, sizeof line, pipe) != nullptr;
        pclose(pipe);
        if (found) {
            return std::string(line, std::strcspn(line, "\n"));
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return "";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

} // namespace testsupport
