#pragma once
// Makes a game pack (data.vah/data.vaf) from the files of a folder, for a new
// installation or a test game folder.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct PackWriteResult {
    bool ok = false;
    std::string error;
    size_t files = 0;
    std::vector<std::string> notes;  // the symbolic links that were followed
};

// Every regular file below `sourceFolder` becomes a pack file of the same relative
// path, its names converted to GBK (components joined by '\'); folders and files
// are taken in name order. A symbolic link to a regular file inside the source is
// packed as that file. Nothing is written when a name has no GBK form, or a link
// or special file is met that cannot be packed: `error` then names it.
PackWriteResult WritePackFromFolder(const std::string& sourceFolder, const std::string& gameFolder, uint32_t stamp);
