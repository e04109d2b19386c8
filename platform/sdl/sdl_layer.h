// What the SDL layer offers besides the Win32 names: the end of its life. The process entry point
// calls shutdownLayer() after WinMain returns; the layer's tests call it to start each case from a
// clean state. No SDL type appears here.
#pragma once

namespace sdlplatform {

// Releases everything the layer made (windows and GL contexts still open, fonts and their faces,
// FreeType, fontconfig's configuration, SDL itself) and returns the layer to its starting state.
void shutdownLayer();

// Opens any of the descriptors 0, 1 and 2 that is closed on /dev/null, so that no file or socket
// the layer opens later (the X connection above all) takes the place of a standard stream.
void openStandardStreams();

} // namespace sdlplatform
