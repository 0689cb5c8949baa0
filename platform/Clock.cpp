#include "platform/Clock.h"

#include <sched.h>
#include <time.h>

namespace platform {

int64_t PerformanceCounter() {
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t PerformanceFrequency() { return 1000000000; }

uint32_t TickCount() { return static_cast<uint32_t>(PerformanceCounter() / 1000000); }

void SleepMilliseconds(uint32_t milliseconds) {
    timespec delay {static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000};
    while (nanosleep(&delay, &delay) != 0) {
    }
}

void YieldThread() { sched_yield(); }

}  // namespace platform
