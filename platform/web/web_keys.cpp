// Windows virtual-key codes for the page's keys: letters and digits by the layout's character,
// as Windows gives them, every other key by its place (KeyboardEvent.code). The keypad gives its
// navigation keys while NumLock is off, as on Windows. Keys Windows has no code for get 0 and are
// dropped.
#include "platform/web/web_internal.h"

#include <cstring>

namespace {

struct NamedKey {
    const char* code; // KeyboardEvent.code, the key's place on a US keyboard
    WPARAM virtualKey;
};

// Keys other than letters and digits, by their place, with the codes Windows gives them.
constexpr NamedKey namedKeys[] = {
    {"Escape", VK_ESCAPE},
    {"ArrowLeft", VK_LEFT},
    {"ArrowUp", VK_UP},
    {"ArrowRight", VK_RIGHT},
    {"ArrowDown", VK_DOWN},
    {"Enter", VK_RETURN},
    {"NumpadEnter", VK_RETURN},
    {"Tab", VK_TAB},
    {"Backspace", VK_BACK},
    {"Space", VK_SPACE},
    {"ShiftLeft", VK_SHIFT},
    {"ShiftRight", VK_SHIFT},
    {"ControlLeft", VK_CONTROL},
    {"ControlRight", VK_CONTROL},
    {"AltLeft", VK_MENU},
    {"AltRight", VK_MENU},
    {"Pause", VK_PAUSE},
    {"CapsLock", VK_CAPITAL},
    {"PageUp", VK_PRIOR},
    {"PageDown", VK_NEXT},
    {"End", VK_END},
    {"Home", VK_HOME},
    {"Insert", VK_INSERT},
    {"Delete", VK_DELETE},
    {"PrintScreen", VK_SNAPSHOT},
    {"MetaLeft", VK_LWIN},
    {"MetaRight", VK_RWIN},
    {"ContextMenu", VK_APPS},
    {"NumLock", VK_NUMLOCK},
    {"ScrollLock", VK_SCROLL},
    {"NumpadMultiply", VK_MULTIPLY},
    {"NumpadAdd", VK_ADD},
    {"NumpadSubtract", VK_SUBTRACT},
    {"NumpadDivide", VK_DIVIDE},
    {"Semicolon", VK_OEM_1},
    {"Equal", VK_OEM_PLUS},
    {"Comma", VK_OEM_COMMA},
    {"Minus", VK_OEM_MINUS},
    {"Period", VK_OEM_PERIOD},
    {"Slash", VK_OEM_2},
    {"Backquote", VK_OEM_3},
    {"BracketLeft", VK_OEM_4},
    {"Backslash", VK_OEM_5},
    {"BracketRight", VK_OEM_6},
    {"Quote", VK_OEM_7},
};

bool isAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The keypad's digits and decimal point by their place, or 0 for any other key.
WPARAM numberPadKey(const char* code) {
    if (std::strncmp(code, "Numpad", 6) != 0) {
        return 0;
    }
    if (code[6] >= '0' && code[6] <= '9' && code[7] == '\0') {
        return VK_NUMPAD0 + static_cast<WPARAM>(code[6] - '0');
    }
    return std::strcmp(code + 6, "Decimal") == 0 ? VK_DECIMAL : 0;
}

} // namespace

WPARAM webplatform::virtualKey(const EmscriptenKeyboardEvent& event) {
    // With NumLock on the keypad types its character; with it off the browser names the
    // navigation key instead ("ArrowUp", "Home", "Clear", ...).
    if (const WPARAM keypad = numberPadKey(event.code)) {
        const bool typesCharacter = event.key[0] != '\0' && event.key[1] == '\0';
        return win32common::keypadKey(keypad, typesCharacter);
    }
    // Letters and digits follow the keyboard layout, as Windows' codes do.
    if (isAsciiAlnum(event.key[0]) && event.key[1] == '\0') {
        return static_cast<WPARAM>(upper(event.key[0]));
    }
    const char* code = event.code;
    if (std::strncmp(code, "Key", 3) == 0 && code[3] >= 'A' && code[3] <= 'Z' && code[4] == '\0') {
        return static_cast<WPARAM>(code[3]);
    }
    if (std::strncmp(code, "Digit", 5) == 0 && code[5] >= '0' && code[5] <= '9' &&
        code[6] == '\0') {
        return static_cast<WPARAM>(code[5]);
    }
    if (code[0] == 'F' && code[1] >= '1' && code[1] <= '9') {
        const int number = code[2] == '\0' ? code[1] - '0'
                           : (code[2] >= '0' && code[2] <= '2' && code[3] == '\0')
                               ? 10 * (code[1] - '0') + (code[2] - '0')
                               : 0;
        if (number >= 1 && number <= 12) {
            return VK_F1 + static_cast<WPARAM>(number - 1);
        }
    }
    for (const NamedKey& named : namedKeys) {
        if (std::strcmp(code, named.code) == 0) {
            return named.virtualKey;
        }
    }
    return 0;
}
