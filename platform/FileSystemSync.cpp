#include "platform/FileSystemSync.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "platform/FileSystem.h"

namespace platform {

bool SyncFileSystemOf(std::string_view folder) {
    std::string native = ToNativePath(folder.empty() ? std::string_view(".") : folder);
    int descriptor = open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) return false;
    bool ok = syncfs(descriptor) == 0;
    close(descriptor);
    return ok;
}

}  // namespace platform
