// The clocks read CLOCK_MONOTONIC directly: no SDL initialisation needed, and
// nanoseconds as the counter's unit.
#include "Core/platform/Clock.h"

#include <ctime>

namespace Vantor::platform {

namespace {

std::int64_t monotonicNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

} // namespace

std::int64_t queryPerformanceCounter() { return monotonicNanoseconds(); }

std::int64_t queryPerformanceFrequency() { return 1000000000; }

unsigned timeGetTime() { return unsigned(std::uint64_t(monotonicNanoseconds() / 1000000) & 0xFFFFFFFFu); }

} // namespace Vantor::platform
