// The clocks read CLOCK_MONOTONIC directly: no SDL initialisation needed, and
// nanoseconds as the counter's unit.
#include "Core/platform/Clock.h"

#include <sys/resource.h>

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

double processCpuSeconds() {
    rusage usage;
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return 0.0;
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace Vantor::platform
