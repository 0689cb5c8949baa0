#pragma once
// The stand-in for asking whether a path lies on a removable drive: the block
// device that holds it (or the whole disk of that partition) reports itself as
// removable in /sys/block/*/removable, as USB sticks, card readers and optical
// drives do.
#include <string_view>

namespace platform {

bool IsOnRemovableDrive(std::string_view path);
// The same test against another sysfs root (for tests), for a device number.
bool IsRemovableBlockDevice(unsigned major, unsigned minor, std::string_view sysRoot = "/sys");

}  // namespace platform
