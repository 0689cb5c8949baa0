#pragma once
// Where an entry of a patch goes: below the destination folder, never elsewhere.
#include <string>
#include <string_view>

// The entry's name without its drive part ("C:") and without leading '\'.
std::string StripEntryRoot(std::string_view name);
// Why a stripped name must not be written, or an empty text when it may: a ".."
// component or a NUL byte could lead outside the destination or be cut short.
std::string RefuseEntryName(std::string_view relative);
// The destination without trailing separators, one '\', then the stripped name.
std::string BuildTargetPath(std::string_view destination, std::string_view relative);
