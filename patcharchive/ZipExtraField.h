#pragma once
// The extra field of a local or central header: a list of blocks, each an id, a
// size and that many bytes. The reader looks for a few of them by id.
#include <cstdint>
#include <ctime>
#include <optional>
#include <string_view>

constexpr uint16_t kExtraZip64 = 0x0001;
constexpr uint16_t kExtraNtfs = 0x000A;
constexpr uint16_t kExtraExtendedTimestamp = 0x5455;
constexpr uint16_t kExtraUnicodePath = 0x7075;
constexpr uint16_t kExtraAes = 0x9901;

// The data of the first block with this id; none when the field holds no such
// block or its blocks run past the end of the field.
std::optional<std::string_view> FindExtraBlock(std::string_view extra, uint16_t id);

// The modification time, in UTC, that an extended-timestamp block or an NTFS
// block of the field records; none when the field records none.
std::optional<std::time_t> ExtraModificationTime(std::string_view extra);
