// Time and Timer: the frame clock and a stopwatch on it.
//
// Time counts on the high-resolution performance counter. Its start count
// (taken when the singleton is created) is the program's time origin; update
// runs once per frame, after the plug-in phases, and measures the frame that
// just ended. A Timer in frame-clock mode reads the count of the last frame
// boundary, so every reader sees the same time throughout a frame; in
// real-time mode it reads the counter itself.
//
// The counter and its frequency are read through two replaceable functions,
// so that tests can drive the clock count by count.
#pragma once

#include "Core/Singleton.h"

#include <cstdint>

namespace Vantor {

class Time : public Singleton<Time> {
public:
    using CounterSource = std::int64_t (*)();

    // No frame is taken as longer than this many seconds, so a stall (a
    // dragged window, a breakpoint) does not throw everything far ahead.
    static constexpr double maxDelta = 0.1;

    // The platform's performance counter unless a test replaced them. The
    // frequency is read once, when the singleton is created.
    static CounterSource readCounter;
    static CounterSource readFrequency;

    double timeScale = 1.0;
    // Seconds the clock moves on at every update in fixed-step mode;
    // negative (the default) when the counter runs it.
    double fixedStep = -1.0;
    std::int64_t lastCount = 0;
    std::int64_t currentCount = 0;
    std::int64_t frequency = 0;
    double delta = 0;
    double elapsed = 0;
    std::int64_t startCount = 0;

    Time();
    virtual ~Time() = default;

    // Reads the counter and returns the seconds since the previous update,
    // scaled by timeScale and cut to maxDelta. The first update measures from
    // count 0 and so always returns maxDelta.
    double update();
    // Fixed-step mode: from now on every update moves the clock on by exactly
    // seconds (0 holds it still), whatever the counter says, and returns that
    // step uncut. Frame-clock Timers follow the stepped clock. A negative
    // step gives the clock back to the counter.
    void setFixedStep(double seconds) { fixedStep = seconds; }
};

struct Timer {
    bool realTime;
    std::int64_t start;
    Time* clock;

    // Creates the frame clock if it does not exist yet.
    explicit Timer(bool realTime);

    void restart() { start = now(); }
    // Seconds since construction or the last restart.
    double elapsed() const;

private:
    std::int64_t now() const;
};

} // namespace Vantor
