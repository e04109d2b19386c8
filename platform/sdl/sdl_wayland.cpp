// What the layer checks of a Wayland compositor before SDL is started on it: that it can be
// reached, and that it offers a seat. SDL 2.26 reports an unreachable compositor only as a failed
// display index and crashes inside its start-up on one without a seat, so both are asked here
// first, with a connection of the layer's own that is closed again before SDL opens its own.
#include "platform/sdl/sdl_internal.h"

#include <wayland-client.h>

#include <cstdlib>
#include <cstring>

namespace sdlplatform {

namespace {

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

void noteGlobal(void* data, wl_registry* /*registry*/, uint32_t /*name*/, const char* interface,
                uint32_t /*version*/) {
    if (std::strcmp(interface, wl_seat_interface.name) == 0) {
        static_cast<WaylandCheck*>(data)->seatOffered = true;
    }
}

void noteGlobalRemoved(void* /*data*/, wl_registry* /*registry*/, uint32_t /*name*/) {}

const wl_registry_listener registryListener = {noteGlobal, noteGlobalRemoved};

} // namespace

bool sdlWouldUseWayland() {
    const std::string driver = variable("SDL_VIDEODRIVER");
    if (!driver.empty()) {
        return driver.compare(0, driver.find(','), "wayland") == 0; // the first driver named
    }
    // SDL tries X11 first; the layer asks for it alone when there is no Wayland session.
    return variable("DISPLAY").empty() && !variable("WAYLAND_DISPLAY").empty();
}

bool waylandUsable() {
    WaylandCheck& check = layer().wayland;
    check = WaylandCheck{};
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
                       "): is it running, and is this the session it belongs to? Without one, " +
                       "set DISPLAY to use an X server instead";
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
                       "device, or set DISPLAY to use an X server instead";
        return false;
    }
    return true;
}

} // namespace sdlplatform
