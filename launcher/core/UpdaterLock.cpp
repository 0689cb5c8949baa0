#include "launcher/core/UpdaterLock.h"

#include "platform/NamedMutex.h"

namespace {

constexpr const char* kMutexName = "Velmor Updater";

}  // namespace

bool TakeUpdaterLock(const std::string& gameFolder) {
    using platform::NamedMutexResult;
    if (platform::CreateNamedMutex(kMutexName) == NamedMutexResult::AlreadyExists) return false;
    return platform::LockFolder(gameFolder) != NamedMutexResult::AlreadyExists;
}
