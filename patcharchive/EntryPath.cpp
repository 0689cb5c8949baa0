#include "patcharchive/EntryPath.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

std::string StripEntryRoot(std::string_view name) {
    if (name.size() >= 2 && IsAsciiLetter(name[0]) && name[1] == ':') name.remove_prefix(2);
    while (!name.empty() && IsSeparator(name.front())) name.remove_prefix(1);
    return std::string(name);
}

std::string RefuseEntryName(std::string_view relative) {
    if (relative.find('\0') != std::string_view::npos) return "the name holds a NUL byte";
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = start;
        while (end < relative.size() && !IsSeparator(relative[end])) ++end;
        if (relative.substr(start, end - start) == "..") return "the name leads out of the destination folder";
        start = end + 1;
    }
    return {};
}

std::string BuildTargetPath(std::string_view destination, std::string_view relative) {
    while (destination.size() > 1 && IsSeparator(destination.back())) destination.remove_suffix(1);
    std::string target(destination);
    if (target.size() != 1 || !IsSeparator(target[0])) target += '\\';
    target += relative;
    return target;
}
