#include "tools/publish/PatchBuilder.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <unordered_map>

#include "pack/PackName.h"
#include "platform/CodePage.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/ProfileFile.h"
#include "tools/publish/PackSnapshot.h"

#include "pack/QuietPackHost.h"
#include "tools/publish/ZipWriter.h"

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = pack::FoldAsciiCase(c);
    return text;
}

std::time_t ModifiedTime(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_mtime : std::time(nullptr);
}

bool SameFileBytes(const std::string& a, const std::string& b) {
    platform::CFile left, right;
    if (!left.Open(a, platform::CFile::Mode::Read) || !right.Open(b, platform::CFile::Mode::Read)) return false;
    if (left.Size() != right.Size()) return false;
    std::vector<char> x(1 << 16), y(1 << 16);
    while (true) {
        size_t n = left.Read(x.data(), x.size());
        if (right.Read(y.data(), y.size()) != n || !std::equal(x.begin(), x.begin() + static_cast<long>(n), y.begin()))
            return false;
        if (n < x.size()) return true;
    }
}

bool SameRegionBytes(platform::CFile& oldData, const PackFileEntry& oldEntry, platform::CFile& newData,
                     const PackFileEntry& newEntry) {
    if (oldEntry.Size != newEntry.Size) return false;
    if (!oldData.Seek(oldEntry.Offset) || !newData.Seek(newEntry.Offset)) return false;
    std::vector<char> x(1 << 16), y(1 << 16);
    uint64_t left = oldEntry.Size;
    while (left > 0) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(left, x.size()));
        if (oldData.Read(x.data(), n) != n || newData.Read(y.data(), n) != n) return false;
        if (!std::equal(x.begin(), x.begin() + static_cast<long>(n), y.begin())) return false;
        left -= n;
    }
    return true;
}

// Copies one pack file's bytes from the new data file to the end of update.vaf,
// followed by the zero byte every region ends with.
bool CopyRegion(platform::CFile& from, const PackFileEntry& entry, platform::CFile& to) {
    if (!from.Seek(entry.Offset)) return false;
    std::vector<char> buffer(1 << 16);
    uint64_t left = entry.Size;
    while (left > 0) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
        if (from.Read(buffer.data(), n) != n || !to.Write(buffer.data(), n)) return false;
        left -= n;
    }
    return to.Write("", 1);
}


struct PackDiff {
    std::vector<const PackSnapshotFile*> changed;
    std::vector<std::string> removed;
};

PackDiff ComparePacks(const PackSnapshot& oldPack, const PackSnapshot& newPack, std::string& error) {
    PackDiff diff;
    std::unordered_map<std::string, const PackSnapshotFile*> oldByPath, newByPath;
    for (const PackSnapshotFile& file : oldPack.files) oldByPath.try_emplace(Lower(file.path), &file);
    for (const PackSnapshotFile& file : newPack.files) newByPath.try_emplace(Lower(file.path), &file);
    platform::CFile oldData, newData;
    if (!newData.Open(newPack.dataFile, platform::CFile::Mode::Read) ||
        (oldPack.present && !oldData.Open(oldPack.dataFile, platform::CFile::Mode::Read))) {
        error = "a data.vaf cannot be opened";
        return diff;
    }
    for (const PackSnapshotFile& file : newPack.files) {
        auto old = oldByPath.find(Lower(file.path));
        if (old == oldByPath.end() || !SameRegionBytes(oldData, old->second->entry, newData, file.entry)) {
            diff.changed.push_back(&file);
        }
    }
    for (const PackSnapshotFile& file : oldPack.files) {
        if (!newByPath.count(Lower(file.path))) diff.removed.push_back(file.path);
    }
    return diff;
}

// Writes update.vah/update.vaf for the changed entries into `staging`.
bool WriteUpdatePack(const PackSnapshot& newPack, const PackDiff& diff, const std::string& staging,
                     std::string& error) {
    platform::CFile from, to;
    if (!from.Open(newPack.dataFile, platform::CFile::Mode::Read) ||
        !to.Open(staging + "/update.vaf", platform::CFile::Mode::Create)) {
        error = "cannot write the update pack";
        return false;
    }
    CQuietPackHost host;
    CPackUpdater update(host, staging);
    uint64_t offset = 0;
    for (const PackSnapshotFile* file : diff.changed) {
        if (!CopyRegion(from, file->entry, to)) {
            error = "cannot copy " + platform::GbkToUtf8(file->path) + " into the update pack";
            return false;
        }
        PackFileEntry entry = file->entry;
        entry.Offset = offset;
        offset += RegionLength(entry);
        update.InsertPath(file->path, entry);
    }
    std::string header =
        update.BuildGameHeader(newPack.stamp, static_cast<uint32_t>(diff.changed.size()), newPack.headerBlock);
    if (!to.Close() || !platform::WriteFileAtomically(staging + "/update.vah", header)) {
        error = "cannot write the update pack";
        return false;
    }
    return true;
}

