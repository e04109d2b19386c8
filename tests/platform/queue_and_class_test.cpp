// The message queue without events and the class table's rules. Without a display:
// hostile_test.cpp.
#include "platform/window_fixture.h"

namespace platformtest {
namespace {

TEST(MessageQueue, PostQuitMessageComesBackAsWmQuitWithItsCodeOnce) {
    MSG msg{};
    PostQuitMessage(3);
    ASSERT_EQ(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE), TRUE);
    ASSERT_EQ(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE), TRUE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_EQ(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE), FALSE); // and never blocks
}

WNDCLASSA testClass(const char* name) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = recordingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = name;
    return wc;
}

TEST(ClassTable, FollowsWindowsRules) {
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(LoadIconA(nullptr, IDI_WINLOGO), nullptr);
    EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);

    const WNDCLASSA wc = testClass("TableTest");
    EXPECT_NE(RegisterClassA(&wc), 0);
    EXPECT_EQ(RegisterClassA(&wc), 0) << "the same name twice";
    const WNDCLASSA sameNameOtherCase = testClass("TABLETEST");
    EXPECT_EQ(RegisterClassA(&sameNameOtherCase), 0) << "class names ignore case";
    EXPECT_EQ(UnregisterClassA("NeverRegistered", wc.hInstance), FALSE);

    received().clear();
    HWND window = CreateWindowExA(0, "TableTest", "Table Test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(sawMessage(WM_CREATE, [&](const Received& r) { return r.window == window; }));
    EXPECT_EQ(UnregisterClassA("TableTest", wc.hInstance), FALSE) << "a window still uses it";
    EXPECT_EQ(DestroyWindow(window), TRUE);
    EXPECT_TRUE(sawMessage(WM_DESTROY));
    EXPECT_EQ(DestroyWindow(window), FALSE);
    EXPECT_EQ(UnregisterClassA("TableTest", wc.hInstance), TRUE);
    EXPECT_EQ(UnregisterClassA("TableTest", wc.hInstance), FALSE);
    EXPECT_EQ(CreateWindowExA(0, "TableTest", "Gone", 0, 0, 0, 200, 100, nullptr, nullptr,
                              wc.hInstance, nullptr),
              nullptr);
}

} // namespace
} // namespace platformtest
