#pragma once
// A system-wide named mutex: an exclusive lock on a file named after it in
// $XDG_RUNTIME_DIR (else /tmp), held until the process ends.
#include <string>

namespace platform {

enum class NamedMutexResult { Created, AlreadyExists, Failed };

// Takes the mutex for the rest of the process's life. Programs that the process
// starts do not inherit it.
NamedMutexResult CreateNamedMutex(const std::string& name);
std::string NamedMutexPath(const std::string& name);

}  // namespace platform
