// Test programs that use the real platform layer (the rendering tests make the caption font with
// it, the platform tests drive it whole). Like the program's own main(), each test process ends by
// releasing what the layer made (windows, contexts, FreeType, fontconfig, SDL), so the leak check
// reports only what really leaks. Compiled into each such program, not linked from a library,
// since nothing refers to it by name.
#include "platform/sdl/sdl_layer.h"

#include <gtest/gtest.h>

namespace {

class PlatformLayerEnvironment : public ::testing::Environment {
  public:
    void TearDown() override { sdlplatform::shutdownLayer(); }
};

// GoogleTest owns the environment and runs its TearDown after the last test.
::testing::Environment* const layerEnvironment =
    ::testing::AddGlobalTestEnvironment(new PlatformLayerEnvironment);

} // namespace
