// The browser layer's one state record, the handle records behind the Win32 names of win32_api.h
// and the few helpers its files share. The window is the page's canvas (id "canvas"); there is
// only ever one. Nothing outside platform/web/ includes this header.
#pragma once

#include "platform/win32_common/win32_api.h"
#include "platform/win32_common/message_queue.h"
#include "platform/win32_common/window_manager.h"

#include <emscripten/html5.h>

#include <deque>
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

// What the page's event handlers saw since the message queue last looked.
struct PageEvent {
    enum Kind { key, hidden, shown } kind = key;
    UINT message = 0; // WM_KEYDOWN/WM_KEYUP/WM_SYSKEYDOWN/WM_SYSKEYUP for keys
    WPARAM virtualKey = 0;
    LPARAM keyData = 0;
};

struct State {
    // Window manager
    win32common::ClassRegistry classes;
    HWND__* window = nullptr;
    HWND focused = nullptr;
    int cursorCounter = 0;
    // Device contexts and fonts
    HDC__ screenDc;
    HFONT__ stockFont;
    std::vector<HFONT__*> fonts;
    // Message queue
    std::deque<PageEvent> pageEvents;
    win32common::MessageQueue messages;
    bool messageBoxShowing = false;
    double lastHandBack = 0.0; // when control last went back to the browser (ms)
    // Contexts and swapping
    std::vector<HGLRC__*> contexts;
    HGLRC current = nullptr;
    int swapInterval = 1; // a browser presents on its animation frames whatever the program asks
    // Why the last context could not be made, for the page's closing notice.
    std::string failure;
};

State& state();

// Registers the page's event handlers and starts the record afresh; shutdown removes them and
// releases what the program left behind.
void init();
void shutdown();

HWND__* liveWindow(HWND window);
LRESULT sendMessage(HWND__* window, UINT message, WPARAM wParam, LPARAM lParam);
// Turns what the page's handlers saw into messages; called by PeekMessageA.
void pumpPageEvents();
void noteHandBack(); // the browser just had control: no yield is due for a while

bool liveDc(HDC dc);
bool liveFont(const void* object);
void selectFont(HDC__* dc, HFONT__* font);
BOOL deleteFont(HFONT__* font);

// The window's client size: what CreateWindowExA made it, whatever size the page shows it at
// and however many device pixels its backing store has (web_page.cpp).
void canvasSize(int& width, int& height);
void setWindowSize(int width, int height);
// The page around the canvas (web_page.cpp): started and ended with the layer, told of every key
// event queued so that the keys held can be let go when the demo loses the keyboard, and given
// a turn whenever the page's events are pumped.
void initPage();
void shutdownPage();
void noteKey(const PageEvent& event);
void pumpPage();

} // namespace webplatform
