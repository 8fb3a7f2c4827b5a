// The clocks of the platform layer: the high-resolution counter that the frame
// clock runs on, and a millisecond clock.
#pragma once

#include <cstdint>

namespace Vantor::platform {

// The high-resolution counter and its counts per second.
std::int64_t queryPerformanceCounter();
std::int64_t queryPerformanceFrequency();
// Milliseconds since an arbitrary start, wrapping as a 32-bit count.
unsigned timeGetTime();
// User plus system CPU seconds of the whole process (every thread, the GL
// driver's included) since it started.
double processCpuSeconds();

} // namespace Vantor::platform
