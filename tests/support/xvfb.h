// A private X server for tests that need a real display: Xvfb on a free display number, started
// before the first test and stopped after the last, with DISPLAY pointing at it in between.
// Register it once per test program:
//     static auto* const xvfb = ::testing::AddGlobalTestEnvironment(new testsupport::Xvfb);
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <sys/types.h>

namespace testsupport {

class Xvfb : public ::testing::Environment {
  public:
    static constexpr int screenWidth = 1280;
    static constexpr int screenHeight = 1024;

    explicit Xvfb(int bitsPerPixel = 24, int width = screenWidth, int height = screenHeight)
        : depth(bitsPerPixel), width(width), height(height) {}

    void SetUp() override;
    void TearDown() override;

  private:
    int depth, width, height;
    pid_t server = -1;
    std::string previousDisplay;
    bool hadDisplay = false;
};

// The X id of a window with exactly this title on the current display, or "" when there is none.
// With waitSeconds above 0, waits up to that long for such a window to be mapped.
std::string findWindow(const std::string& title, int waitSeconds = 0);

} // namespace testsupport
