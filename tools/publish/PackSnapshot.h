#pragma once
// A game pack read for comparison: every file with its path, in tree order, and
// the header fields an update pack carries on.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "pack/PackFileEntry.h"
#include "pack/PackUpdater.h"

struct PackSnapshotFile {
    std::string path;  // components joined by '\'
    PackFileEntry entry;
};

struct PackSnapshot {
    bool present = false;
    uint32_t stamp = 0;
    std::array<char, kHeaderBlockSize> headerBlock{};
    std::vector<PackSnapshotFile> files;
    std::string dataFile;  // native path of data.vaf
};

// Reads `folder`'s data.vah; `present` stays false when there is no pack, and
// `error` is set when there is one that cannot be read.
PackSnapshot ReadPackSnapshot(const std::string& folder, std::string& error);
