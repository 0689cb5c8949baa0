#include "tools/publish/PackWriter.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "pack/PackUpdater.h"
#include "pack/QuietPackHost.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

namespace fs = std::filesystem;

namespace {


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

}  // namespace

PackWriteResult WritePackFromFolder(const std::string& sourceFolder, const std::string& gameFolder, uint32_t stamp) {
    PackWriteResult result;
    std::error_code error;
    std::vector<fs::path> files;
    for (auto it = fs::recursive_directory_iterator(sourceFolder, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (it->is_regular_file(error) && !it->is_symlink(error)) files.push_back(it->path());
    }
    if (error) {
        result.error = "cannot read " + sourceFolder;
        return result;
    }
    std::sort(files.begin(), files.end());
    platform::CFile data;
    if (!data.Open(gameFolder + "/data.vaf", platform::CFile::Mode::Create)) {
        result.error = "cannot write " + gameFolder + "/data.vaf";
        return result;
    }
    CQuietPackHost host;
    CPackUpdater pack(host, gameFolder);
    uint64_t offset = 0;
    for (const fs::path& file : files) {
        std::string relative = fs::relative(file, sourceFolder).generic_string();
        std::replace(relative.begin(), relative.end(), '/', '\\');
        PackFileEntry entry;
        entry.Name = file.filename().string();
        uint64_t size = 0;
        if (entry.Name.size() >= kPackNameMax || !AppendFile(file.string(), data, size) || size > UINT32_MAX) {
            result.error = "cannot pack " + file.string();
            return result;
        }
        entry.Offset = offset;
        entry.Size = static_cast<uint32_t>(size);
        offset += RegionLength(entry);
        pack.InsertPath(relative, entry);
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
