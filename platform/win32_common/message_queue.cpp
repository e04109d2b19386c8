// The posted-message queue of message_queue.h, and TranslateMessage, DefWindowProcA,
// DispatchMessageA and PostQuitMessage, which are the same on every layer. PeekMessageA is written
// once too (window_manager.cpp); each layer only turns its platform's events into messages, in its
// pumpPlatformEvents hook (layer_hooks.h).
#include "platform/win32_common/message_queue.h"

#include "platform/win32_common/window_manager.h"

#include <algorithm>

namespace win32common {

namespace {

bool matchesFilter(const MSG& message, HWND window, UINT filterMin, UINT filterMax) {
    if (window != nullptr && message.hwnd != window) {
        return false;
    }
    return (filterMin == 0 && filterMax == 0) ||
           (message.message >= filterMin && message.message <= filterMax);
}

} // namespace

bool takeMessage(MessageQueue& queue, MSG* msg, HWND window, UINT filterMin, UINT filterMax,
                 UINT removeMsg, DWORD now) {
    auto& posted = queue.posted;
    for (auto it = posted.begin(); it != posted.end(); ++it) {
        if (matchesFilter(*it, window, filterMin, filterMax)) {
            *msg = *it;
            if (removeMsg & PM_REMOVE) {
                posted.erase(it);
            }
            return true;
        }
    }
    // WM_QUIT belongs to the thread, not to a window, and comes once the posted ones are gone.
    const MSG quit{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, now, {}};
    if (queue.quitPosted && window == nullptr &&
        matchesFilter(quit, nullptr, filterMin, filterMax)) {
        *msg = quit;
        if (removeMsg & PM_REMOVE) {
            queue.quitPosted = false;
        }
        return true;
    }
    return false;
}

void dropMessages(MessageQueue& queue, HWND window) {
    const auto forWindow = [window](const MSG& message) { return message.hwnd == window; };
    auto& posted = queue.posted;
    posted.erase(std::remove_if(posted.begin(), posted.end(), forWindow), posted.end());
}

void postQuit(MessageQueue& queue, int exitCode) {
    queue.quitPosted = true;
    queue.quitCode = exitCode;
}

} // namespace win32common

BOOL WINAPI TranslateMessage(const MSG* msg) {
    // Character messages are not produced; the result says whether it was a key message.
    return msg != nullptr && (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) ? TRUE
                                                                                           : FALSE;
}

LRESULT WINAPI DefWindowProcA(HWND /*window*/, UINT /*message*/, WPARAM /*wParam*/,
                              LPARAM /*lParam*/) {
    return 0;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (msg == nullptr) {
        return 0;
    }
    LRESULT result = 0;
    win32common::sendMessage(msg->hwnd, msg->message, msg->wParam, msg->lParam, &result);
    return result;
}

void WINAPI PostQuitMessage(int exitCode) {
    win32common::postQuit(win32common::commonState().messages, exitCode);
}
