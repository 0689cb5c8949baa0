#include "patcharchive/ForceFolder.h"

#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string_view WithoutTrailingSeparators(std::string_view path) {
    while (path.size() > 1 && IsSeparator(path.back())) path.remove_suffix(1);
    return path;
}

// The parent of a path, or the path itself at a root or for a single relative name.
std::string_view Parent(std::string_view path) {
    size_t separator = path.find_last_of("\\/");
    if (separator == std::string_view::npos) return path;
    if (separator == 0) return path.substr(0, 1);
    return WithoutTrailingSeparators(path.substr(0, separator));
}

}  // namespace

bool ForceFolder(std::string_view path) {
    path = WithoutTrailingSeparators(path);
    // Walk up to the first folder that exists, then create the missing ones downwards;
    // iterative, so that a name of thousands of components cannot exhaust the stack.
    std::vector<std::string_view> missing;
    std::string_view current = path;
    while (!current.empty() && !platform::FolderExists(current)) {
        missing.push_back(current);
        std::string_view parent = Parent(current);
        if (parent == current) break;
        current = parent;
    }
    for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
        if (!platform::MakeFolder(*folder) && !platform::FolderExists(*folder)) return false;
    }
    return true;
}
