// Shared set-up for the shell tests: a clean recording stand-in, the shell's globals back at their
// start-up values, and the offscreen GL context current for whatever render code runs.
#pragma once

#include "platform_stub/platform_stub.h"
#include "shell/app_state.h"
#include "support/offscreen_gl.h"

#include <algorithm>
#include <iterator>

class ShellTest : public testsupport::GlTest {
  protected:
    void SetUp() override {
        GlTest::SetUp();
        platformstub::reset();
        std::fill(std::begin(keys), std::end(keys), false);
        active = true;
        fullscreen = false;
        hInstance = nullptr;
        hWnd = nullptr;
        hDC = nullptr;
        hRC = nullptr;
    }

    static platformstub::State& stub() { return platformstub::state(); }

    static bool handlesCleared() {
        return hWnd == nullptr && hDC == nullptr && hRC == nullptr && hInstance == nullptr;
    }
};
