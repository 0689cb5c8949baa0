#pragma once
// A named mutex of the user: an exclusive lock on a file named after it in
// $XDG_RUNTIME_DIR, or, without one, in the user's own folder below /tmp, held
// until the process ends. And the lock of a folder itself, for what must have a
// single writer whoever runs it.
#include <optional>
#include <string>

namespace platform {

enum class NamedMutexResult { Created, AlreadyExists, Failed };

// Takes the mutex for the rest of the process's life. Programs that the process
// starts do not inherit it. Failed when no lock folder of the user's own can be
// had, or the lock file is anything but a plain file (a planted link).
NamedMutexResult CreateNamedMutex(const std::string& name);
// Where that lock file lies; nothing when there is no lock folder.
std::optional<std::string> NamedMutexPath(const std::string& name);

// "base/velmor-UID", made mode 0700 when absent; nothing when it is not a real
// folder of this user (a link, or someone else's), so nobody else can hold or
// plant the locks in it.
std::optional<std::string> PrivateFolderBelow(const std::string& base);

// Takes an exclusive lock on the folder itself for the rest of the process's
// life: it holds across users, who each have a named mutex of their own.
NamedMutexResult LockFolder(const std::string& folder);

}  // namespace platform
