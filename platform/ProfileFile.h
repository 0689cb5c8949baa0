#pragma once
// INI ("profile") files with the semantics the version records rely on: names
// compared without regard to case, an empty value equals an absent one, a write
// replaces or adds the key (creating file and section) and never leaves a
// half-written file behind.
#include <string>
#include <string_view>

namespace platform {

// Longest value handed back (a 255-byte buffer with its terminating zero).
constexpr size_t kProfileValueMax = 254;

// The value, or an empty text when the file, section or key is absent.
std::string GetProfileString(std::string_view file, std::string_view section, std::string_view key);
bool WriteProfileString(std::string_view file, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace platform
