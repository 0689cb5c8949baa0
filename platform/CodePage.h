#pragma once
// The program's 8-bit texts are UTF-8. Texts that are not valid UTF-8 come from
// Simplified-Chinese tools and are taken as GBK.
#include <string>
#include <string_view>

namespace platform {

bool IsValidUtf8(std::string_view text);
// GBK bytes to UTF-8; undecodable bytes become '?'.
std::string GbkToUtf8(std::string_view text);
// Position of the next `ch` (an ASCII byte) at or after `from`, scanning by
// characters, so that the trail byte of a GBK character is never taken for it.
size_t FindCharacter(std::string_view text, size_t from, char ch);

}  // namespace platform
