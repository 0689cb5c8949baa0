#pragma once
// The invariant of a sound game pack: every live file and every rest space region
// lies inside data.vaf and no two of them share a byte.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "pack/PackUpdater.h"

// Every file of the tree with its path from the root ('\' between components),
// depth first, a folder's files before its subfolders.
void ForEachPackFile(const PackFolder& root, const std::function<void(const std::string&, const PackFileEntry&)>& visit);

// The first conflict, described for a person, or nothing when the pack is sound.
std::optional<std::string> FindPackConflict(const CPackUpdater& pack, uint64_t dataFileSize);
