#pragma once
#include <functional>

namespace platform {

// Starts a thread that releases its resources when it ends; false when none could
// be created. Whoever needs to see the end records it from inside the body.
bool StartThread(std::function<void()> body);

}  // namespace platform
