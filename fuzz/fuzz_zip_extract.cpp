// Opens the input as a patch archive and extracts every entry into a fresh
// folder: whatever the bytes, no crash, no leak, nothing outside the folder.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "patcharchive/PatchExtraction.h"

namespace {

class CQuietHost : public IExtractionHost {
public:
    void SetFileProgressRange(uint64_t, uint64_t) override {}
    void SetFileProgressPos(uint64_t) override {}
    void SetExtractedBytes(uint32_t) override {}
    bool IsStopRequested() override { return false; }
};

const std::filesystem::path& WorkFolder() {
    static const std::filesystem::path folder = [] {
        // Memory-backed when possible: rewriting a file on disk each run is what would
        // be measured otherwise.
        std::error_code error;
        std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
        std::string pattern = (base / "velmor-fuzz-zip-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        return std::filesystem::path(pattern);
    }();
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
