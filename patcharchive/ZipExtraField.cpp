#include "patcharchive/ZipExtraField.h"

#include "patcharchive/ZipBytes.h"

namespace {

const unsigned char* Bytes(std::string_view view) { return reinterpret_cast<const unsigned char*>(view.data()); }

// Extended timestamp: a flag byte, then the modification time (seconds since
// 1970, UTC, unsigned as the common readers take it) when flag bit 0 is set.
std::optional<std::time_t> TimestampBlockTime(std::string_view block) {
    if (block.size() < 5 || (Bytes(block)[0] & 0x01) == 0) return std::nullopt;
    return static_cast<std::time_t>(ZipU32(Bytes(block) + 1));
}

// NTFS: 4 reserved bytes, then attributes of a tag and a size; tag 1 holds the
// modification, access and creation times in 100 ns steps since 1601, UTC.
std::optional<std::time_t> NtfsBlockTime(std::string_view block) {
    constexpr uint64_t kTicksPerSecond = 10000000;
    constexpr uint64_t kSecondsFrom1601To1970 = 11644473600;
    for (size_t at = 4; at + 4 <= block.size();) {
        uint16_t tag = ZipU16(Bytes(block) + at);
        uint16_t size = ZipU16(Bytes(block) + at + 2);
        if (at + 4 + size > block.size()) break;
        if (tag == 1 && size >= 8) {
            uint64_t ticks = ZipU64(Bytes(block) + at + 4);
            uint64_t seconds = ticks / kTicksPerSecond;
            // Beyond what an extended timestamp can hold, the block is taken as garbage.
            if (seconds < kSecondsFrom1601To1970 || seconds - kSecondsFrom1601To1970 > UINT32_MAX) {
                return std::nullopt;
            }
            return static_cast<std::time_t>(seconds - kSecondsFrom1601To1970);
        }
        at += 4u + size;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string_view> FindExtraBlock(std::string_view extra, uint16_t id) {
    for (size_t at = 0; at + 4 <= extra.size();) {
        uint16_t blockId = ZipU16(Bytes(extra) + at);
        uint16_t size = ZipU16(Bytes(extra) + at + 2);
        if (at + 4 + size > extra.size()) break;
        if (blockId == id) return extra.substr(at + 4, size);
        at += 4u + size;
    }
    return std::nullopt;
}

std::optional<std::time_t> ExtraModificationTime(std::string_view extra) {
    if (auto block = FindExtraBlock(extra, kExtraExtendedTimestamp)) {
        if (auto time = TimestampBlockTime(*block)) return time;
    }
    if (auto block = FindExtraBlock(extra, kExtraNtfs)) return NtfsBlockTime(*block);
    return std::nullopt;
}
