#include "platform/FileWriteback.h"

#include <fcntl.h>

namespace platform {

bool StartWriteback(const CFile& file, uint64_t offset, uint64_t length) {
    if (!file.IsOpen()) return false;
    return sync_file_range(file.Descriptor(), static_cast<off_t>(offset), static_cast<off_t>(length),
                           SYNC_FILE_RANGE_WRITE) == 0;
}

}  // namespace platform
