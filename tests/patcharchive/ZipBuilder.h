#pragma once
// Archives built byte by byte, for what no writer produces. Needs nothing but
// zlib, so that the fuzz targets build their archives with it too.
#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ziptest {

struct FixtureEntry {
    std::string name{};
    std::string data{};  // the uncompressed bytes
    uint16_t method = 8;
    uint16_t flag = 0;
    uint16_t versionMadeBy = 20;  // host 0 (DOS), version 2.0
    uint32_t externalAttr = 0;
    bool descriptor = false;  // bit 3: zeros in the local header, a descriptor after the data
    bool descriptorSignature = true;
    // Values that disagree with the data, for damaged archives.
    std::optional<uint32_t> crc{};
    std::optional<uint32_t> compressedSize{};
    std::optional<uint32_t> uncompressedSize{};
    std::optional<std::string> payload{};  // replaces the compressed bytes
    std::optional<uint16_t> localMethod{};
    std::optional<uint16_t> localFlag{};
    std::optional<uint32_t> localCrc{};
    std::optional<uint32_t> descriptorCrc{};
    std::string centralExtra{};
    std::string localExtra{};
};

// zlib's parameters of a raw deflate stream.
struct DeflateOptions {
    int level = 6;
    int windowBits = MAX_WBITS;  // 9 to 15
    int memoryLevel = 8;
    int strategy = Z_DEFAULT_STRATEGY;
};

std::string RawDeflate(const std::string& data, const DeflateOptions& options = {});
// An entry of `size` zero bytes, deflated without holding them all.
FixtureEntry ZeroEntry(const std::string& name, uint64_t size);
uint32_t Crc32(const std::string& data);
// A whole archive: `prefix` before it (a program stub), `comment` after the end record.
std::string BuildArchive(const std::vector<FixtureEntry>& entries, const std::string& comment = {},
                         const std::string& prefix = {});
// Just an end record with the given fields.
std::string EndRecord(uint16_t entries, uint32_t size, uint32_t offset, const std::string& comment,
                      uint16_t disk = 0);

}  // namespace ziptest
