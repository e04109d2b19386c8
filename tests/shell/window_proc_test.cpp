#include "shell/shell.h"
#include "shell_fixture.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using platformstub::callsTo;

const HWND someWindow = reinterpret_cast<HWND>(std::uintptr_t{0x77});

// The bytes just past the key table, whatever object the linker put there: a key code written
// past the table shows in them even without a sanitizer. Read around AddressSanitizer on purpose.
#if defined(__GNUC__) || defined(__clang__)
__attribute__((no_sanitize_address))
#endif
std::vector<unsigned char>
bytesPastKeys() {
    // Through an integer, so that the compiler does not take the read for an indexing mistake.
    const auto* past = reinterpret_cast<const volatile unsigned char*>(
        reinterpret_cast<std::uintptr_t>(keys) + sizeof keys);
    std::vector<unsigned char> bytes;
    for (int i = 0; i < 16; ++i) {
        const unsigned char byte = past[i];
        bytes.push_back(byte);
    }
    return bytes;
}

TEST_F(ShellTest, SystemCommandsOnlyScreenSaverAndMonitorPowerAreSwallowed) {
    for (WPARAM command : {WPARAM{SC_SCREENSAVE}, WPARAM{SC_MONITORPOWER}}) {
        EXPECT_EQ(mainWindowProc(someWindow, WM_SYSCOMMAND, command, 0), 0);
    }
    EXPECT_TRUE(callsTo("DefWindowProcA").empty());

    // The whole wParam is compared, so a command with low bits set is not the screen saver.
    for (WPARAM command : {WPARAM{SC_CLOSE}, WPARAM{SC_SCREENSAVE | 1}}) {
        mainWindowProc(someWindow, WM_SYSCOMMAND, command, 5);
    }
    const auto passedOn = callsTo("DefWindowProcA");
    ASSERT_EQ(passedOn.size(), 2u);
    EXPECT_EQ(passedOn[0].args[2], std::to_string(SC_CLOSE));
    EXPECT_EQ(passedOn[1].args[2], std::to_string(SC_SCREENSAVE | 1));
    EXPECT_EQ(passedOn[1].args[3], "5");
}

TEST_F(ShellTest, CloseRequestPostsQuitWithoutTheDefaultHandling) {
    EXPECT_EQ(mainWindowProc(someWindow, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(platformstub::callNames(), std::vector<std::string>{"PostQuitMessage"});
    EXPECT_EQ(callsTo("PostQuitMessage")[0].args[0], "0");
}

TEST_F(ShellTest, OnlyMinimisingStopsRendering) {
    mainWindowProc(someWindow, WM_ACTIVATE, MAKELONG(WA_INACTIVE, 1), 0);
    EXPECT_FALSE(active);
    mainWindowProc(someWindow, WM_ACTIVATE, MAKELONG(WA_ACTIVE, 0), 0);
    EXPECT_TRUE(active);
    mainWindowProc(someWindow, WM_ACTIVATE, MAKELONG(WA_INACTIVE, 0), 0); // lost the focus only
    EXPECT_TRUE(active);
}

TEST_F(ShellTest, KeysAreHeldFromDownToUpAndOutOfRangeCodesIgnored) {
    EXPECT_EQ(mainWindowProc(someWindow, WM_KEYDOWN, VK_UP, 0), 0);
    EXPECT_TRUE(keys[VK_UP]);
    EXPECT_EQ(mainWindowProc(someWindow, WM_KEYUP, VK_UP, 0), 0);
    EXPECT_FALSE(keys[VK_UP]);

    // Codes past the table, and keys that arrive as system keys, change nothing.
    bool before[256];
    std::copy(std::begin(keys), std::end(keys), before);
    const std::vector<unsigned char> pastBefore = bytesPastKeys();
    mainWindowProc(someWindow, WM_KEYDOWN, 256, 0);
    mainWindowProc(someWindow, WM_KEYDOWN, ~WPARAM{0}, 0);
    mainWindowProc(someWindow, WM_SYSKEYDOWN, VK_LEFT, 0);
    EXPECT_TRUE(std::equal(std::begin(keys), std::end(keys), before));
    EXPECT_EQ(bytesPastKeys(), pastBefore) << "a key code past the table was written";
    EXPECT_EQ(callsTo("DefWindowProcA").size(), 1u);
}

TEST_F(ShellTest, SizeChangesReachTheProjection) {
    EXPECT_EQ(mainWindowProc(someWindow, WM_SIZE, SIZE_RESTORED, MAKELONG(640, 480)), 0);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 480);
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_NEAR(projection[5] / projection[0], 640.0 / 480.0, 1e-5);
    EXPECT_TRUE(callsTo("DefWindowProcA").empty());
}

} // namespace
