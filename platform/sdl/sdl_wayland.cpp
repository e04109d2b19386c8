// Which display server the layer starts SDL on, and what it checks of a Wayland compositor first:
// that it can be reached, that it offers a seat, and that the window would get a frame (the
// compositor draws one through xdg-decoration, or a libdecor plugin is installed to draw it). In
// a Wayland session, where DISPLAY names Xwayland too, native Wayland is the choice when all
// three hold, X11 otherwise; SDL_VIDEODRIVER, when set, decides alone. SDL 2.26 reports an
// unreachable compositor only as a failed display index and crashes inside its start-up on one
// without a seat, so both are asked here first, with a connection of the layer's own that is
// closed again before SDL opens its own. Not here: X itself (sdl_x11.cpp).
#include "platform/sdl/sdl_internal.h"

#include <wayland-client.h>

#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <link.h>

namespace sdlplatform {

namespace {

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

void noteGlobal(void* data, wl_registry* /*registry*/, uint32_t /*name*/, const char* interface,
                uint32_t /*version*/) {
    auto* check = static_cast<WaylandCheck*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0) {
        check->seatOffered = true;
    } else if (std::strcmp(interface, "zxdg_decoration_manager_v1") == 0) {
        check->decorationsOffered = true;
    }
}

void noteGlobalRemoved(void* /*data*/, wl_registry* /*registry*/, uint32_t /*name*/) {}

const wl_registry_listener registryListener = {noteGlobal, noteGlobalRemoved};

bool directoryHasLibrary(const std::string& path) {
    DIR* directory = opendir(path.c_str());
    if (directory == nullptr) {
        return false;
    }
    bool found = false;
    while (const dirent* entry = readdir(directory)) {
        const std::string name = entry->d_name;
        found = found || (name.size() > 3 && name.compare(name.size() - 3, 3, ".so") == 0);
    }
    closedir(directory);
    return found;
}

// Whether libdecor, which SDL loads by name, is there with a plugin that draws: without one it
// falls back to a frame of nothing. Its plugins live beside it in libdecor/plugins-1, unless
// LIBDECOR_PLUGIN_DIR says otherwise.
bool libdecorCanDraw() {
    const std::string override = variable("LIBDECOR_PLUGIN_DIR");
    if (!override.empty()) {
        return directoryHasLibrary(override);
    }
    void* library = dlopen("libdecor-0.so.0", RTLD_LAZY | RTLD_LOCAL);
    if (library == nullptr) {
        return false;
    }
    char origin[4096] = "";
    const bool located = dlinfo(library, RTLD_DI_ORIGIN, origin) == 0;
    dlclose(library);
    return located && directoryHasLibrary(std::string(origin) + "/libdecor/plugins-1");
}

// Connects to the compositor named by WAYLAND_DISPLAY and asks what it offers; when it cannot be
// used, why is kept in the check's reason.
bool checkCompositor(WaylandCheck& check, bool requireFrame) {
    check.display = variable("WAYLAND_DISPLAY");
    if (check.display.empty()) {
        check.display = "wayland-0"; // what libwayland connects to without WAYLAND_DISPLAY
    }
    const std::string runtimeDir = variable("XDG_RUNTIME_DIR");
    if (check.display[0] != '/' && runtimeDir.empty()) {
        // libwayland would only complain about it on stderr and fail.
        check.reason = "cannot reach the Wayland compositor \"" + check.display +
                       "\": XDG_RUNTIME_DIR, where its socket lives, is not set. Start it from "
                       "the desktop session, or set XDG_RUNTIME_DIR as the session does";
        return false;
    }
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        const std::string socket =
            check.display[0] == '/' ? check.display : runtimeDir + "/" + check.display;
        check.reason = "cannot connect to the Wayland compositor \"" + check.display +
                       "\" named by WAYLAND_DISPLAY (no compositor listens at " + socket +
                       "): is it running, and is this the session it belongs to?";
        return false;
    }
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &check);
    const bool answered = wl_display_roundtrip(display) >= 0;
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    if (!answered) {
        check.reason = "the Wayland compositor \"" + check.display +
                       "\" closed the connection before it said what it offers";
        return false;
    }
    if (!check.seatOffered) {
        check.reason = "the Wayland compositor \"" + check.display +
                       "\" offers no seat (wl_seat), so a window there could take no keyboard, "
                       "and SDL cannot start on it. Run it in a desktop session with an input "
                       "device";
        return false;
    }
    if (requireFrame && !check.decorationsOffered && !libdecorCanDraw()) {
        check.reason = "a window on the Wayland compositor \"" + check.display +
                       "\" would have no title bar: it draws none (no xdg-decoration) and no "
                       "libdecor plugin is installed (the package libdecor-0-plugin-1-cairo)";
        return false;
    }
    return true;
}

} // namespace

VideoChoice chooseVideoDriver() {
    WaylandCheck& check = layer().wayland;
    check = WaylandCheck{};
    const std::string driver = variable("SDL_VIDEODRIVER");
    if (!driver.empty()) {
        // The first driver named decides; a frameless window is what was asked for then.
        if (driver.compare(0, driver.find(','), "wayland") != 0) {
            return VideoChoice::x11;
        }
        return checkCompositor(check, false) ? VideoChoice::wayland : VideoChoice::refused;
    }
    if (variable("WAYLAND_DISPLAY").empty()) {
        return VideoChoice::x11; // no Wayland session
    }
    const bool haveX11 = !variable("DISPLAY").empty();
    if (checkCompositor(check, haveX11)) {
        check.why = haveX11 ? "native Wayland: the compositor answers at WAYLAND_DISPLAY with a "
                              "seat, so DISPLAY (Xwayland) is not used"
                            : "native Wayland: WAYLAND_DISPLAY is set and DISPLAY is not";
        return VideoChoice::wayland;
    }
    if (!haveX11) {
        check.reason += ". Without it, set DISPLAY to use an X server instead";
        return VideoChoice::refused;
    }
    check.why = "X11 at DISPLAY, not native Wayland: " + check.reason;
    return VideoChoice::x11;
}

} // namespace sdlplatform
