#pragma once
// One file record of a pack header; the same record stands for a free region of the
// data file in the rest space list.
#include <cstdint>
#include <string>

// A name occupies at most this many bytes in a header, its terminating zero included.
constexpr uint32_t kPackNameMax = 256;

struct PackFileEntry {
    std::string Name;  // a bare name, never longer than kPackNameMax - 1 bytes
    uint64_t Offset = 0;
    uint32_t Size = 0;
    uint32_t Extra = 0;  // carried with the record, never interpreted
};

// A record owns its Size bytes plus the zero byte that follows them in the data file.
inline uint64_t RegionLength(const PackFileEntry& entry) { return uint64_t{entry.Size} + 1; }
