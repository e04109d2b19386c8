// A recording, fault-injecting stand-in for the Win32/GDI/WGL operations of
// platform/win32_common/win32_api.h, for tests of the shell without a window system. It logs every
// call in order, can make any one operation fail, answers message boxes from a script, feeds
// PeekMessageA from a scripted queue and keeps enough bookkeeping (classes, windows, DCs, contexts,
// display mode, cursor) to tell what was left behind. It draws nothing: GL calls go to whatever
// context the test made current.
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace platformstub {

// One call as it was made: the operation's name and its arguments rendered as text (handles and
// numbers in decimal, strings as they are).
struct Call {
    std::string name;
    std::vector<std::string> args;
};

struct MessageBoxShown {
    std::string text;
    std::string caption;
    UINT flags;
};

struct Window {
    std::string className;
    std::string title;
    DWORD style;
    DWORD exStyle;
    int x, y, width, height;
    bool visible;
};

// One step of the scripted queue: a message for the current window, or a pass that finds nothing.
struct QueueEntry {
    bool idle;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

struct State {
    std::vector<Call> calls;
    std::map<std::string, int> failing;      // operations whose next calls fail, and how many
    std::map<std::string, int> passingFirst; // calls of a failing operation that still work first
    std::deque<int> messageBoxAnswers;
    std::vector<MessageBoxShown> messageBoxes;
    std::deque<QueueEntry> queue; // once it is used up, PeekMessageA returns WM_QUIT(scriptEnd)

    std::map<std::string, WNDPROC> classes;
    std::map<HWND, Window> windows;
    std::map<HDC, HWND> dcs;
    std::set<HGLRC> contexts;
    std::set<HFONT> fonts;
    std::map<HDC, HGDIOBJ> selected;
    HWND focus = nullptr;
    HWND foreground = nullptr;
    HGLRC current = nullptr;
    bool displayModeChanged = false;
    int cursorCount = 0; // ShowCursor's display counter, 0 when shown
    PIXELFORMATDESCRIPTOR lastPixelFormat = {};
    int swaps = 0;
    std::uintptr_t nextHandle = 0x1000;
};

// Exit code of the WM_QUIT that ends a loop whose script ran out: a test expecting another code
// then fails instead of hanging.
constexpr int scriptEnd = 99;

State& state();

// Forgets everything and starts from a clean slate: nothing registered, an empty queue.
void reset();

// After `after` more calls that work, the next `times` calls of `operation` fail; later ones work
// again. Every operation with a failure result can be made to fail; the ones that have none
// (ShowWindow, ShowCursor, PeekMessageA, TranslateMessage, DispatchMessageA, DefWindowProcA,
// PostQuitMessage) ignore it.
void failOn(const std::string& operation, int times = 1, int after = 0);
void answerMessageBox(int answer); // default answer when the script is empty: IDOK
void post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
void postIdle(int passes = 1);

// Call names in order, and the ones matching `name`.
std::vector<std::string> callNames();
std::vector<Call> callsTo(const std::string& name);
// Index of the first call named `name` at or after `from`, or -1.
int indexOf(const std::string& name, int from = 0);

// The frame AdjustWindowRectEx adds around a client area for `style`.
RECT frameFor(DWORD style);

bool nothingLeftBehind();

} // namespace platformstub
