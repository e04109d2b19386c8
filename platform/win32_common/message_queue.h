// The thread's posted-message queue: posted messages in order, and the WM_QUIT that
// PostQuitMessage leaves for after them. Turning the platform's events into messages, and sending
// messages to window procedures, is the layer's.
#pragma once

#include "platform/sdl/win32_api.h"

#include <deque>

namespace win32common {

struct MessageQueue {
    std::deque<MSG> posted;
    bool quitPosted = false;
    int quitCode = 0;
};

// PeekMessageA's choice from the queue: the first posted message that passes the filter, else
// WM_QUIT (stamped with now) when one is due; removed when removeMsg says PM_REMOVE.
bool takeMessage(MessageQueue& queue, MSG* msg, HWND window, UINT filterMin, UINT filterMax,
                 UINT removeMsg, DWORD now);

// A destroyed window's posted messages go with it.
void dropMessages(MessageQueue& queue, HWND window);

void postQuit(MessageQueue& queue, int exitCode);

} // namespace win32common
