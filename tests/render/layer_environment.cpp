// The rendering tests make the caption font with the real platform layer. Like the program's own
// main(), each test process ends by releasing what the layer made (FreeType, fontconfig), so the
// leak check reports only what really leaks.
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
