// The font bookkeeping of gdi_objects.h. Faces, glyphs and the lists of live objects are the
// layer's.
#include "platform/win32_common/gdi_objects.h"

#include <algorithm>

namespace win32common {

void describeFont(FontRecord& font, int height, int weight, DWORD italic, LPCSTR faceName) {
    font.height = height;
    font.weight = weight > 0 ? std::min(weight, 1000) : FW_NORMAL;
    font.italic = italic != 0;
    font.faceName = faceName != nullptr ? faceName : "";
}

void moveSelection(FontRecord* selected, FontRecord* previous) {
    if (selected != nullptr) {
        ++selected->selectionCount;
    }
    if (previous != nullptr) {
        --previous->selectionCount;
    }
}

} // namespace win32common
