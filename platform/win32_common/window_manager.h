// The window manager's calls, written once for every layer: the class table, window creation and
// destruction, showing, focus and the foreground, the cursor counter, display modes, the message
// queue's PeekMessageA with key messages as Windows posts them, and MessageBoxA; also the part of
// a window record every layer keeps, the list of live windows, SendMessage's step and the
// minimise, restore and size notifications. The platform's window behind each record, its events
// and its boxes are the layer's, through the hooks of layer_hooks.h.
#pragma once

#include "platform/win32_common/gdi.h"
#include "platform/win32_common/layer_hooks.h"
#include "platform/win32_common/message_queue.h"

#include <string>
#include <vector>

namespace win32common {

struct WindowClass {
    std::string name;
    HINSTANCE instance = nullptr;
    WNDPROC procedure = nullptr;
    ATOM atom = 0;
};

struct ClassRegistry {
    std::vector<WindowClass> classes;
    ATOM nextAtom = 0xC000; // where Windows numbers registered classes from
};

// Each layer's HWND__ extends this with the platform's window behind it.
struct WindowRecord {
    std::string className;
    HINSTANCE classInstance = nullptr;
    WNDPROC procedure = nullptr;
    HDC__ dc;
    bool visible = false;
    bool minimised = false;
    int clientWidth = 0; // as last reported in WM_SIZE
    int clientHeight = 0;
    PixelFormatChoice pixelFormat;
    bool destroying = false; // WM_DESTROY is being sent: a second DestroyWindow has nothing to do
};

// The part of each layer's one state record that the calls written here keep.
struct CommonState {
    ClassRegistry classes;
    std::vector<HWND> windows; // live, in the order they were made
    HWND focused = nullptr;    // the window SetFocus gave the keyboard
    MessageQueue messages;
    HDC__ screenDc;
    HFONT stockFont = nullptr; // the layer's system font, selected into every new DC
    std::vector<HFONT> fonts;  // made by CreateFontA and not yet deleted
    std::vector<HGLRC> contexts;
    HGLRC currentContext = nullptr;
    int cursorCounter = 0;     // the pointer is shown while this is >= 0, as on Windows
    std::string failureReason; // why the last failing call failed, for the box that reports it
};

// Records why a call fails; MessageBoxA shows it with its text and forgets it.
void setFailureReason(const std::string& reason);
std::string takeFailureReason();
void clearFailureReason();

// The system font every new DC starts with: a bold face, as Windows' is. The layer's state record
// owns it; this marks it stock and selects it into the screen's DC.
void setUpStockFont(CommonState& state, HFONT stockFont);

// Class and resource names may be given as a number (MAKEINTATOM, MAKEINTRESOURCE).
bool isAtomName(LPCSTR name);
WindowClass* findClass(ClassRegistry& registry, LPCSTR name, HINSTANCE instance);

// The class CreateWindowExA makes a window of, or null with the failure reason set (the class is
// not registered, or the window would have no area).
const WindowClass* classOfNewWindow(LPCSTR className, HINSTANCE instance, int width, int height);

// The window if it is one of the live ones, else null.
HWND liveWindow(HWND window);
// Fills in a new window's shared part from its class and adds it to the live windows.
void addWindow(HWND window, const WindowClass& windowClass);
// Takes a window out of the live ones: its focus, its posted messages and its DC's font go.
void removeWindow(HWND window);

// Calls the window procedure at once, as SendMessage does, and returns the window if it is still
// live afterwards: the one way a layer learns that a procedure destroyed its own window.
HWND sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                 LRESULT* result = nullptr);
// What Windows sends from inside CreateWindowEx, before any GL context can exist: WM_CREATE,
// WM_SIZE and, for a WS_VISIBLE style, the showing. Returns the window, or null when its procedure
// refused the creation or destroyed the window meanwhile (CreateWindowEx then fails, as on
// Windows).
HWND sendCreationMessages(HWND window, DWORD style);
// WM_SIZE with the layer's client size; returns the window if it is still live.
HWND sendSize(HWND window);
HWND sendSizeIfChanged(HWND window);
// The window was iconified (or its page hidden), or came back.
void sendMinimised(HWND window);
void sendRestored(HWND window);

// Key messages as Windows posts them: WM_SYSKEYDOWN/UP while Alt is held (the program records
// only the plain ones), and lParam with a repeat count of 1, the scan code, the previous state and
// the transition.
UINT keyMessage(bool down, bool alt);
LPARAM keyData(unsigned int scanCode, bool down, bool repeat);
void postKeyMessage(HWND window, WPARAM key, bool down, bool repeat, bool alt,
                    unsigned int scanCode);
// The keypad's keys with NumLock off are its navigation keys (8 is Up, 4 Left, ...), as on
// Windows; with NumLock on, and for every other key, the key is as given.
WPARAM keypadKey(WPARAM numberPadKey, bool numLockOn);

} // namespace win32common
