// The process entry point on platforms without WinMain: hands control to the program's WinMain
// with this module's handle, no previous instance, an empty command line and SW_SHOW. Kept out of
// the layer's library so that test programs can link the layer with their own main().
#include "platform/sdl/win32_api.h"

int main() {
    char commandLine[] = "";
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOW);
}
