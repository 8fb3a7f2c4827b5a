#include "Core/WinAppFramework/Time.h"

#include "Core/platform/Clock.h"

namespace Vantor {

Time::CounterSource Time::readCounter = &platform::queryPerformanceCounter;
Time::CounterSource Time::readFrequency = &platform::queryPerformanceFrequency;

Time::Time() {
    frequency = readFrequency();
    currentCount = readCounter();
    startCount = currentCount;
}

double Time::update() {
    if (fixedStep >= 0.0) {
        lastCount = currentCount;
        currentCount += std::int64_t(fixedStep * double(frequency) + 0.5);
        delta = fixedStep;
        elapsed = double(currentCount - startCount) / double(frequency);
        return delta;
    }
    currentCount = readCounter();
    const double raw = double(currentCount - lastCount) / double(frequency);
    lastCount = currentCount;
    delta = timeScale * raw;
    elapsed = double(currentCount - startCount) / double(frequency);
    if (delta > maxDelta)
        delta = maxDelta;
    return delta;
}

Timer::Timer(bool isRealTime) : realTime(isRealTime), start(0), clock(Time::getInstance()) { start = now(); }

double Timer::elapsed() const { return double(now() - start) / double(clock->frequency); }

std::int64_t Timer::now() const { return realTime ? Time::readCounter() : clock->currentCount; }

} // namespace Vantor
