#pragma once
// Making a whole batch of new files durable at once: one flush of the file system
// that holds a folder, instead of one per file.
#include <string_view>

namespace platform {

// Writes everything of the file system holding `folder` to disk and waits for it;
// false when the folder cannot be opened or the flush reports an error.
bool SyncFileSystemOf(std::string_view folder);

}  // namespace platform
