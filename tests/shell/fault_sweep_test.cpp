// Every platform call the program makes fails once, in turn, through the whole of WinMain. The
// calls come from a recorded successful run, so a call added to the program is swept without
// touching this file; the tables below say what each failure must lead to, and any call not named
// in them must be survived without a message, with the run's exit code and nothing left behind.
#include "shell/shell.h"
#include "shell_fixture.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using platformstub::State;

// Calls whose result carries no failure to inject.
const std::set<std::string> cannotFail = {"ShowWindow",       "ShowCursor",       "PeekMessageA",
                                          "TranslateMessage", "DispatchMessageA", "DefWindowProcA",
                                          "PostQuitMessage"};

// Set-up steps whose failure ends the program with their "ERROR" box and exit code 1.
std::map<std::string, std::string> setupFailureMessages() {
    std::map<std::string, std::string> messages;
    for (const FailurePoint& failure : setupFailures) {
        messages[failure.operation] = failure.message;
    }
    return messages;
}

// What a refused release leaves: the object the platform kept, and what it keeps in turn.
struct Leftovers {
    size_t classes, windows, dcs, contexts, fonts;
};

struct ReleaseFailure {
    std::vector<std::string> messages; // "SHUTDOWN ERROR" boxes, in order
    Leftovers left;
};

// Teardown steps: reported, and the teardown goes on. A window that cannot be destroyed keeps
// its class registered (Windows refuses to unregister it), which is reported as well.
const std::map<std::string, ReleaseFailure> releaseFailures = {
    {"wglMakeCurrent", {{"Release Of DC And RC Failed."}, {0, 0, 0, 0, 0}}},
    {"wglDeleteContext", {{"Release Rendering Context Failed."}, {0, 0, 0, 1, 0}}},
    {"ReleaseDC", {{"Release Device Context Failed."}, {0, 0, 1, 0, 0}}},
    {"DestroyWindow",
     {{"Could Not Release hWnd.", "Could Not Unregister Class."}, {1, 1, 0, 0, 0}}},
    {"UnregisterClassA", {{"Could Not Unregister Class."}, {1, 0, 0, 0, 0}}},
    // The font is only needed while its glyph lists are made; nothing is reported about it.
    {"DeleteObject", {{}, {0, 0, 0, 0, 1}}},
};

// A short session: Up held for two frames, a resize, then Escape. The close request after it is
// only reached if a failure swallowed the Escape.
void scriptSession() {
    platformstub::post(WM_KEYDOWN, VK_UP);
    platformstub::postIdle(2);
    platformstub::post(WM_KEYUP, VK_UP);
    platformstub::post(WM_SIZE, SIZE_RESTORED, MAKELONG(800, 600));
    platformstub::postIdle();
    platformstub::post(WM_KEYDOWN, VK_ESCAPE);
    platformstub::postIdle();
    platformstub::post(WM_CLOSE);
}

Leftovers leftovers(const State& state) {
    return {state.classes.size(), state.windows.size(), state.dcs.size(), state.contexts.size(),
            state.fonts.size()};
}

std::vector<std::string> boxTexts(const State& state, const char* caption) {
    std::vector<std::string> texts;
    for (const auto& box : state.messageBoxes) {
        if (box.caption == caption) {
            texts.push_back(box.text);
        }
    }
    return texts;
}

class FaultSweep : public ShellTest {
  protected:
    // Back to the state a fresh process starts in, as far as the program can tell.
    void startAgain() {
        ShellTest::SetUp();
        scriptSession();
    }

    int runProgram() { return WinMain(nullptr, nullptr, nullptr, 0); }
};

TEST_F(FaultSweep, EveryCallFailsOnceInTurn) {
    startAgain();
    const int recordedExitCode = runProgram();
    const std::vector<platformstub::Call> recorded = stub().calls;
    ASSERT_EQ(recordedExitCode, 0);
    ASSERT_TRUE(platformstub::nothingLeftBehind());
    ASSERT_TRUE(stub().messageBoxes.empty());
    const int recordedSwaps = stub().swaps;
    ASSERT_GT(recordedSwaps, 0);

    // Set-up ends where the loop first looks for a message; teardown starts after it last does.
    const std::map<std::string, std::string> setupMessages = setupFailureMessages();
    int firstPeek = -1;
    int lastPeek = -1;
    for (int i = 0; i < static_cast<int>(recorded.size()); ++i) {
        if (recorded[i].name == "PeekMessageA") {
            lastPeek = i;
            firstPeek = firstPeek < 0 ? i : firstPeek;
        }
    }
    ASSERT_GE(firstPeek, 0);

    std::map<std::string, int> occurrences;
    int swept = 0;
    for (int i = 0; i < static_cast<int>(recorded.size()); ++i) {
        const std::string& name = recorded[i].name;
        const int occurrence = occurrences[name]++;
        if (cannotFail.count(name)) {
            continue;
        }
        SCOPED_TRACE("call " + std::to_string(i) + ": " + name + " #" +
                     std::to_string(occurrence + 1));
        startAgain();
        platformstub::failOn(name, 1, occurrence);
        const int exitCode = runProgram();
        ++swept;

        // The stub must have made this very call fail; otherwise it cannot fail it yet.
        EXPECT_EQ(stub().failing[name], 0) << "the stand-in cannot fail " << name;
        EXPECT_EQ(hWnd, nullptr);
        EXPECT_EQ(hDC, nullptr);
        EXPECT_EQ(hRC, nullptr);
        EXPECT_EQ(stub().current, nullptr);
        EXPECT_FALSE(stub().displayModeChanged);
        EXPECT_EQ(stub().cursorCount, 0);

        const auto setup = setupMessages.find(name);
        const auto release = releaseFailures.find(name);
        if (i < firstPeek && setup != setupMessages.end()) {
            EXPECT_EQ(exitCode, 1);
            EXPECT_EQ(boxTexts(stub(), "ERROR"), std::vector<std::string>{setup->second});
            EXPECT_EQ(stub().messageBoxes.size(), 1u);
            EXPECT_TRUE(platformstub::nothingLeftBehind());
            EXPECT_EQ(platformstub::indexOf("PeekMessageA"), -1);
        } else if ((i > lastPeek || name == "DeleteObject") && release != releaseFailures.end()) {
            EXPECT_EQ(exitCode, recordedExitCode);
            EXPECT_EQ(boxTexts(stub(), "SHUTDOWN ERROR"), release->second.messages);
            EXPECT_EQ(stub().messageBoxes.size(), release->second.messages.size());
            const Leftovers left = leftovers(stub());
            const Leftovers expected = release->second.left;
            EXPECT_EQ(left.classes, expected.classes);
            EXPECT_EQ(left.windows, expected.windows);
            EXPECT_EQ(left.dcs, expected.dcs);
            EXPECT_EQ(left.contexts, expected.contexts);
            EXPECT_EQ(left.fonts, expected.fonts);
        } else {
            // Nothing the program depends on: it carries on as if the call had worked.
            EXPECT_EQ(exitCode, recordedExitCode);
            EXPECT_TRUE(stub().messageBoxes.empty());
            EXPECT_TRUE(platformstub::nothingLeftBehind());
            EXPECT_EQ(stub().swaps, recordedSwaps);
        }
    }
    // Every failable call of the session, not a handful.
    EXPECT_GE(swept, 25);
}

} // namespace
