#include "platform/InterruptSignal.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

namespace platform {

void SetEventOnInterrupt(CManualResetEvent& event) {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    // Blocked here, the signals reach only the watcher's sigwait (threads inherit the mask).
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([signals, &event] {
        int count = 0;
        for (;;) {
            int received = 0;
            if (sigwait(&signals, &received) != 0) continue;
            if (++count > 1) _exit(128 + received);
            event.Set();
        }
    }).detach();
}

}  // namespace platform
