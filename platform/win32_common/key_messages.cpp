// Key messages' message and lParam, as key_messages.h says. No virtual-key codes here.
#include "platform/win32_common/key_messages.h"

namespace win32common {

UINT keyMessage(bool down, bool alt) {
    // While Alt is held Windows reports keys as system keys, which the program does not record.
    if (alt) {
        return down ? WM_SYSKEYDOWN : WM_SYSKEYUP;
    }
    return down ? WM_KEYDOWN : WM_KEYUP;
}

LPARAM keyMessageData(bool down, bool repeat, unsigned scanCode) {
    DWORD data = 1u | ((static_cast<DWORD>(scanCode) & 0xFFu) << 16);
    if (!down || repeat) {
        data |= 1u << 30;
    }
    if (!down) {
        data |= 1u << 31;
    }
    return static_cast<LPARAM>(data);
}

} // namespace win32common
