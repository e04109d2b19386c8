#include "shell/shell.h"
#include "shell_fixture.h"

#include <cstdlib>
#include <new>

// Makes the scene tree's allocations fail on demand, so the program meets a real out-of-memory
// answer rather than a stubbed initScene.
namespace {
bool failArrayAllocations = false;
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (failArrayAllocations) {
        return nullptr;
    }
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}

namespace {

using platformstub::indexOf;
using platformstub::post;
using platformstub::postIdle;

// Some tests run WinMain twice; each run starts from a childless root, as a process does.
int runProgram() {
    releaseSceneTree(rootNode);
    return WinMain(nullptr, nullptr, nullptr, 0);
}

int callCount(const char* name) {
    return static_cast<int>(platformstub::callsTo(name).size());
}

TEST_F(ShellTest, LoopEndsWithTheCodeOfTheQuitMessage) {
    post(WM_CLOSE);
    EXPECT_EQ(runProgram(), 0);
    EXPECT_TRUE(platformstub::nothingLeftBehind());
    EXPECT_FALSE(glIsList(fontBase));

    platformstub::reset();
    post(WM_QUIT, 3);
    EXPECT_EQ(runProgram(), 3);
}

TEST_F(ShellTest, FramesWaitUntilTheQueueIsEmpty) {
    post(WM_KEYDOWN, 'A');
    post(WM_KEYUP, 'A');
    post(WM_SIZE, SIZE_RESTORED, MAKELONG(800, 600));
    postIdle(2);
    post(WM_CLOSE);
    EXPECT_EQ(runProgram(), 0);

    EXPECT_EQ(stub().swaps, 2);
    EXPECT_GT(indexOf("SwapBuffers"), indexOf("DispatchMessageA", indexOf("DispatchMessageA") + 2));
    // One message per pass: three messages, two idle passes, the close and its WM_QUIT.
    EXPECT_EQ(callCount("PeekMessageA"), 7);
    EXPECT_EQ(callCount("DispatchMessageA"), 4);
}

TEST_F(ShellTest, EscapeEndsTheLoopOnlyWhileActive) {
    post(WM_ACTIVATE, MAKELONG(WA_INACTIVE, 1));
    post(WM_KEYDOWN, VK_ESCAPE);
    postIdle(3);
    post(WM_ACTIVATE, MAKELONG(WA_ACTIVE, 0));
    postIdle(1);
    post(WM_QUIT, 7);
    EXPECT_EQ(runProgram(), 0);

    // Ended at the first idle pass after restoring, before the quit message was reached.
    EXPECT_EQ(stub().queue.size(), 1u);
    EXPECT_EQ(stub().swaps, 0);
    EXPECT_TRUE(platformstub::nothingLeftBehind());
}

TEST_F(ShellTest, NothingIsDrawnWhileMinimised) {
    post(WM_ACTIVATE, MAKELONG(WA_INACTIVE, 1));
    postIdle(3);
    post(WM_ACTIVATE, MAKELONG(WA_ACTIVE, 0));
    postIdle(2);
    post(WM_CLOSE);
    EXPECT_EQ(runProgram(), 0);
    EXPECT_EQ(stub().swaps, 2);
}

TEST_F(ShellTest, SetupFailureEndsWithFailureBeforeTheSceneIsPrepared) {
    platformstub::failOn("wglCreateContext");
    EXPECT_EQ(runProgram(), 1);
    EXPECT_EQ(indexOf("CreateFontA"), -1);
    EXPECT_EQ(indexOf("PeekMessageA"), -1);
    EXPECT_EQ(stub().messageBoxes.size(), 1u);
}

TEST_F(ShellTest, SceneAllocationFailureIsReportedAndCleanedUp) {
    post(WM_CLOSE);
    failArrayAllocations = true;
    const int exitCode = runProgram();
    failArrayAllocations = false;

    EXPECT_EQ(exitCode, 1);
    ASSERT_EQ(stub().messageBoxes.size(), 1u);
    EXPECT_EQ(stub().messageBoxes[0].text, "Can't Allocate The Scene.");
    EXPECT_EQ(stub().messageBoxes[0].caption, "ERROR");
    EXPECT_EQ(stub().messageBoxes[0].flags, UINT(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(indexOf("PeekMessageA"), -1);
    EXPECT_LT(indexOf("DestroyWindow"), indexOf("MessageBoxA"));
    EXPECT_TRUE(platformstub::nothingLeftBehind());
    EXPECT_FALSE(glIsList(fontBase));
}

} // namespace
