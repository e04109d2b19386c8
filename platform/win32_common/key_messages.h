// The message and lParam of a key message as Windows makes them. Which key was pressed, and its
// virtual-key code, is the layer's to say.
#pragma once

#include "platform/sdl/win32_api.h"

namespace win32common {

// WM_KEYDOWN/WM_KEYUP, or WM_SYSKEYDOWN/WM_SYSKEYUP while Alt is held (or is the key).
UINT keyMessage(bool down, bool alt);

// Repeat count 1, the scan code's low byte, the previous state (down for an auto-repeat and for
// every release) and the transition bit (set for a release).
LPARAM keyMessageData(bool down, bool repeat, unsigned scanCode);

} // namespace win32common
