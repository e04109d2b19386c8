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

const UINT errorFlags = MB_OK | MB_ICONEXCLAMATION;
const UINT shutdownFlags = MB_OK | MB_ICONINFORMATION;

// Set-up steps whose failure ends the program with their "ERROR" box and exit code 1.
std::map<std::string, std::string> setupFailureMessages() {
    std::map<std::string, std::string> messages;
    for (const FailurePoint& failure : setupFailures) {
        messages[failure.operation] = failure.message;
    }
    return messages;
}

// The font is only needed while its glyph lists are made, in set-up; nothing is reported about
// its release.
const ReleaseFailure fontRelease = {"DeleteObject", {}, {0, 0, 0, 0, 1}};

const ReleaseFailure* releaseFailureOf(const std::string& name) {
    for (const ReleaseFailure& failure : teardownFailures) {
        if (name == failure.operation) {
            return &failure;
        }
    }
    return name == fontRelease.operation ? &fontRelease : nullptr;
}

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

// Index of the last PeekMessageA in `calls`: teardown starts after it.
int lastPeekOf(const std::vector<platformstub::Call>& calls) {
    for (int i = static_cast<int>(calls.size()) - 1; i >= 0; --i) {
        if (calls[i].name == "PeekMessageA") {
            return i;
        }
    }
    return -1;
}

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
    for (int i = 0; i < static_cast<int>(recorded.size()) && firstPeek < 0; ++i) {
        firstPeek = recorded[i].name == "PeekMessageA" ? i : -1;
    }
    const int lastPeek = lastPeekOf(recorded);
    ASSERT_GE(firstPeek, 0);

    std::map<std::string, int> occurrences;
    std::set<std::string> reported; // the failures of both tables that were met
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
        const ReleaseFailure* release = releaseFailureOf(name);
        if (i < firstPeek && setup != setupMessages.end()) {
            reported.insert("set-up " + name);
            EXPECT_EQ(exitCode, 1);
            EXPECT_EQ(boxTexts(stub(), "ERROR"), std::vector<std::string>{setup->second});
            EXPECT_EQ(stub().messageBoxes.size(), 1u);
            for (const platformstub::MessageBoxShown& box : stub().messageBoxes) {
                EXPECT_EQ(box.flags, errorFlags);
            }
            EXPECT_TRUE(platformstub::nothingLeftBehind());
            EXPECT_EQ(platformstub::indexOf("PeekMessageA"), -1);
            // The box comes last: whatever had been acquired is already gone when the user sees
            // it, the class included.
            EXPECT_EQ(stub().calls.back().name, "MessageBoxA");
            if (name != "RegisterClassA") {
                EXPECT_LT(platformstub::indexOf("UnregisterClassA"),
                          platformstub::indexOf("MessageBoxA"));
            }
        } else if ((i > lastPeek || release == &fontRelease) && release != nullptr) {
            reported.insert("release " + name);
            EXPECT_EQ(exitCode, recordedExitCode);
            EXPECT_EQ(boxTexts(stub(), "SHUTDOWN ERROR"), release->messages);
            EXPECT_EQ(stub().messageBoxes.size(), release->messages.size());
            for (const platformstub::MessageBoxShown& box : stub().messageBoxes) {
                EXPECT_EQ(box.flags, shutdownFlags);
            }
            const Leftovers left = leftovers(stub());
            EXPECT_EQ(left.classes, release->left.classes);
            EXPECT_EQ(left.windows, release->left.windows);
            EXPECT_EQ(left.dcs, release->left.dcs);
            EXPECT_EQ(left.contexts, release->left.contexts);
            EXPECT_EQ(left.fonts, release->left.fonts);
            // The teardown goes on with every later step.
            const int teardown = lastPeekOf(stub().calls);
            for (const ReleaseFailure& step : teardownFailures) {
                EXPECT_NE(platformstub::indexOf(step.operation, teardown), -1) << step.operation;
            }
            EXPECT_TRUE(handlesCleared());
        } else {
            // Nothing the program depends on: it carries on as if the call had worked.
            EXPECT_EQ(exitCode, recordedExitCode);
            EXPECT_TRUE(stub().messageBoxes.empty());
            EXPECT_TRUE(platformstub::nothingLeftBehind());
            EXPECT_EQ(stub().swaps, recordedSwaps);
        }
    }
    // Every failable call of the session, not a handful, and every row of both tables.
    EXPECT_GE(swept, 25);
    for (const FailurePoint& failure : setupFailures) {
        EXPECT_EQ(reported.count(std::string("set-up ") + failure.operation), 1u)
            << failure.operation;
    }
    for (const ReleaseFailure& failure : teardownFailures) {
        EXPECT_EQ(reported.count(std::string("release ") + failure.operation), 1u)
            << failure.operation;
    }
    EXPECT_EQ(reported.count("release DeleteObject"), 1u);
}

} // namespace
