// The process entry point on platforms without WinMain: makes sure the standard streams are open,
// hands control to the program's WinMain with this module's handle, no previous instance, an
// empty command line and SW_SHOW, and then releases what the layer made. Kept out of the layer's
// library so that test programs can link the layer with their own main().
#include "platform/sdl/sdl_layer.h"
#include "platform/win32_common/win32_api.h"

int main() {
    sdlplatform::openStandardStreams();
    char commandLine[] = "";
    const int exitCode = WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOW);
    sdlplatform::shutdownLayer();
    return exitCode;
}
