// A real fixed-function Mesa context with no window system: EGL on the surfaceless platform, a
// GL 2.1 compatibility context on llvmpipe and a pbuffer with a depth buffer. The GL tests and the
// frame benchmark draw into it; it knows nothing of either.
#pragma once

#include <string>

namespace testsupport {

// Creates the context on the first call (width x height) and makes it current on every call.
// Returns an empty string on success, otherwise what failed.
std::string makeEglContextCurrent(int width, int height);

} // namespace testsupport
