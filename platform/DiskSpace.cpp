#include "platform/DiskSpace.h"

#include <sys/statvfs.h>

#include "platform/FileSystem.h"

namespace platform {

std::optional<uint64_t> FreeDiskSpace(std::string_view folder) {
    struct statvfs info {};
    if (statvfs(ToNativePath(folder.empty() ? "." : folder).c_str(), &info) != 0) return std::nullopt;
    return static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
}

}  // namespace platform
