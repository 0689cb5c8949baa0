#pragma once
// Starting the write-back of a file's range without waiting for it, so that a
// later flush of a long copy finds most of the bytes already on their way.
#include <cstdint>

#include "platform/File.h"

namespace platform {

// Asks the system to begin writing the range to disk (a length of 0: to the end
// of the file); returns at once. A hint only: durability still needs CFile::Sync.
bool StartWriteback(const CFile& file, uint64_t offset, uint64_t length);

}  // namespace platform
