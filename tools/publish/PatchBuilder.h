#pragma once
// Builds one numbered patch for the patch host from two installations: the loose
// files that are new or changed, an update pack with the pack entries that are new
// or changed, and delete.lst for the pack entries that are gone.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct PatchBuildResult {
    bool ok = false;
    std::string error;
    std::string archivePath;
    std::vector<std::string> looseFiles;   // relative paths with '/'
    size_t packFiles = 0;                  // entries of the update pack
    size_t deletedPackFiles = 0;           // lines of delete.lst
    std::vector<std::string> warnings;
};

struct PatchBuildRequest {
    std::string oldFolder;
    std::string newFolder;
    uint32_t number = 0;
    std::string outRoot;  // the patch host's document root
};

// Loose files that a patch never carries: the launcher keeps them itself.
bool IsLauncherOwnedFile(const std::string& relativePath);

PatchBuildResult BuildPatch(const PatchBuildRequest& request);

// Writes or updates ROOT/velmor/UpdateVersion.ini so that it publishes `number`.
bool PublishPatchNumber(const std::string& outRoot, uint32_t number, std::string& error);
