// The frame clock on a counter the test drives, the key and mouse frame
// roll-over, the mouse origin arithmetic and the frame counter.
#include "Core/Singleton.h"
#include "Core/WinAppFramework/FPSCounter.h"
#include "Core/WinAppFramework/Exception.h"
#include "Core/WinAppFramework/Input.h"
#include "Core/WinAppFramework/Plugin.h"
#include "Core/WinAppFramework/Time.h"
#include "Core/platform/Cursor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using namespace Vantor;

namespace {

constexpr std::int64_t countsPerSecond = 1000;
std::int64_t fakeCount = 0;

std::int64_t readFakeCount() { return fakeCount; }
std::int64_t readFakeFrequency() { return countsPerSecond; }

// Each test gets fresh singletons and a clock at count 5000.
class FrameClock : public ::testing::Test {
protected:
    void SetUp() override {
        destroySingletons();
        savedCounter = Time::readCounter;
        savedFrequency = Time::readFrequency;
        Time::readCounter = readFakeCount;
        Time::readFrequency = readFakeFrequency;
        fakeCount = 5000;
    }
    void TearDown() override {
        destroySingletons();
        Time::readCounter = savedCounter;
        Time::readFrequency = savedFrequency;
    }
    // Lets a frame of the given counts pass and closes it.
    static double frame(std::int64_t counts) {
        fakeCount += counts;
        return Time::getInstance()->update();
    }
    Time::CounterSource savedCounter = nullptr;
    Time::CounterSource savedFrequency = nullptr;
};

} // namespace

TEST_F(FrameClock, FirstUpdateAndLongFramesAreCutShortOnesKept) {
    Time* time = Time::getInstance();
    EXPECT_EQ(time->startCount, 5000);
    // The first frame is measured from count 0.
    EXPECT_DOUBLE_EQ(frame(0), Time::maxDelta);
    EXPECT_DOUBLE_EQ(frame(500), 0.1);
    EXPECT_DOUBLE_EQ(frame(10), 0.01);
    EXPECT_DOUBLE_EQ(frame(100), 0.1);
    // elapsed is never cut.
    EXPECT_DOUBLE_EQ(time->elapsed, 0.610);
}

TEST_F(FrameClock, ScaleAppliesBeforeTheClampAndNotToElapsed) {
    Time* time = Time::getInstance();
    frame(0);
    time->timeScale = 2.0;
    EXPECT_DOUBLE_EQ(frame(30), 0.06);
    EXPECT_DOUBLE_EQ(frame(60), 0.1);
    EXPECT_DOUBLE_EQ(time->elapsed, 0.090);
}

TEST_F(FrameClock, FrameClockTimerSeesOnlyFrameBoundaries) {
    Timer timer(false);
    EXPECT_EQ(timer.clock, Time::getInstance());
    fakeCount += 250;
    EXPECT_EQ(timer.elapsed(), 0.0);
    Time::getInstance()->update();
    EXPECT_DOUBLE_EQ(timer.elapsed(), 0.25);
    timer.restart();
    frame(40);
    EXPECT_DOUBLE_EQ(timer.elapsed(), 0.04);
}

TEST_F(FrameClock, FixedStepMovesTheClockByTheStepWhateverTheCounterSays) {
    Time* time = Time::getInstance();
    frame(0);
    Timer frameTimer(false);
    time->setFixedStep(0.25);
    EXPECT_DOUBLE_EQ(frame(7), 0.25);
    // A step longer than maxDelta is kept: it is the run's own choice.
    EXPECT_DOUBLE_EQ(frame(900), 0.25);
    EXPECT_DOUBLE_EQ(frameTimer.elapsed(), 0.5);
    time->setFixedStep(0.0);
    EXPECT_EQ(frame(40), 0.0);
    EXPECT_DOUBLE_EQ(frameTimer.elapsed(), 0.5);
}

TEST_F(FrameClock, RealTimeTimerReadsTheCounterItself) {
    Timer timer(true);
    fakeCount += 125;
    EXPECT_DOUBLE_EQ(timer.elapsed(), 0.125);
}

TEST_F(FrameClock, FPSCounterShowsZeroForTheFirstHalfSecondThenTheRate) {
    // Frequency 1000 does not divide by 60; 600 counts a second does.
    Time::readFrequency = [] { return std::int64_t(600); };
    FPSCounter* counter = FPSCounter::getInstance();
    EXPECT_TRUE(counter->registered);
    EXPECT_EQ(counter->phaseMask, kPhaseOverlay);
    PluginManager* plugins = PluginManager::getInstance();
    for (int n = 1; n <= 30; ++n) {
        plugins->runFrame();
        ASSERT_EQ(counter->fps, 0.0) << "frame " << n;
        frame(10);
    }
    EXPECT_EQ(std::string(counter->lastText), "FPS: 0.000000");
    for (int n = 31; n <= 120; ++n) {
        plugins->runFrame();
        ASSERT_DOUBLE_EQ(counter->fps, 60.0) << "frame " << n;
        frame(10);
    }
    EXPECT_EQ(std::string(counter->lastText), "FPS: 60.000000");
}

namespace {

class Input : public ::testing::Test {
protected:
    void SetUp() override { destroySingletons(); }
    void TearDown() override { destroySingletons(); }
};

constexpr int keyA = 'A';

} // namespace

