// The parts of the platform layer that need no display: the message queue and
// dispatch, message boxes answered by a responder or with no display at all,
// the cursor's display counter and the clocks.
#include "Core/platform/Messages.h"
#include "Core/platform/Clock.h"
#include "Core/platform/Cursor.h"
#include "Core/platform/MessageBox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

using namespace Vantor::platform;

namespace {

std::vector<MSG> drain() {
    std::vector<MSG> messages;
    MSG msg;
    while (peekMessage(msg))
        messages.push_back(msg);
    return messages;
}

TEST(MessageQueue, DeliversPostedMessagesAndQuitInOrder) {
    drain();
    MSG msg;
    EXPECT_FALSE(peekMessage(msg));

    postMessage(nullptr, WM_KEYDOWN, 'A', 1);
    postMessage(nullptr, WM_CHAR, 'a', 1);
    postQuitMessage(3);
    postMessage(nullptr, WM_KEYUP, 'A', 0xC0000001);
    std::vector<MSG> messages = drain();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0].message, WM_KEYDOWN);
    EXPECT_EQ(messages[1].message, WM_CHAR);
    EXPECT_EQ(messages[1].wParam, WPARAM('a'));
    EXPECT_EQ(messages[2].message, WM_QUIT);
    EXPECT_EQ(messages[2].wParam, WPARAM(3));
    EXPECT_EQ(messages[3].message, WM_KEYUP);
    EXPECT_EQ(messages[3].lParam, LPARAM(0xC0000001));

    postQuitMessage(-1);
    ASSERT_TRUE(peekMessage(msg));
    EXPECT_EQ(int(msg.wParam), -1);
}

struct Call {
    Window* window;
    unsigned message;
    WPARAM wParam;
    LPARAM lParam;
};
std::optional<Call> lastCall;

LRESULT recordingProcedure(Window* window, unsigned message, WPARAM wParam, LPARAM lParam) {
    lastCall = Call{window, message, wParam, lParam};
    return 42;
}

TEST(MessageQueue, DispatchCallsTheWindowProcedure) {
    Window* window = reinterpret_cast<Window*>(&lastCall); // any distinct address
    postMessage(window, WM_MOUSEWHEEL, WPARAM(120) << 16, MAKELPARAM(5, 6));
    MSG msg;
    ASSERT_TRUE(peekMessage(msg));

    setWindowProcedure(recordingProcedure);
    translateMessage(msg);
    EXPECT_EQ(dispatchMessage(msg), 42);
    ASSERT_TRUE(lastCall);
    EXPECT_EQ(lastCall->window, window);
    EXPECT_EQ(lastCall->message, WM_MOUSEWHEEL);
    EXPECT_EQ(lastCall->wParam, WPARAM(120) << 16);
    EXPECT_EQ(lastCall->lParam, MAKELPARAM(5, 6));

    setWindowProcedure(nullptr);
    EXPECT_EQ(dispatchMessage(msg), 0);
}

TEST(MessageBoxes, TheResponderAnswersAndSeesEveryBox) {
    std::vector<std::string> asked;
    setMessageBoxResponder([&](const char* text, const char* caption, unsigned type) {
        asked.push_back(std::string(caption) + "|" + text + "|" + std::to_string(type));
        return (type & MB_YESNO) ? IDYES : IDOK;
    });
    EXPECT_EQ(messageBox(nullptr, "Would you like to run fullscreen?", "Run Fullscreen?",
                         MB_YESNO | MB_ICONQUESTION),
              IDYES);
    EXPECT_EQ(messageBox(nullptr, "failed", "Error", MB_OK | MB_ICONERROR), IDOK);
    EXPECT_EQ(messageBox(nullptr, nullptr, nullptr, MB_OK), IDOK);
    setMessageBoxResponder({});
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[0], "Run Fullscreen?|Would you like to run fullscreen?|36");
    EXPECT_EQ(asked[1], "Error|failed|16");
    EXPECT_EQ(asked[2], "||0");
}

// With no display a box cannot be shown: its text goes to stderr and the box
// takes the cautious answer.
TEST(MessageBoxes, WithoutADisplayTheTextGoesToStderr) {
    std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    std::string wayland = std::getenv("WAYLAND_DISPLAY") ? std::getenv("WAYLAND_DISPLAY") : "";
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");

    testing::internal::CaptureStderr();
    int yesNo = messageBox(nullptr, "Would you like to run fullscreen?", "Run Fullscreen?", MB_YESNO);
    int ok = messageBox(nullptr, "The screen mode was not supported", "Error", MB_OK | MB_ICONERROR);
    std::string err = testing::internal::GetCapturedStderr();

    if (!display.empty())
        setenv("DISPLAY", display.c_str(), 1);
    if (!wayland.empty())
        setenv("WAYLAND_DISPLAY", wayland.c_str(), 1);
    EXPECT_EQ(yesNo, IDNO);
    EXPECT_EQ(ok, IDOK);
    EXPECT_NE(err.find("Run Fullscreen?: Would you like to run fullscreen?"), std::string::npos) << err;
    EXPECT_NE(err.find("Error: The screen mode was not supported"), std::string::npos) << err;
}

TEST(Cursor, ShowCursorKeepsWin32sDisplayCounter) {
    // The counter starts at 0 (visible); nothing else in this program moves it.
    EXPECT_EQ(showCursor(false), -1);
    EXPECT_EQ(showCursor(false), -2);
    EXPECT_EQ(showCursor(true), -1);
    EXPECT_EQ(showCursor(true), 0);
    EXPECT_EQ(showCursor(true), 1);
    EXPECT_EQ(showCursor(false), 0);
}

TEST(Clocks, AdvanceMonotonicallyAtTheirRates) {
    std::int64_t frequency = queryPerformanceFrequency();
    ASSERT_GT(frequency, 0);
    std::int64_t counter0 = queryPerformanceCounter();
    unsigned ms0 = timeGetTime();
    std::int64_t previous = counter0;
    for (int i = 0; i < 1000; ++i) {
        std::int64_t now = queryPerformanceCounter();
        ASSERT_GE(now, previous);
        previous = now;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    double seconds = double(queryPerformanceCounter() - counter0) / double(frequency);
    unsigned elapsedMs = timeGetTime() - ms0; // unsigned: right across a wrap too
    EXPECT_GE(seconds, 0.029);
    EXPECT_LT(seconds, 5.0);
    EXPECT_GE(elapsedMs, 29u);
    EXPECT_LT(elapsedMs, 5000u);
}

} // namespace
