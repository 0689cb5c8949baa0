#include "tools/publish/PackWriter.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "pack/PackName.h"
#include "pack/PackUpdater.h"
#include "pack/QuietPackHost.h"
#include "platform/CodePage.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

namespace fs = std::filesystem;

namespace {

struct SourceFile {
    fs::path disk;
    std::string packPath;  // GBK components joined by '\'
    std::string name;      // the last of them
};

bool AppendFile(const std::string& source, platform::CFile& data, uint64_t& size) {
    platform::CFile in;
    if (!in.Open(source, platform::CFile::Mode::Read)) return false;
    std::vector<char> buffer(1 << 16);
    size = 0;
    while (size_t n = in.Read(buffer.data(), buffer.size())) {
        if (!data.Write(buffer.data(), n)) return false;
        size += n;
        if (n < buffer.size()) break;
    }
    return data.Write("", 1);
}

// The pack path of a file below the source: every component in GBK, the game's
// code page. False with `error` naming the file when a component has no GBK form.
bool ToPackPath(const fs::path& relative, SourceFile& file, std::string& error) {
    for (const fs::path& component : relative) {
        std::string name = component.string();
        std::optional<std::string> gbk = platform::Utf8ToGbk(name);
        if (!gbk) {
            error = relative.string() + ": " +
                    (platform::IsValidUtf8(name) ? "GBK, the game's code page, cannot hold this name"
                                                 : "the name is not UTF-8");
            return false;
        }
        if (!pack::IsPathComponent(*gbk)) {
            error = relative.string() + ": a pack name cannot hold '\\' or control characters";
            return false;
        }
        if (gbk->size() >= kPackNameMax) {
            error = relative.string() + ": '" + name + "' is longer than " + std::to_string(kPackNameMax - 1) +
                    " bytes in GBK";
            return false;
        }
        file.packPath += file.packPath.empty() ? *gbk : "\\" + *gbk;
        file.name = std::move(*gbk);
    }
    return true;
}

// A link is followed when it leads to a regular file inside the source; anything
// else would pack bytes from elsewhere or nothing at all, so it is refused.
bool CheckLink(const fs::path& link, const fs::path& root, std::vector<std::string>& notes, std::string& error) {
    std::error_code failed;
    fs::path target = fs::canonical(link, failed);
    std::string shown = link.lexically_relative(root).string();
    if (failed) {
        error = shown + ": a symbolic link that leads nowhere";
        return false;
    }
    fs::path inside = target.lexically_relative(root);
    if (inside.empty() || *inside.begin() == "..") {
        error = shown + ": a symbolic link to " + target.string() + ", outside the source folder";
        return false;
    }
    if (!fs::is_regular_file(target, failed)) {
        error = shown + ": a symbolic link to something other than a file (" + inside.string() + ")";
        return false;
    }
    notes.push_back("followed the link " + shown + " to " + inside.string());
    return true;
}

// Every file below the source with its pack path, in name order; nothing is
// written before all of them are known to fit.
bool ListSourceFiles(const std::string& sourceFolder, std::vector<SourceFile>& files, std::vector<std::string>& notes,
                     std::string& error) {
    std::error_code failed;
    fs::path root = fs::canonical(sourceFolder, failed);
    for (auto it = fs::recursive_directory_iterator(root, failed); !failed && it != fs::recursive_directory_iterator();
         it.increment(failed)) {
        fs::file_status status = it->symlink_status(failed);
        if (failed || fs::is_directory(status)) continue;
        if (fs::is_symlink(status)) {
            if (!CheckLink(it->path(), root, notes, error)) return false;
        } else if (!fs::is_regular_file(status)) {
            error = it->path().lexically_relative(root).string() + ": neither a file nor a folder";
            return false;
        }
        SourceFile file{it->path(), {}, {}};
        if (!ToPackPath(it->path().lexically_relative(root), file, error)) return false;
        files.push_back(std::move(file));
    }
    if (failed) {
        error = "cannot read " + sourceFolder + ": " + failed.message();
        return false;
    }
    std::sort(files.begin(), files.end(), [](const SourceFile& a, const SourceFile& b) { return a.disk < b.disk; });
    return true;
}

}  // namespace

PackWriteResult WritePackFromFolder(const std::string& sourceFolder, const std::string& gameFolder, uint32_t stamp) {
    PackWriteResult result;
    std::vector<SourceFile> files;
    if (!ListSourceFiles(sourceFolder, files, result.notes, result.error)) return result;
    platform::CFile data;
    if (!data.Open(gameFolder + "/data.vaf", platform::CFile::Mode::Create)) {
        result.error = "cannot write " + gameFolder + "/data.vaf";
        return result;
    }
    CQuietPackHost host;
    CPackUpdater pack(host, gameFolder);
    uint64_t offset = 0;
    for (SourceFile& file : files) {
        PackFileEntry entry;
        entry.Name = std::move(file.name);
        uint64_t size = 0;
        if (!AppendFile(file.disk.string(), data, size) || size > UINT32_MAX) {
            result.error = "cannot pack " + file.disk.string();
            return result;
        }
        entry.Offset = offset;
        entry.Size = static_cast<uint32_t>(size);
        offset += RegionLength(entry);
        pack.InsertPath(file.packPath, entry);
    }
    std::array<char, kHeaderBlockSize> block{};
    std::string header = pack.BuildGameHeader(stamp, static_cast<uint32_t>(files.size()), block);
    if (!data.Sync() || !data.Close() || !platform::WriteFileAtomically(gameFolder + "/data.vah", header)) {
        result.error = "cannot write the pack in " + gameFolder;
        return result;
    }
    result.files = files.size();
    result.ok = true;
    return result;
}