std::vector<std::string> ChangedLooseFiles(const PatchBuildRequest& request, PatchBuildResult& result) {
    std::vector<std::string> changed;
    std::error_code ignored;
    for (auto it = fs::recursive_directory_iterator(request.newFolder, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored)) {
        if (!it->is_regular_file(ignored) || it->is_symlink(ignored)) continue;
        std::string relative = fs::relative(it->path(), request.newFolder, ignored).generic_string();
        if (IsLauncherOwnedFile(relative)) continue;
        std::string old = platform::ToNativePath(request.oldFolder + "/" + relative);
        if (platform::RegularFileExists(old) && SameFileBytes(old, it->path().string())) continue;
        // The archive marks its names as UTF-8, and the game can only reach a file
        // whose name its code page can hold.
        if (!platform::Utf8ToGbk(relative)) {
            result.error = "loose file " + relative + ": " +
                           (platform::IsValidUtf8(relative) ? "GBK, the game's code page, cannot hold its name"
                                                            : "its name is not UTF-8");
            return {};
        }
        changed.push_back(relative);
    }
    for (auto it = fs::recursive_directory_iterator(request.oldFolder, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored)) {
        if (!it->is_regular_file(ignored)) continue;
        std::string relative = fs::relative(it->path(), request.oldFolder, ignored).generic_string();
        if (!IsLauncherOwnedFile(relative) && !platform::RegularFileExists(request.newFolder + "/" + relative)) {
            result.warnings.push_back("loose file " + relative + " is gone from the new folder; patches never remove loose files");
        }
    }
    std::sort(changed.begin(), changed.end());
    return changed;
}

}  // namespace

bool IsLauncherOwnedFile(const std::string& relativePath) {
    static const char* const kOwned[] = {"version.ini",  "updater.uif",     "updateversion.ini", "updateversion-qrx-.ini",
                                         "new_updater.exe", "velmor-launcher", "velmor",             "data.vah",
                                         "data.vaf",     "update.vah",      "update.vaf",        "update.log",
                                         "delete.lst"};
    if (relativePath.find('/') != std::string::npos) return false;
    std::string name = Lower(relativePath);
    return std::any_of(std::begin(kOwned), std::end(kOwned), [&](const char* owned) { return name == owned; });
}

PatchBuildResult BuildPatch(const PatchBuildRequest& request) {
    PatchBuildResult result;
    if (!platform::FolderExists(request.oldFolder) || !platform::FolderExists(request.newFolder)) {
        result.error = "--old and --new must name existing folders";
        return result;
    }
    PackSnapshot oldPack = ReadPackSnapshot(request.oldFolder, result.error);
    PackSnapshot newPack = ReadPackSnapshot(request.newFolder, result.error);
    if (!result.error.empty()) return result;

    std::string staging = (fs::temp_directory_path() / "velmor-mkpatch-XXXXXX").string();
    if (!mkdtemp(staging.data())) {
        result.error = "cannot create a staging folder";
        return result;
    }
    struct Cleanup {
        std::string path;
        ~Cleanup() {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    } cleanup{staging};

    PackDiff diff;
    if (newPack.present) {
        diff = ComparePacks(oldPack, newPack, result.error);
        if (!result.error.empty()) return result;
        if (!diff.changed.empty() && !WriteUpdatePack(newPack, diff, staging, result.error)) return result;
    } else if (oldPack.present) {
        result.warnings.push_back("the new folder has no data.vah: the pack is left as it is");
    }
    result.looseFiles = ChangedLooseFiles(request, result);
    if (!result.error.empty()) return result;

    char name[32];
    std::snprintf(name, sizeof name, "pv%.4u.patch", request.number);
    std::string folder = request.outRoot + "/velmor/patch";
    std::error_code createError;
    fs::create_directories(folder, createError);
    result.archivePath = folder + "/" + name;
    std::string partial = result.archivePath + ".partial";

    CZipWriter zip;
    bool ok = zip.Create(partial);
    for (const std::string& relative : result.looseFiles) {
        std::string source = request.newFolder + "/" + relative;
        ok = ok && zip.AddFileFromDisk(relative, source, ModifiedTime(source));
    }
    if (!diff.changed.empty()) {
        ok = ok && zip.AddFileFromDisk("update.vah", staging + "/update.vah", std::time(nullptr)) &&
             zip.AddFileFromDisk("update.vaf", staging + "/update.vaf", std::time(nullptr));
    }
    if (!diff.removed.empty()) {
        std::string list;
        for (const std::string& path : diff.removed) list += path + "\r\n";
        ok = ok && zip.AddFile("delete.lst", list, std::time(nullptr));
    }
    ok = ok && zip.Finish() && std::rename(partial.c_str(), result.archivePath.c_str()) == 0;
    if (!ok) {
        std::remove(partial.c_str());
        result.error = "cannot write " + result.archivePath;
        return result;
    }
    platform::SyncFolder(folder);
    result.packFiles = diff.changed.size();
    result.deletedPackFiles = diff.removed.size();
    result.ok = true;
    return result;
}

bool PublishPatchNumber(const std::string& outRoot, uint32_t number, std::string& error) {
    std::string list = outRoot + "/velmor/UpdateVersion.ini";
    bool fresh = !platform::RegularFileExists(list);
    bool ok = true;
    if (fresh) {
        ok = platform::WriteProfileString(list, "Version", "CheckVersion", "2") &&
             platform::WriteProfileString(list, "Version", "UpdaterVersion", "9");
    }
    ok = ok && platform::WriteProfileString(list, "Version", "PatchFileVersion", std::to_string(number));
    if (!ok) error = "cannot write " + list;
    return ok;
}
