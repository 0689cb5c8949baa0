#include "platform/RemovableDrive.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/FileSystem.h"

namespace platform {

bool IsRemovableBlockDevice(unsigned major, unsigned minor, std::string_view sysRoot) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path device = fs::canonical(fs::path(std::string(sysRoot)) / "dev" / "block" /
                                        (std::to_string(major) + ":" + std::to_string(minor)),
                                    error);
    if (error) return false;
    // A partition carries a "partition" file; its disk is the folder above it.
    if (fs::exists(device / "partition", error)) device = device.parent_path();
    std::ifstream flag(device / "removable");
    char value = '0';
    return flag >> value && value == '1';
}

bool IsOnRemovableDrive(std::string_view path) {
    struct stat info {};
    if (stat(ToNativePath(path).c_str(), &info) != 0) return false;
    return IsRemovableBlockDevice(::major(info.st_dev), ::minor(info.st_dev));
}

}  // namespace platform
