#include "platform/SymbolicLink.h"

#include <sys/stat.h>

#include <string>

#include "platform/FileSystem.h"

namespace platform {

bool HasSymbolicLinkBelow(std::string_view base, std::string_view relative) {
    std::string nativeBase = ToNativePath(base);
    std::string joined(base);
    joined += '\\';
    joined += relative;
    std::string native = ToNativePath(joined);
    // Both resolutions treat the components of `base` alike, so the base is a prefix.
    size_t from = native.compare(0, nativeBase.size(), nativeBase) == 0 ? nativeBase.size() : 0;
    while (from < native.size()) {
        size_t slash = native.find('/', from + 1);
        std::string prefix = native.substr(0, slash);
        struct stat info {};
        if (lstat(prefix.c_str(), &info) != 0) return false;  // the rest is still to be made
        if (S_ISLNK(info.st_mode)) return true;
        if (slash == std::string::npos) break;
        from = slash;
    }
    return false;
}

}  // namespace platform
