#include "engine/SThread.h"

#include "platform/Event.h"
#include "platform/Thread.h"

namespace {

std::atomic<int64_t> g_nextThreadNumber{1};

}  // namespace

SThread::SThread() : m_pEnded(std::make_shared<platform::CManualResetEvent>()) {
    m_pEnded->Set();
}

SThread::~SThread() = default;

bool SThread::Start() {
    int64_t none = kNoThread;
    int64_t number = g_nextThreadNumber.fetch_add(1);
    // Claimed before the thread exists, so a second Start can never slip in.
    if (!m_hThread.compare_exchange_strong(none, number)) return false;
    auto ended = std::make_shared<platform::CManualResetEvent>();
    m_pEnded = ended;
    if (!platform::StartThread([this, ended] { ThreadEntry(this, ended); })) {
        m_hThread = kNoThread;
        ended->Set();
        return false;
    }
    m_bOwnsHandle = false;
    return true;
}

void SThread::ThreadEntry(SThread* thread, const std::shared_ptr<platform::CManualResetEvent>& ended) {
    if (thread) {
        thread->Run();
        thread->m_hThread = kNoThread;
    }
    ended->Set();
}

bool SThread::WaitForThreadEnd(uint32_t milliseconds) const {
    std::shared_ptr<platform::CManualResetEvent> ended = m_pEnded;
    return ended->Wait(milliseconds) || !IsThreadRunning();
}

void SThread::WaitUntilThreadEnded() const {
    while (!WaitForThreadEnd(1000)) {
    }
}
