#include "engine/Stopwatch.h"

#include "platform/Clock.h"

Stopwatch::Stopwatch() : m_frequency(platform::PerformanceFrequency()), m_start(platform::PerformanceCounter()) {}

void Stopwatch::Restart() {
    m_start.store(platform::PerformanceCounter(), std::memory_order_relaxed);
}

float Stopwatch::ElapsedSeconds() const {
    int64_t elapsed = platform::PerformanceCounter() - m_start.load(std::memory_order_relaxed);
    return static_cast<float>(static_cast<double>(elapsed) / static_cast<double>(m_frequency));
}
