#pragma once
// Makes a game pack (data.vah/data.vaf) from the files of a folder, for a new
// installation or a test game folder.
#include <cstddef>
#include <cstdint>
#include <string>

struct PackWriteResult {
    bool ok = false;
    std::string error;
    size_t files = 0;
};

// Every regular file below `sourceFolder` becomes a pack file of the same relative
// path (components joined by '\'); folders and files are taken in name order.
PackWriteResult WritePackFromFolder(const std::string& sourceFolder, const std::string& gameFolder, uint32_t stamp);
