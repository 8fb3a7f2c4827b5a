// Input sent for real through the X server: keys and clicks from xdotool and
// a window manager's close request from Xlib reach a shown window as its
// messages, and real message boxes answer the button clicked.
//
// These tests need the keyboard focus and the pointer of the display to
// themselves, so each holds a lock named after the display while it runs:
// CTest may run tests in parallel on one virtual display.
#include "Core/platform/Cursor.h"
#include "Core/platform/MessageBox.h"
#include "Core/platform/Messages.h"
#include "Core/platform/Window.h"

#include "XClient.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using namespace Vantor::platform;

namespace {

bool haveXdotool() { return std::system("command -v xdotool >/dev/null 2>&1") == 0; }

class DisplayLock {
public:
    DisplayLock() {
        const char* display = std::getenv("DISPLAY");
        std::string path = "/tmp/vantor-display-" + std::string(display ? display : "none") + ".lock";
        fd = open(path.c_str(), O_RDWR | O_CREAT, 0666);
        if (fd >= 0)
            flock(fd, LOCK_EX);
    }
    ~DisplayLock() {
        if (fd >= 0)
            close(fd); // releases the lock
    }
    DisplayLock(const DisplayLock&) = delete;
    DisplayLock& operator=(const DisplayLock&) = delete;

private:
    int fd = -1;
};

void xdotool(const std::string& arguments) {
    std::string command = "xdotool " + arguments;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// The messages read until one with the given number (and wParam, unless it is
// ~0) arrives, that one included, or until timeoutMs pass.
std::vector<MSG> readUntil(unsigned message, WPARAM wParam = ~WPARAM(0), int timeoutMs = 3000) {
    std::vector<MSG> messages;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        MSG msg;
        if (!peekMessage(msg)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        messages.push_back(msg);
        if (msg.message == message && (wParam == ~WPARAM(0) || msg.wParam == wParam))
            break;
    }
    return messages;
}

// The key and character messages, as "down 41", "char 61", "up 41" (hex).
std::vector<std::string> keyMessages(const std::vector<MSG>& messages) {
    std::vector<std::string> keys;
    for (const MSG& msg : messages) {
        const char* kind = msg.message == WM_KEYDOWN ? "down"
                           : msg.message == WM_KEYUP ? "up"
                           : msg.message == WM_CHAR  ? "char"
                                                     : nullptr;
        if (!kind)
            continue;
        char text[32];
        std::snprintf(text, sizeof text, "%s %X", kind, unsigned(msg.wParam));
        keys.push_back(text);
    }
    return keys;
}

const MSG* find(const std::vector<MSG>& messages, unsigned message) {
    for (const MSG& msg : messages)
        if (msg.message == message)
            return &msg;
    return nullptr;
}

class ShownWindow : public ::testing::Test {
protected:
    static constexpr const char* title = "Vantor input test";
    static constexpr int left = 100;
    static constexpr int top = 120;

    void SetUp() override {
        if (!haveXdotool())
            GTEST_SKIP() << "xdotool is not installed";
        WindowDescription description;
        description.title = title;
        description.x = left;
        description.y = top;
        description.width = 200;
        description.height = 150;
        window = createWindow(description); // shown, raised and focused
        ASSERT_NE(window, nullptr) << lastError();
        shownMessages = readUntil(WM_NULL, 0, 300); // everything the first 300 ms bring
    }
    void TearDown() override { destroyWindow(window); }

    DisplayLock lock;
    Window* window = nullptr;
    std::vector<MSG> shownMessages;
};

TEST_F(ShownWindow, IsActivatedWhenShown) {
    const MSG* activate = find(shownMessages, WM_ACTIVATE);
    ASSERT_NE(activate, nullptr);
    EXPECT_EQ(activate->hwnd, window);
    EXPECT_EQ(LOWORD(activate->wParam), unsigned(WA_ACTIVE));
    EXPECT_EQ(HIWORD(activate->wParam), 0u);
    for (const MSG& msg : shownMessages) {
        if (msg.message == WM_ACTIVATE) {
            EXPECT_EQ(msg.wParam, WPARAM(WA_ACTIVE)) << "a later activation undid the first";
        }
    }
}

TEST_F(ShownWindow, KeysArriveAsKeyAndCharacterMessages) {
    xdotool("key a");
    std::vector<MSG> messages = readUntil(WM_KEYUP, 'A');
    EXPECT_EQ(keyMessages(messages), (std::vector<std::string>{"down 41", "char 61", "up 41"}));
    const MSG* down = find(messages, WM_KEYDOWN);
    ASSERT_NE(down, nullptr);
    EXPECT_EQ(down->hwnd, window);
    EXPECT_EQ(down->lParam & 0x40000000, 0);

    xdotool("key Escape grave BackSpace");
    messages = readUntil(WM_KEYUP, VK_BACK);
    EXPECT_EQ(keyMessages(messages),
              (std::vector<std::string>{"down 1B", "char 1B", "up 1B", "down C0", "char 60", "up C0",
                                        "down 8", "char 8", "up 8"}));

    // xdotool may let go of the two keys in either order.
    xdotool("key shift+b");
    std::vector<std::string> keys = keyMessages(readUntil(WM_NULL, 0, 500));
    ASSERT_EQ(keys.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(keys.begin(), keys.begin() + 3),
              (std::vector<std::string>{"down 10", "down 42", "char 42"}));
    std::sort(keys.begin() + 3, keys.end());
    EXPECT_EQ(keys[3], "up 10");
    EXPECT_EQ(keys[4], "up 42");
}

TEST_F(ShownWindow, AKeyHeldDownRepeats) {
    xdotool("keydown Tab sleep 1.2 keyup Tab");
    std::vector<MSG> messages = readUntil(WM_KEYUP, VK_TAB);
    int downs = 0, repeats = 0, characters = 0;
    for (const MSG& msg : messages) {
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB) {
            ++downs;
            if (msg.lParam & 0x40000000)
                ++repeats;
        }
        if (msg.message == WM_CHAR && msg.wParam == 9)
            ++characters;
    }
    EXPECT_GE(repeats, 1) << "no auto-repeat came in 1.2 s";
    EXPECT_EQ(repeats, downs - 1);
    EXPECT_EQ(characters, downs);
}

TEST_F(ShownWindow, ClicksAndTheWheelArriveWithTheirPositions) {
    xdotool("mousemove " + std::to_string(left + 20) + " " + std::to_string(top + 30) +
            " click 1 click 3 click 4 click 5");
    std::vector<MSG> messages = readUntil(WM_MOUSEWHEEL);
    std::vector<MSG> more = readUntil(WM_MOUSEWHEEL);
    messages.insert(messages.end(), more.begin(), more.end());

    const MSG* down = find(messages, WM_LBUTTONDOWN);
    const MSG* up = find(messages, WM_LBUTTONUP);
    ASSERT_TRUE(down && up);
    EXPECT_EQ(down->hwnd, window);
    EXPECT_EQ(down->wParam & MK_LBUTTON, WPARAM(MK_LBUTTON));
    EXPECT_EQ(down->lParam, MAKELPARAM(20, 30));
    EXPECT_EQ(down->pt.x, left + 20);
    EXPECT_EQ(down->pt.y, top + 30);
    EXPECT_EQ(up->wParam & MK_LBUTTON, WPARAM(0));
    EXPECT_TRUE(find(messages, WM_RBUTTONDOWN) && find(messages, WM_RBUTTONUP));

    std::vector<int> wheel;
    for (const MSG& msg : messages) {
        if (msg.message == WM_MOUSEWHEEL) {
            wheel.push_back(short(HIWORD(msg.wParam)));
            EXPECT_EQ(msg.lParam, MAKELPARAM(left + 20, top + 30)); // screen coordinates
        }
    }
    EXPECT_EQ(wheel, (std::vector<int>{WHEEL_DELTA, -WHEEL_DELTA}));
}

TEST_F(ShownWindow, ACloseRequestArrivesAsOneWmClose) {
    ASSERT_TRUE(xclient::requestClose(title));
    std::vector<MSG> messages = readUntil(WM_CLOSE);
    const MSG* close = find(messages, WM_CLOSE);
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->hwnd, window);
    EXPECT_EQ(find(readUntil(WM_CLOSE, ~WPARAM(0), 300), WM_CLOSE), nullptr);
}

