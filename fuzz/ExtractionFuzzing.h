#pragma once
// What the archive fuzz targets share: a host that reports nowhere and never
// stops, and a scratch folder that lives as long as the process.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "patcharchive/IExtractionHost.h"

class CQuietHost : public IExtractionHost {
public:
    void SetFileProgressRange(uint64_t, uint64_t) override {}
    void SetFileProgressPos(uint64_t) override {}
    void SetExtractedBytes(uint32_t) override {}
    bool IsStopRequested() override { return false; }
};

// Memory-backed when possible: rewriting a file on disk each run is what would be
// measured otherwise.
inline std::filesystem::path MakeScratchFolder(const std::string& prefix) {
    std::error_code error;
    std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                     ? std::filesystem::path("/dev/shm")
                                     : std::filesystem::temp_directory_path();
    std::string pattern = (base / (prefix + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) std::abort();
    return std::filesystem::path(pattern);
}
