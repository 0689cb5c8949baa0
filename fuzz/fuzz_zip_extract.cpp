// Opens the input as a patch archive and extracts every entry into a fresh
// folder: whatever the bytes, no crash, no leak, nothing outside the folder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/ExtractionFuzzing.h"
#include "patcharchive/PatchExtraction.h"

namespace {

const std::filesystem::path& WorkFolder() {
    static const std::filesystem::path folder = MakeScratchFolder("velmor-fuzz-zip");
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::filesystem::path& work = WorkFolder();
    std::filesystem::path archive = work / "input.zip";
    std::filesystem::path destination = work / "out";
    std::error_code ignored;
    std::filesystem::remove(archive, ignored);
    {
        std::ofstream out(archive, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::filesystem::create_directories(destination);
    CQuietHost host;
    std::string failure;
    ExtractPatchArchive(archive.string(), destination.string(), host, &failure);
    // Everything the extraction made must be inside the destination.
    for (const auto& item : std::filesystem::directory_iterator(work)) {
        if (item.path() != archive && item.path() != destination) std::abort();
    }
    std::filesystem::permissions(destination, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(destination, ignored);
    return 0;
}