TEST_F(Input, KeyPressedAndReleasedBetweenFramesIsPressedButDidNotGoDown) {
    Keys* keys = Keys::getInstance();
    keys->down[keyA] = keys->pressed[keyA] = true;
    keys->down[keyA] = false;
    EXPECT_FALSE(keys->down[keyA]);
    EXPECT_TRUE(keys->pressed[keyA]);
    EXPECT_FALSE(keys->wentDown(keyA));
    keys->update();
    EXPECT_FALSE(keys->pressed[keyA]);
    EXPECT_FALSE(keys->prev[keyA]);
}

TEST_F(Input, HeldKeyGoesDownInExactlyOneFrame) {
    Keys* keys = Keys::getInstance();
    keys->down[keyA] = keys->pressed[keyA] = true;
    int framesWentDown = 0;
    for (int frameIndex = 0; frameIndex < 5; ++frameIndex) {
        if (frameIndex == 2)
            keys->pressed[keyA] = true; // auto-repeat
        framesWentDown += keys->wentDown(keyA);
        EXPECT_EQ(keys->pressed[keyA], frameIndex == 0 || frameIndex == 2);
        keys->update();
    }
    EXPECT_EQ(framesWentDown, 1);
    keys->down[keyA] = false;
    EXPECT_TRUE(keys->prev[keyA]);
    EXPECT_FALSE(keys->wentDown(keyA));
}

TEST_F(Input, MouseFrameEndClearsEdgesAndWheelButKeepsHeldButtons) {
    Mouse* mouse = Mouse::getInstance();
    mouse->leftDown = mouse->leftPressed = true;
    mouse->rightReleased = true;
    mouse->middleDown = mouse->middlePressed = true;
    mouse->wheel = -1;
    mouse->updateFrom(nullptr, 0, 0, 1024, 768);
    EXPECT_TRUE(mouse->leftDown);
    EXPECT_TRUE(mouse->middleDown);
    EXPECT_FALSE(mouse->leftPressed || mouse->leftReleased || mouse->rightPressed || mouse->rightReleased ||
                 mouse->middlePressed || mouse->middleReleased);
    EXPECT_EQ(mouse->wheel, 0);
}

TEST_F(Input, BorderlessWindowOriginPutsTheTopLeftPixelAtHeight) {
    Mouse* mouse = Mouse::getInstance();
    const platform::RECT rect{100, 100, 100 + 1024, 100 + 768};
    mouse->updateFrom(&rect, 100, 100, 1024, 768);
    EXPECT_EQ(mouse->originX, 100);
    EXPECT_EQ(mouse->originY, 101);
    EXPECT_EQ(mouse->x, 0);
    EXPECT_EQ(mouse->y, 768);
}

TEST_F(Input, FramedWindowOriginSkipsTheBorder) {
    Mouse* mouse = Mouse::getInstance();
    // A 4-pixel frame left, right and bottom, and a 20-pixel caption.
    const platform::RECT rect{50, 30, 50 + 4 + 1024 + 4, 30 + 20 + 768 + 4};
    mouse->updateFrom(&rect, 54 + 10, 822 - 4 - 20, 1024, 768);
    EXPECT_EQ(mouse->originX, 54);
    EXPECT_EQ(mouse->originY, 51);
    EXPECT_EQ(mouse->x, 10);
    EXPECT_EQ(mouse->y, 768 + 51 - 798 - 1);
    // A window narrower than the GL size: the border truncates toward zero.
    const platform::RECT narrow{0, 0, 1020, 768};
    mouse->updateFrom(&narrow, 0, 0, 1024, 768);
    EXPECT_EQ(mouse->originX, -1);
}

TEST_F(Input, WindowToScreenInvertsTheFrameEndConversion) {
    Mouse* mouse = Mouse::getInstance();
    const platform::RECT rect{50, 30, 1082, 822};
    mouse->updateFrom(&rect, 200, 300, 1024, 768);
    for (int wy : {0, 1, 240, 767, 768}) {
        int sx, sy;
        mouse->windowToScreen(320, wy, 768, sx, sy);
        mouse->updateFrom(nullptr, sx, sy, 1024, 768);
        EXPECT_EQ(mouse->x, 320);
        EXPECT_EQ(mouse->y, wy);
    }
    // Without a window the origin stays; the previous position is the last one.
    EXPECT_EQ(mouse->originX, 54);
    EXPECT_EQ(mouse->prevY, 767);
}

namespace {
// The system cursor's display count, read without changing it.
int displayCount() {
    platform::showCursor(true);
    return platform::showCursor(false);
}
} // namespace

TEST_F(Input, ShowAndHideMoveTheSystemCursorCount) {
    Mouse* mouse = Mouse::getInstance();
    const int start = displayCount();
    mouse->hide();
    EXPECT_EQ(displayCount(), start - 1);
    EXPECT_FALSE(mouse->visible);
    mouse->show();
    EXPECT_EQ(displayCount(), start);
    EXPECT_TRUE(mouse->visible);

    // A cursor image that cannot be read is a fatal error; the system cursor stays.
    EXPECT_THROW(mouse->setCursorImage("images\\no such cursor.bmp"), Exception);
    EXPECT_EQ(mouse->cursorMode, Mouse::systemCursor);
    EXPECT_EQ(displayCount(), start);
    mouse->draw();
}
