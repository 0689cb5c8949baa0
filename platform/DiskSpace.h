#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

namespace platform {

// Space available to the calling user on the disk that holds the folder.
std::optional<uint64_t> FreeDiskSpace(std::string_view folder);

}  // namespace platform
