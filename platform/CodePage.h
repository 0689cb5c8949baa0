#pragma once
// Two code pages meet in this program. Its own texts (messages, the window, the
// command line, names on disk) are UTF-8. Every text inside a file of the game
// (pack names, delete.lst lines, updater.uif texts) is GBK, the game's ANSI code
// page. A text is converted only where it crosses from one side to the other, and
// nothing guesses a text's code page from what its bytes look like.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// For texts that say they are UTF-8.
bool IsValidUtf8(std::string_view text);

// Walks GBK text in order: `characters` gets the UTF-8 of each run of GBK
// characters, `stray` each byte that belongs to no GBK character.
void DecodeGbk(std::string_view gbk, const std::function<void(std::string_view utf8)>& characters,
               const std::function<void(unsigned char byte)>& stray);
bool IsGbk(std::string_view text);
// For display: GBK to UTF-8, each byte that is not GBK written as \xHH.
std::string GbkToUtf8(std::string_view gbk);
// Nothing when the text is not UTF-8 or holds a character that GBK lacks;
// `failedAt`, when given, is then set to the offset of the first such character.
std::optional<std::string> Utf8ToGbk(std::string_view utf8, size_t* failedAt = nullptr);

// Position of the next `ch` (an ASCII byte) at or after `from` in GBK text. A lead
// byte (0x81 to 0xFE) takes the byte after it along, so the trail byte of a
// double-byte character (0x5C among them) is never taken for `ch`.
size_t FindCharacter(std::string_view text, size_t from, char ch);

}  // namespace platform
