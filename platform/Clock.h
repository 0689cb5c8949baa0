#pragma once
#include <cstdint>

namespace platform {

// Monotonic counter in nanoseconds and its frequency (counts per second).
int64_t PerformanceCounter();
int64_t PerformanceFrequency();
// Monotonic milliseconds, wrapping at 2^32.
uint32_t TickCount();
void SleepMilliseconds(uint32_t milliseconds);
// Gives up the rest of the time slice.
void YieldThread();

}  // namespace platform
