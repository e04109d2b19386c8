// The window-manager calls that behave the same on every layer: the class table behind
// RegisterClassA, UnregisterClassA and CreateWindowExA, the part of a window record every layer
// keeps, the list of live windows, SetFocus, SendMessage's step and the minimise, restore and size
// notifications. The platform's window behind each record, and
// its size, are the layer's, through the functions each layer supplies at the end of this header.
#pragma once

#include "platform/win32_common/gdi.h"
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
    std::string failureReason; // why the last failing call failed, for the box that reports it
};

// Records why a call fails; MessageBoxA shows it with its text and forgets it.
void setFailureReason(const std::string& reason);
std::string takeFailureReason();

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

// Supplied by each layer.
CommonState& commonState(); // inside the layer's state record
WindowRecord* recordOf(HWND window);
void clientSize(HWND window, int& width, int& height); // the platform window's, now
void showPlatformWindow(HWND window, bool shown);      // ShowWindow, after WM_SHOWWINDOW
void giveKeyboard(HWND window);                        // SetFocus on a live, shown window

} // namespace win32common
