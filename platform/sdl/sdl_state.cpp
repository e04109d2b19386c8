// The layer's one state record: where it lives, its fresh values, and the shutdown that releases
// everything the layer made and starts it afresh. Also the failure reasons kept for MessageBoxA and
// the guard that keeps the standard descriptors from being taken by the X connection.
#include "platform/sdl/sdl_internal.h"

#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <unistd.h>

namespace sdlplatform {

namespace {

// Never destroyed with the other statics: a program that ends without shutdownLayer() leaves
// what the layer holds reachable rather than freeing the record and losing the rest.
LayerState*& stateSlot() {
    static LayerState* state = nullptr;
    return state;
}

} // namespace

// Mesa's driver (its DRI module, libglapi and the GLX or EGL vendor library that loads it) and,
// on Wayland, the libraries SDL loads for its driver (libxkbcommon, libwayland-cursor and -egl,
// libdecor and its decoration plugin with the cairo and pango it draws title bars with) and
// libdbus keep per-process state that they never free. Kept loaded, what they hold stays their
// own in a leak report instead of memory of no known module, and a later start does not load
// them again.
void keepDriversLoaded() {
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            const char* path = info->dlpi_name;
            if (path != nullptr && (std::strstr(path, "/dri/") != nullptr ||
                                    std::strstr(path, "_mesa.so") != nullptr ||
                                    std::strstr(path, "/libglapi.so") != nullptr ||
                                    std::strstr(path, "/libxkbcommon.so") != nullptr ||
                                    std::strstr(path, "/libwayland-") != nullptr ||
                                    std::strstr(path, "/libdecor") != nullptr ||
                                    std::strstr(path, "/libdbus-1.so") != nullptr)) {
                dlopen(path, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
            }
            return 0;
        },
        nullptr);
}

LayerState::LayerState() {
    win32common::setUpStockFont(common, &stockFont);
}

LayerState& layer() {
    LayerState*& state = stateSlot();
    if (state == nullptr) {
        state = new LayerState;
    }
    return *state;
}

} // namespace sdlplatform

win32common::CommonState& win32common::commonState() {
    return sdlplatform::layer().common;
}

namespace sdlplatform {

void shutdownLayer() {
    if (stateSlot() == nullptr) {
        return; // nothing was ever made
    }
    // Contexts before the windows they draw to, fonts before the library their faces belong to,
    // SDL last because windows and contexts are its objects.
    keepDriversLoaded();
    releaseContexts();
    releaseWindows();
    releaseFonts();
    if (layer().videoStarted) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    SDL_Quit();
    delete stateSlot();
    stateSlot() = nullptr;
}

std::string sdlFailure(const char* what) {
    std::string reason = what;
    const char* sdlError = SDL_GetError();
    if (sdlError != nullptr && sdlError[0] != '\0') {
        reason += std::string(": ") + sdlError;
    }
    const std::string xError = lastXError();
    if (!xError.empty()) {
        reason += "; " + xError;
    }
    // In a Wayland session, which display server this was and why.
    if (!layer().wayland.why.empty()) {
        reason += " (on " + layer().wayland.why + ")";
    }
    return reason;
}

void openStandardStreams() {
    for (int descriptor = 0; descriptor <= 2; ++descriptor) {
        if (fcntl(descriptor, F_GETFD) == -1 && errno == EBADF) {
            // open() takes the lowest free descriptor, which is this one.
            const int opened = open("/dev/null", O_RDWR);
            if (opened >= 0 && opened != descriptor) {
                close(opened);
            }
        }
    }
}

} // namespace sdlplatform
