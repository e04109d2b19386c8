// The browser layer's one state record, the handle records behind the Win32 names of win32_api.h
// and the few helpers its files share. The window is the page's canvas (id "canvas"); there is
// only ever one. Nothing outside platform/web/ includes this header.
#pragma once

#include "platform/win32_common/win32_api.h"
#include "platform/win32_common/window_manager.h"

#include <emscripten/html5.h>

#include <bitset>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

// The page's canvas is the window: nothing more to keep than every layer does.
struct HWND__ : win32common::WindowRecord {};

struct HGLRC__ {
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = 0;
};

// The page draws a font's glyphs from its request alone.
struct HFONT__ : win32common::FontRecord {};

namespace webplatform {

// A font as the browser's text drawing takes it, worked out once per wglUseFontBitmapsA and shared
// by the glyph lists it compiles (web_font.cpp): the CSS style and families around the size, and
// the size (CSS pixels) that gives the cell or em the font asked for.
struct GlyphFace {
    std::string style;
    std::string families;
    double size = 0;
};

// What the page's event handlers saw since the message queue last looked.
struct PageEvent {
    enum Kind : std::uint8_t { key, hidden, shown } kind = key;
    WPARAM virtualKey = 0; // for keys: posted as postKeyMessage builds them
    bool down = false;
    bool repeat = false;
    bool alt = false; // WM_SYSKEYDOWN/WM_SYSKEYUP
};

// The page around the canvas: the window's size as the program made it against the backing store
// the page's layout wants, the keys the window procedure was told are down, and the WebGL
// context's losses.
struct PageState {
    int windowWidth = 0; // the window's client size as the program made it
    int windowHeight = 0;
    std::bitset<256> held; // keys the window procedure has been told are down (WM_KEYDOWN)
    int wantedWidth = 0;   // the backing store last asked for by the page's layout
    int wantedHeight = 0;
    float scaleX = 1; // window pixels to backing-store pixels
    float scaleY = 1;
    bool contextLost = false;
    bool restorePending = false;
};

// All of the layer's memory. The GL subset (platform/webgl) keeps a record of its own: it is a
// library that knows nothing of the layer, checked on its own, and the layer reaches it only
// through webgl.h (the device scale, the context lost and restored).
struct LayerState {
    // What the calls written once for every layer keep: classes, the window, focus, the message
    // queue, the screen's DC and the fonts.
    win32common::CommonState common;
    HFONT__ stockFont;
    std::shared_ptr<const GlyphFace> glyphFace; // between beginGlyphs and endGlyphs
    // Message queue
    std::deque<PageEvent> pageEvents;
    bool messageBoxShowing = false;
    double lastHandBack = 0.0; // when control last went back to the browser (ms)
    // Contexts and swapping
    int driverSwapInterval = 1; // a browser presents on its animation frames whatever is asked
    // The last failure reason a box reported, for the page's closing notice (the reason not yet
    // reported is the common state's).
    std::string reportedReason;
    // The page around the canvas (web_controls.cpp, web_held_keys.cpp, web_backing_store.cpp,
    // web_lost_context.cpp).
    PageState page;
};

LayerState& layer();

// Registers the page's event handlers and starts the record afresh; shutdownLayer removes them and
// releases what the program left behind.
void startLayer();
void shutdownLayer();

// Why a call fails, kept in the common state; MessageBoxA shows it under its text and forgets it.
using win32common::clearFailureReason;
using win32common::setFailureReason;
using win32common::takeFailureReason;
// Why the program ended, for the page's notice: the reason not yet reported, else the last one.
std::string endingReason();

// The page's key and visibility handlers, owned by web_messages.cpp.
void listenToPage();
void stopListening();
// The Windows virtual-key code of a key, or 0 for keys Windows has no code for.
WPARAM virtualKey(const EmscriptenKeyboardEvent& event);

using win32common::liveWindow;
using win32common::sendMessage;
// The page's one window, the canvas, or null before it is made and once it is destroyed.
HWND__* canvasWindow();
// Turns what the page's handlers saw into messages; called by PeekMessageA.
void pumpPageEvents();
void noteHandBack(); // the browser just had control: no yield is due for a while

// The backing store (web_backing_store.cpp): the window's client size is what CreateWindowExA
// made it, whatever size the page shows it at and however many device pixels its backing store
// has; the store follows the canvas' displayed size whenever the page's events are pumped.
void watchBackingStore();
void stopWatchingBackingStore();
void canvasSize(int& width, int& height);
void setWindowSize(int width, int height);
void followBackingStore();

// Letting go of keys (web_held_keys.cpp): told of every key event queued, so that the keys the
// program was told are down can be let go when the demo loses the keyboard.
void watchKeyboardLoss();
void stopWatchingKeyboardLoss();
void noteKey(const PageEvent& event);
void queueKey(WPARAM key, bool down); // a key event as from a keyboard, for the page's controls

// The on-screen controls (web_controls.cpp), offered to the page while the layer runs.
void watchControls();
void stopWatchingControls();

// The lost context (web_lost_context.cpp): waited for, and the subset rebuilt when it is back.
void watchContext();
void stopWatchingContext();
void restoreLostContext();

} // namespace webplatform
