#include "tests/patcharchive/ZipFixture.h"

#include <filesystem>

#include "tests/support/TempFolder.h"

namespace ziptest {

bool RunPython(const std::string& script, const std::string& arguments) {
    testsupport::CTempFolder folder;
    testsupport::WriteFile(folder / "fixture.py", script);
    return testsupport::RunShell("python3 " + folder.Path() + "/fixture.py " + arguments) == 0;
}

std::string Digest(const std::string& content) {
    return std::to_string(content.size()) + ":" + std::to_string(Crc32(content));
}

std::map<std::string, std::string> Tree(const std::string& root) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> tree;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        std::string relative = fs::relative(item.path(), root).string();
        tree[relative] = item.is_directory() ? "/" : Digest(testsupport::ReadFile(item.path().string()));
    }
    return tree;
}

}  // namespace ziptest
