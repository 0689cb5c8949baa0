#pragma once
// Thread base of the update worker: runs the derived class's Run on a thread of
// its own, at most one at a time, and lets another thread see when it ended.
#include <atomic>
#include <cstdint>
#include <memory>

namespace platform {
class CManualResetEvent;
}

class SThread {
public:
    // The value of m_hThread while no thread runs.
    static constexpr int64_t kNoThread = -1;

    SThread();
    virtual ~SThread();
    SThread(const SThread&) = delete;
    SThread& operator=(const SThread&) = delete;

    virtual bool Run() = 0;

    // False when a thread runs already or none could be created.
    bool Start();
    bool IsThreadRunning() const { return m_hThread.load() != kNoThread; }
    // Waits up to the given milliseconds for the thread to end; true when none runs.
    bool WaitForThreadEnd(uint32_t milliseconds) const;

protected:
    // Derived destructors call this first: the thread must not outlive the object.
    void WaitUntilThreadEnded() const;

    // A number that names the running thread, kNoThread when none runs.
    std::atomic<int64_t> m_hThread{kNoThread};
    bool m_bOwnsHandle = true;

private:
    static void ThreadEntry(SThread* thread, const std::shared_ptr<platform::CManualResetEvent>& ended);

    // Set by the thread as its very last act; shared so it outlives either side.
    std::shared_ptr<platform::CManualResetEvent> m_pEnded;
};
