// What the layer does with X itself, below SDL: an error handler that keeps a protocol error as
// the reason of the call that caused it instead of letting Xlib end the process, and the reason
// given when no display can be opened. Wayland compositors are checked in sdl_wayland.cpp.
#include "platform/sdl/sdl_internal.h"

#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sdlplatform {

namespace {

// Only kept here and formatted later: an error handler must not talk to the server.
int keepXError(Display* display, XErrorEvent* error) {
    XErrorRecord& kept = layer().xError;
    kept.seen = true;
    kept.display = display;
    kept.errorCode = error->error_code;
    kept.requestCode = error->request_code;
    kept.minorCode = error->minor_code;
    return 0;
}

const char* glxRequestName(unsigned char minor) {
    switch (minor) {
    case 3:
        return "X_GLXCreateContext";
    case 5:
        return "X_GLXMakeCurrent";
    case 11:
        return "X_GLXSwapBuffers";
    case 24:
        return "X_GLXCreateNewContext";
    case 26:
        return "X_GLXMakeContextCurrent";
    case 34:
        return "X_GLXCreateContextAttribsARB";
    default:
        return nullptr;
    }
}

// The request's name as Xlib's own message gives it, for core requests and GLX.
std::string requestName(Display* display, unsigned char major, unsigned char minor) {
    char number[16];
    std::snprintf(number, sizeof number, "%d", major);
    char name[128] = "";
    if (major < 128) {
        XGetErrorDatabaseText(display, "XRequest", number, "", name, sizeof name);
        return name[0] != '\0' ? name : std::string("request ") + number;
    }
    int glxMajor = 0;
    int firstEvent = 0;
    int firstError = 0;
    if (XQueryExtension(display, "GLX", &glxMajor, &firstEvent, &firstError) && glxMajor == major) {
        const char* glxName = glxRequestName(minor);
        std::snprintf(name, sizeof name, "GLX request %d%s%s%s", minor, glxName ? " (" : "",
                      glxName ? glxName : "", glxName ? ")" : "");
        return name;
    }
    std::snprintf(name, sizeof name, "extension request %d.%d", major, minor);
    return name;
}

} // namespace

void installXErrorHandler() {
    // SDL saves and restores whatever handler is installed around the calls it checks itself, so
    // this one is in place for every other call, SDL's own ones included.
    XSetErrorHandler(keepXError);
}

void clearXError() {
    layer().xError = XErrorRecord{};
}

std::string lastXError() {
    const XErrorRecord& kept = layer().xError;
    if (!kept.seen) {
        return {};
    }
    auto* display = static_cast<Display*>(kept.display);
    char text[128] = "";
    XGetErrorText(display, kept.errorCode, text, sizeof text);
    return std::string("X error ") + text + " in " +
           requestName(display, kept.requestCode, kept.minorCode);
}

int screenDepth() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return 0;
    }
    const int depth = DefaultDepth(display, DefaultScreen(display));
    XCloseDisplay(display);
    return depth;
}

std::string noDisplayReason() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const bool haveX11 = x11 != nullptr && x11[0] != '\0';
    const bool haveWayland = wayland != nullptr && wayland[0] != '\0';
    if (!haveX11 && !haveWayland) {
        return "no display: neither DISPLAY nor WAYLAND_DISPLAY is set. Start it from a desktop "
               "session, or with ./run.sh, which falls back to a virtual display when there is "
               "none";
    }
    if (haveX11) {
        Display* display = XOpenDisplay(x11);
        if (display == nullptr) {
            const std::string& why = layer().wayland.why;
            return std::string("cannot open the X display \"") + x11 +
                   "\" named by DISPLAY: is its server running, and may this user connect to "
                   "it?" +
                   (why.empty() ? "" : " (" + why + ")");
        }
        XCloseDisplay(display);
    }
    return sdlFailure("SDL could not start its video subsystem");
}

} // namespace sdlplatform
