#pragma once
// Ctrl-C for command-line programs: instead of ending the process, the first
// interrupt (or termination request) sets an event that the work polls, so that it
// stops the way the launcher's stop button does. A second one ends the process.
#include "platform/Event.h"

namespace platform {

// Call before any other thread is started; the event must live until the process ends.
void SetEventOnInterrupt(CManualResetEvent& event);

}  // namespace platform
