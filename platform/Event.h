#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

// A manual-reset event: once set it stays set until reset.
class CManualResetEvent {
public:
    void Set();
    void Reset();
    bool IsSet() const;
    // Waits up to the given milliseconds; true when the event is set.
    bool Wait(uint32_t milliseconds) const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_bSet = false;
};

}  // namespace platform
