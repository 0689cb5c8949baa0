#pragma once
// Elapsed time on the monotonic performance counter, in seconds.
#include <atomic>
#include <cstdint>

class Stopwatch {
public:
    Stopwatch();
    void Restart();
    float ElapsedSeconds() const;

private:
    int64_t m_frequency;
    // The window may read a stopwatch that the worker restarts.
    std::atomic<int64_t> m_start;
};
