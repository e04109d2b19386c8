// The handle records behind the Win32 names of win32_api.h and the few helpers the files of the
// layer share. Nothing outside platform/sdl/ includes this header.
#pragma once

#include "platform/sdl/win32_api.h"

#include <SDL.h>

#include <string>

// A device context: the screen's (no window) or the one every window owns, as with CS_OWNDC.
struct HDC__ {
    HWND__* window = nullptr;
    HFONT__* font = nullptr; // the selected font; starts as the stock font
};

struct HWND__ {
    SDL_Window* sdlWindow = nullptr;
    Uint32 sdlId = 0;
    std::string className;
    HINSTANCE classInstance = nullptr;
    WNDPROC procedure = nullptr;
    HDC__ dc;
    bool visible = false;
    bool minimised = false;
    int clientWidth = 0; // as last reported in WM_SIZE
    int clientHeight = 0;
    int depthBits = 0; // what the window's GL configuration was asked for at creation
    int stencilBits = 0;
    int pixelFormat = 0;     // set once by SetPixelFormat
    int formatDepthBits = 0; // the depth the pixel format was chosen for
};

struct HGLRC__ {
    SDL_GLContext context = nullptr;
};

namespace sdlplatform {

// SDL's video subsystem, started on first use; false when there is no display to talk to.
bool videoReady();
bool videoAttempted(); // true once videoReady() has run, whatever its result

// The window record behind a handle, or null when the handle is not a live window.
HWND__* liveWindow(HWND window);
HWND__* windowFromSdlId(Uint32 sdlId);
HWND__* firstWindow();

// Calls the window procedure at once, as SendMessage does.
LRESULT sendMessage(HWND__* window, UINT message, WPARAM wParam, LPARAM lParam);
void dropQueuedMessages(HWND__* window);

// Device contexts: the screen's, validity, and the font bookkeeping when a DC goes away.
HDC__* screenDc();
bool liveDc(HDC dc);
void initWindowDc(HDC__* dc, HWND__* window);
void releaseWindowDc(HDC__* dc);

// Fonts, owned by sdl_font.cpp.
HFONT__* stockFont();
bool liveFont(const void* object);
void adjustFontSelection(HFONT__* font, int delta);
BOOL deleteFont(HFONT__* font);

// Swap pacing state, owned by sdl_context.cpp.
void applyRecordedSwapInterval();

// Gives a window the application's icon (a small cross of red cubes), drawn in code because the
// program reads no files.
void setApplicationIcon(SDL_Window* window);

} // namespace sdlplatform
