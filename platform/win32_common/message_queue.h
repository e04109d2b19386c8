// The thread's posted-message queue: posted messages in order, and the WM_QUIT that
// PostQuitMessage leaves for after them. Turning the platform's events into messages, and sending
// messages to window procedures, is the layer's.
#pragma once

#include "platform/win32_common/win32_api.h"

#include <deque>

namespace win32common {

struct MessageQueue {
    std::deque<MSG> posted;
    bool quitPosted = false;
    int quitCode = 0;
};

// PeekMessageA's choice: the first posted message that passes the filter, else a due WM_QUIT.
bool takeMessage(MessageQueue& queue, MSG* msg, HWND window, UINT filterMin, UINT filterMax,
                 UINT removeMsg, DWORD now);
void dropMessages(MessageQueue& queue, HWND window); // a destroyed window's posted messages
void postQuit(MessageQueue& queue, int exitCode);

} // namespace win32common