TEST_F(ShownWindow, TheCursorMovesWhereItIsSet) {
    ASSERT_TRUE(setCursorPos(left + 50, top + 60));
    int x = 0, y = 0;
    ASSERT_TRUE(getCursorPos(x, y));
    EXPECT_EQ(x, left + 50);
    EXPECT_EQ(y, top + 60);
}

// Shows a box and clicks it where the end-to-end tests click: in the bottom
// row, dx pixels from the middle. SDL centres its buttons in that row; a box
// the click missed is closed so that the test fails instead of hanging.
int answerByClicking(const char* text, const char* caption, unsigned type, int dx) {
    std::thread clicker([=] {
        xclient::Geometry box;
        bool shown = false;
        for (int i = 0; i < 100 && !(shown = xclient::findWindow(caption, box) && box.viewable); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!shown)
            return; // SDL could not show it; messageBox has answered already
        std::string command = "xdotool mousemove " + std::to_string(box.x + box.width / 2 + dx) + " " +
                              std::to_string(box.y + box.height - 26) + " click 1";
        if (std::system(command.c_str()) != 0)
            return;
        for (int i = 0; i < 40 && xclient::findWindow(caption, box); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        xclient::requestClose(caption);
    });
    int answer = messageBox(nullptr, text, caption, type);
    clicker.join();
    return answer;
}

class ShownMessageBox : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveXdotool())
            GTEST_SKIP() << "xdotool is not installed";
        setMessageBoxResponder({});
    }
    DisplayLock lock;
};

constexpr const char* fullscreenQuestion =
    "Would you like to run fullscreen?\nnote: this may not work on some displays";

TEST_F(ShownMessageBox, YesIsLeftOfNo) {
    EXPECT_EQ(answerByClicking(fullscreenQuestion, "Run Fullscreen?", MB_YESNO | MB_ICONQUESTION, -45), IDYES)
        << "was the box shown? SDL's boxes need the X server's core fonts (xfonts-base)";
    EXPECT_EQ(answerByClicking(fullscreenQuestion, "Run Fullscreen?", MB_YESNO | MB_ICONQUESTION, 45), IDNO);
}

TEST_F(ShownMessageBox, OkAndCancel) {
    EXPECT_EQ(answerByClicking(
                  "The screen mode was not supported by your display\nWindowed mode will be used instead",
                  "Error", MB_OK | MB_ICONERROR, 0),
              IDOK);
    EXPECT_EQ(answerByClicking("Go on?", "Question", MB_OKCANCEL, 45), IDCANCEL);
}

} // namespace
