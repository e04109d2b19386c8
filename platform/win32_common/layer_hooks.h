// Everything a layer supplies to the Win32, GDI and WGL calls written once in win32_common/: the
// whole seam between those calls and the platform underneath (SDL2 in platform/sdl/, the browser
// in platform/web/). A layer defines every function declared here and no Win32 entry point of its
// own.
//
// They are link-time hooks, not a table of function pointers: a program links exactly one layer,
// nothing ever switches layers while running, and the tests that replace the whole platform link
// their stand-in (tests/platform_stub) in place of win32_common and a layer together. A hook a
// layer forgets is then a link error that names it, rather than a null pointer met at run time.
//
// The calls come from win32_common only after its own checks: handles are live, windows have a
// pixel format where one is needed, and the failure reason was cleared at the start of the call.
// A hook that fails sets the reason (setFailureReason) with the platform's own words.
#pragma once

#include "platform/win32_common/win32_api.h"

#include <string>

namespace win32common {

struct CommonState;
struct WindowRecord;
struct FontRecord;

// What MessageBoxA hands the layer: the texts as they are shown (null ones already given
// Windows' defaults), the reason the failing call kept, which buttons, and the answer that stands
// when nobody can or wants to answer.
struct MessageBoxRequest {
    HWND owner = nullptr; // a live window, or null
    std::string caption;
    std::string text;
    std::string reason; // empty when the layer kept none
    UINT type = MB_OK;  // MB_OK or MB_YESNO, with an MB_ICON* flag
    bool yesNo = false;
    int unanswered = IDOK; // IDNO for a question, IDOK otherwise
};

// The layer's state record holds the common part.
CommonState& commonState();
WindowRecord* recordOf(HWND window); // the shared part of one of the layer's windows
FontRecord* recordOf(HFONT font);    // the shared part of one of the layer's fonts

// Windows. createPlatformWindow makes the layer's record and the platform's window behind it, not
// yet shown; win32_common then adds it to the live windows and sends the creation messages.
HWND createPlatformWindow(LPCSTR title, DWORD style, int x, int y, int width, int height);
// After WM_DESTROY, when the window is already out of the live windows: the platform's window and
// the record go.
void freePlatformWindow(HWND window);
void clientSize(HWND window, int& width, int& height); // the platform window's, now
void showPlatformWindow(HWND window, bool shown);      // ShowWindow, after WM_SHOWWINDOW
void giveKeyboard(HWND window);                        // SetFocus on a live, shown window
void raisePlatformWindow(HWND window);                 // SetForegroundWindow on a live window
void showPlatformCursor(bool shown);                   // ShowCursor's counter crossed 0
// ChangeDisplaySettingsA with a mode (a DISP_CHANGE_* result), and without one: the desktop's.
LONG setDisplayMode(const DEVMODEA& mode);
void restoreDisplayMode();

// Messages. pumpPlatformEvents turns what the platform saw into messages: keys are posted
// (postKeyMessage), everything else is sent to the window procedure at once. restAfterEmptyPoll
// runs when PeekMessageA found nothing, and never waits for a message.
void pumpPlatformEvents();
void restAfterEmptyPoll();
DWORD messageTime(); // milliseconds, for MSG::time
// Shows a modal box and returns the button pressed (IDOK, IDYES or IDNO), or request.unanswered.
int showMessageBox(const MessageBoxRequest& request);

// Pixel formats, contexts and presenting.
void windowBuffers(HWND window, int& depthBits, int& stencilBits); // what its one format has
HGLRC createPlatformContext(HWND window); // a new context, not made current, or null
// Makes a context current on a window, or (both null) none current.
bool makePlatformContextCurrent(HWND window, HGLRC context);
void destroyContext(HGLRC context); // not current, and already out of the context list
void present(HWND window);          // SwapBuffers on a window with a pixel format
// wglSwapIntervalEXT with an interval of 0 or more, and wglGetSwapIntervalEXT: what the driver
// was asked for.
BOOL setDriverSwapInterval(int interval);
int driverSwapInterval();
PROC glProcAddress(LPCSTR name); // a GL entry point, or null without a current context

// Fonts. makeFont is CreateFontA's new font with nothing described yet (pitchAndFamily is
// CreateFontA's); freeFont releases one already out of the font list. wglUseFontBitmapsA calls
// beginGlyphs once (false: no list is made), compileGlyph for each code as a Unicode character
// into its display list, then endGlyphs.
HFONT makeFont(DWORD pitchAndFamily);
void freeFont(HFONT font);
bool beginGlyphs(HFONT font);
bool compileGlyph(HFONT font, unsigned int character, DWORD list);
void endGlyphs();

} // namespace win32common
