#pragma once
// What an entry's stored name says, as a UTF-8 name with '\' separators. The
// archive decides the code page, never the bytes' look: general-purpose bit 11
// means UTF-8; otherwise a Unicode path extra block (0x7075, version 1) whose
// CRC-32 matches the stored name gives the UTF-8 name; otherwise the name is GBK,
// as Simplified-Chinese tools store it.
#include <string>
#include <string_view>

struct ZipEntryName {
    std::string name;
    // Why the stored bytes are not what the archive says they are; `name` then shows
    // them for a person (bytes that could not be read as \xHH) and must not be used.
    std::string problem;
};

// `markedUtf8`: the entry's general-purpose bit 11.
ZipEntryName DecodeZipEntryName(bool markedUtf8, std::string_view stored, std::string_view extraField);
