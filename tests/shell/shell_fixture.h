// Shared set-up for the shell tests: a clean recording stand-in, the shell's globals back at their
// start-up values, and the offscreen GL context current for whatever render code runs.
#pragma once

#include "platform_stub/platform_stub.h"
#include "scene/scene_node.h"
#include "shell/app_state.h"
#include "support/offscreen_gl.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

// WinMain builds the tree under rootNode every time a test runs it, while the program builds it
// once and keeps it for the life of the process; each test starts from the childless root a
// process starts with, and the arrays of the previous run are freed rather than lost.
inline void releaseSceneTree(SceneNode& node) {
    for (int i = 0; i < node.childCount; ++i) {
        releaseSceneTree(node.children[i]);
    }
    delete[] node.children;
    node.children = nullptr;
    node.childCount = 0;
}

// A platform call that fails, and the message box text its failure must show.
struct FailurePoint {
    const char* operation;
    const char* message;
};

// The set-up steps of the window and its context: each failure ends the program with this box,
// captioned "ERROR".
inline const FailurePoint setupFailures[] = {
    {"RegisterClassA", "Failed To Register The Window Class."},
    {"CreateWindowExA", "Window Creation Error."},
    {"GetDC", "Can't Create A GL Device Context."},
    {"ChoosePixelFormat", "Can't Find A Suitable PixelFormat."},
    {"SetPixelFormat", "Can't Set The PixelFormat."},
    {"wglCreateContext", "Can't Create A GL Rendering Context."},
    {"wglMakeCurrent", "Can't Activate The GL Rendering Context."},
};

// What a refused release leaves: the objects the platform kept, and what they keep in turn.
struct Leftovers {
    size_t classes, windows, dcs, contexts, fonts;
};

// A release that fails: the "SHUTDOWN ERROR" boxes it shows, in order, and what is left.
struct ReleaseFailure {
    const char* operation;
    std::vector<std::string> messages;
    Leftovers left;
};

// The teardown's steps in the order they run. A failure is reported and the teardown goes on; a
// window that cannot be destroyed keeps its class registered (Windows refuses to unregister it),
// which is reported as well.
inline const ReleaseFailure teardownFailures[] = {
    {"wglMakeCurrent", {"Release Of DC And RC Failed."}, {0, 0, 0, 0, 0}},
    {"wglDeleteContext", {"Release Rendering Context Failed."}, {0, 0, 0, 1, 0}},
    {"ReleaseDC", {"Release Device Context Failed."}, {0, 0, 1, 0, 0}},
    {"DestroyWindow", {"Could Not Release hWnd.", "Could Not Unregister Class."}, {1, 1, 0, 0, 0}},
    {"UnregisterClassA", {"Could Not Unregister Class."}, {1, 0, 0, 0, 0}},
};

class ShellTest : public testsupport::GlTest {
  protected:
    void SetUp() override {
        GlTest::SetUp();
        releaseSceneTree(rootNode);
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
