#include "patcharchive/ZipEntryName.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <optional>

#include "patcharchive/ZipBytes.h"
#include "patcharchive/ZipExtraField.h"
#include "platform/CodePage.h"

namespace {

// The name of a Unicode path block (version 1) that was written for exactly these
// stored bytes; a block for other bytes (the name was changed by a tool that knew
// nothing of it) or with a damaged name is not taken.
std::optional<std::string> UnicodePathFromExtra(std::string_view stored, std::string_view extra) {
    std::optional<std::string_view> block = FindExtraBlock(extra, kExtraUnicodePath);
    if (!block || block->size() < 5 || block->front() != 1) return std::nullopt;
    uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(stored.data()), static_cast<uInt>(stored.size()));
    std::string_view name = block->substr(5);
    if (ZipU32(reinterpret_cast<const unsigned char*>(block->data()) + 1) != crc || !platform::IsValidUtf8(name)) {
        return std::nullopt;
    }
    return std::string(name);
}

std::string EscapeNonAscii(std::string_view text) {
    std::string shown;
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            shown += c;
            continue;
        }
        char escape[5];
        std::snprintf(escape, sizeof escape, "\\x%02X", byte);
        shown += escape;
    }
    return shown;
}

ZipEntryName Decode(bool markedUtf8, std::string_view stored, std::string_view extra) {
    if (markedUtf8) {
        if (platform::IsValidUtf8(stored)) return {std::string(stored), {}};
        return {EscapeNonAscii(stored), "the archive marks the name as UTF-8, but it is not"};
    }
    if (std::optional<std::string> unicode = UnicodePathFromExtra(stored, extra)) return {std::move(*unicode), {}};
    if (platform::IsGbk(stored)) return {platform::GbkToUtf8(stored), {}};
    return {platform::GbkToUtf8(stored), "the name is neither marked as UTF-8 nor GBK"};
}

}  // namespace

ZipEntryName DecodeZipEntryName(bool markedUtf8, std::string_view stored, std::string_view extraField) {
    ZipEntryName result = Decode(markedUtf8, stored, extraField);
    // Decoded first, so that a GBK trail byte 0x5C is never taken for a separator.
    if (result.problem.empty()) std::replace(result.name.begin(), result.name.end(), '/', '\\');
    return result;
}
