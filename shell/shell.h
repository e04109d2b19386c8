// The application shell's entry points below WinMain: the render window with its OpenGL context,
// and the window procedure that keeps the polled input state (keys, active) in app_state.h.
// WinMain itself is declared by the platform header.
#pragma once

#include "platform/platform.h"

// Opens the window of class "OpenGL" with a client area of width x height (or switches the display
// to that mode first when fullscreenFlag is set), gives it a current double-buffered RGBA context
// and sizes the projection. Every failure is reported in a message box, everything acquired so far
// is released, and FALSE is returned.
BOOL createRenderWindow(const char* title, int width, int height, int bits, bool fullscreenFlag);

// Restores the display mode and releases the context, device context, window and window class,
// whichever of them are held. A failing step is reported and the later steps still run.
void destroyRenderWindow();

// The window procedure of the "OpenGL" class.
LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
