#include "platform/Event.h"

#include <chrono>

namespace platform {

void CManualResetEvent::Set() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bSet = true;
    }
    m_changed.notify_all();
}

void CManualResetEvent::Reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bSet = false;
}

bool CManualResetEvent::IsSet() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bSet;
}

bool CManualResetEvent::Wait(uint32_t milliseconds) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return m_bSet; });
}

}  // namespace platform
