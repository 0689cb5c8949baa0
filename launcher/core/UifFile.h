#pragma once
// The byte format of updater.uif, whose texts are GBK: an optional "UIF" magic with a 32-bit header
// value, the groups with their servers, then the links. With the magic a server
// record is Name (256) + PatchHost (1024) + GameAddress (1024) bytes, without it
// Name + PatchHost (1280 bytes). Integers are 32-bit little-endian, signed; a count
// of 0 or less is an empty list.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "launcher/core/ServerConfig.h"

constexpr size_t kUifNameWidth = 256;
constexpr size_t kUifHostWidth = 1024;
constexpr size_t kUifLinkWidth = 1024;

struct UifContent {
    bool HasMagic = false;
    int32_t HeaderValue = 0;
    std::vector<ServerGroup> Groups;
    std::vector<std::string> Links;
    // Empty for a complete file; otherwise says where the file ended early. What
    // was read completely up to there is kept.
    std::string Truncation;
    // Bytes after the last link, which nothing reads.
    size_t TrailingBytes = 0;
};

// Never reads past the end and never allocates by a count: a count larger than the
// file can hold ends at the end of the file. A text without a terminating zero
// within its field keeps the field's width less one byte, as the fixed in-memory
// fields do. Texts stay the file's GBK bytes; they are converted where they are
// shown or handed on (UifText.h, the window, the start of an update).
UifContent ReadUifFile(std::string_view bytes);

// The file for `content`; false with `error` set when a text does not fit its
// field (with its terminating zero).
bool WriteUifFile(const UifContent& content, std::string& bytes, std::string& error);
