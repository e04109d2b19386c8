// The handle records behind the Win32 names of win32_api.h, the one state record of the layer, and
// the few helpers the files of the layer share. Nothing outside platform/sdl/ includes this header.
#pragma once

#include "platform/sdl/sdl_layer.h"
#include "platform/sdl/swap_pacing.h"
#include "platform/win32_common/win32_api.h"
#include "platform/win32_common/window_manager.h"

#include <SDL.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

struct HWND__ : win32common::WindowRecord {
    SDL_Window* sdlWindow = nullptr;
    Uint32 sdlId = 0;
    unsigned long xWindow = 0; // the X window behind it, to recognise events from other clients
    // Shown on Wayland, where the output's scale is known only once the window is on it: WM_SIZE
    // with the client area in device pixels is sent at the next look at the queue, after the
    // creating code has set its viewport from the size it asked for.
    bool sizeToSend = false;
    int depthBits = 0; // what the window's GL configuration was asked for at creation
    int stencilBits = 0;
};

struct HGLRC__ {
    SDL_GLContext context = nullptr;
};

struct HFONT__ : win32common::FontRecord {
    bool monospacedRequest = false; // the caller asked for fixed pitch or the modern family
    // What it resolved to, the first time it was used.
    bool resolved = false;
    FT_Face face = nullptr;
    bool embolden = false;
};

namespace sdlplatform {

// The glyph lists wglUseFontBitmapsA compiled for one font in one context, kept so that they can
// be compiled again at the device size of another scale when their window moves to an output of
// another density.
struct GlyphSet {
    HFONT__ font; // the request alone; its face is opened afresh
    SDL_GLContext context = nullptr;
    double scale = 1.0;
    std::vector<std::pair<unsigned int, GLuint>> glyphs; // character and its list
};

// An X protocol error as the layer's handler kept it, to be formatted outside the handler.
struct XErrorRecord {
    bool seen = false;
    void* display = nullptr; // the Display* it came from
    unsigned char errorCode = 0;
    unsigned char requestCode = 0;
    unsigned char minorCode = 0;
};

// What the layer found when it checked a Wayland compositor before starting SDL on it.
struct WaylandCheck {
    std::string display;             // the compositor's name, as WAYLAND_DISPLAY gives it
    bool seatOffered = false;        // it announced a wl_seat
    bool decorationsOffered = false; // it draws frames itself (zxdg_decoration_manager_v1)
    std::string reason;              // why it cannot be used; empty when it can
    std::string why;                 // which display server was chosen in a Wayland session, why
};

// The display server SDL is started on.
enum class VideoChoice : std::uint8_t {
    x11,
    wayland,
    refused, // Wayland was to be used and cannot be: layer().wayland.reason says why
};

// Everything the layer remembers between calls. shutdownLayer() releases what it holds and
// replaces it with a fresh one; nothing else of the layer keeps state of its own.
struct LayerState {
    LayerState();

    // What the calls written once for every layer keep: classes, windows, focus, the message
    // queue, the screen's DC and the fonts.
    win32common::CommonState common;
    HFONT__ stockFont;

    // Window manager.
    bool haveFullscreenMode = false; // set by ChangeDisplaySettingsA with a mode
    SDL_DisplayMode fullscreenMode{};
    bool videoTried = false;
    bool videoStarted = false;

    // GL contexts and presentation.
    int driverSwapInterval = 0; // 0 until the program asks: the driver's default, unpaced
    SwapPacing pacing;

    // Fonts.
    FT_Library freeType = nullptr;
    FcConfig* fontConfig = nullptr; // the fonts' own fontconfig configuration, once loaded
    bool missingFontReported = false;
    std::vector<GlyphSet> glyphSets; // the last is the one being compiled

    // Failures (their reason is the common state's).
    XErrorRecord xError;  // the latest X protocol error since clearXError()
    WaylandCheck wayland; // the compositor checked before SDL was started on Wayland
    // A signal asked the program to end while a message box was up: later boxes are not shown.
    bool endRequested = false;
};

LayerState& layer();

// Why a call fails, kept in the common state; MessageBoxA prints it after its text and forgets it.
using win32common::clearFailureReason;
using win32common::setFailureReason;
using win32common::takeFailureReason;
// What SDL last said went wrong, with any X protocol error seen since clearXError().
std::string sdlFailure(const char* what);

// X protocol errors: the layer's handler keeps the latest instead of ending the process.
void installXErrorHandler();
void clearXError();
std::string lastXError(); // empty when none was seen

// Why no display could be opened, worded for the person who started the program.
std::string noDisplayReason();
// The bits per pixel of the X display's default screen, or 0 when there is no X display.
int screenDepth();

// Native Wayland where SDL_VIDEODRIVER names it first, or, when it is not set, where a compositor
// answers at WAYLAND_DISPLAY with a seat and the window would get a frame (with DISPLAY set;
// without it, any compositor with a seat); X11 otherwise. The compositor is checked with a
// connection of the layer's own; what was found, and why, is kept in layer().wayland.
VideoChoice chooseVideoDriver();
// Whether SDL's video driver is its X11 one: the X-only code (error handler, the watch for windows
// destroyed by other clients, the screen's depth) runs only then.
bool videoIsX11();

// SDL's video subsystem, started on first use; false when there is no display to talk to.
bool videoReady();
bool videoAttempted(); // true once videoReady() has run, whatever its result

using win32common::liveWindow;
using win32common::sendMessage;
std::vector<HWND>& liveWindows();

HWND__* windowFromSdlId(Uint32 sdlId);
HWND__* windowFromXWindow(unsigned long xWindow);
HWND__* firstWindow();
bool anyWindowDrawable(); // some window is shown and not minimised

// The Windows virtual-key code of a key, or 0 for keys Windows has no code for.
WPARAM virtualKey(const SDL_Keysym& key);

// Fonts, owned by sdl_font.cpp.
void releaseFonts(); // every font, face and FreeType itself, and the fontconfig configuration
// Compiles again, at the current window's scale, the glyph lists of the current context that were
// made at another; forgets those of a context that is gone.
void rescaleGlyphs();
void forgetGlyphs(SDL_GLContext context);

// GL contexts, owned by sdl_context.cpp.
void applyRecordedSwapInterval();
void releaseContexts();

// Marks the GL driver and the libraries SDL loads for its video driver as never to be unloaded,
// so that what they keep for the life of the process is theirs in a leak report. SDL unloads
// them when the last GL window goes (EGL on Wayland) and at SDL_Quit.
void keepDriversLoaded();

// Windows, owned by sdl_window.cpp: destroys every window still open.
void releaseWindows();
void freeSdlWindow(HWND__* window); // one already out of the live windows

// Gives a window the application's icon (a small cross of red cubes), drawn in code because the
// program reads no files.
void setApplicationIcon(SDL_Window* window);

} // namespace sdlplatform
