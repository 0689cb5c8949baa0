// CZipArchive::ExtractEntry: one entry of a patch written into the game folder.
#include <cstring>

#include "patcharchive/EntryPath.h"
#include "patcharchive/IExtractionHost.h"
#include "patcharchive/ZipArchive.h"
#include "platform/FileSystem.h"
#include "platform/TargetFolder.h"

namespace {

constexpr uint32_t kChunkSize = 65535;

std::string OsText(int error) { return error ? std::string(": ") + std::strerror(error) : std::string(); }

std::string FolderOf(const std::string& nativePath) {
    size_t slash = nativePath.find_last_of('/');
    return slash == std::string::npos ? std::string() : nativePath.substr(0, slash);
}

const char* DescribeCloseResult(int result) {
    switch (result) {
        case CZipArchive::kEntryShort: return "the entry holds fewer bytes than its header announces";
        case CZipArchive::kEntryAttributesFailed: return "cannot set the file's attributes";
        default: return "cannot set the file's time";
    }
}

}  // namespace

void ExtractionProgress::Reset() {
    written = 0;
    counter = 0;
    failure.clear();
    host.SetExtractedBytes(0);
}

void ExtractionProgress::Advance(uint32_t count) {
    written += count;
    counter += count;
    host.SetExtractedBytes(counter);
    host.SetFileProgressPos(written);
}

bool CZipArchive::ExtractEntry(int index, std::string_view destination, ExtractionProgress& progress) {
    CZipFileHeader header;
    if (!GetEntryInfo(header, index)) {
        progress.failure = "no entry " + std::to_string(index);
        return false;
    }
    if (!progress.target || progress.target->Root() != destination) progress.target.emplace(destination);
    platform::CTargetFolder& target = *progress.target;
    std::string name = header.GetFileName();
    progress.entry = name;
    std::string relative = StripEntryRoot(name);
    // Nothing of an entry is written before its whole route is known to stay inside.
    std::string refusal = header.GetNameProblem();
    if (refusal.empty()) refusal = RefuseEntryName(relative);
    platform::CTargetFolder::Resolved resolved;
    if (refusal.empty()) {
        resolved = target.Resolve(relative);
        if (resolved.crossesLink) refusal = "a symbolic link lies on the way";
    }
    if (!refusal.empty()) {
        progress.failure = "refused entry '" + name + "': " + refusal;
        return false;
    }
    bool folderName = relative.empty() || relative.back() == '\\';
    if (header.IsDirectory() || (folderName && header.m_uUncomprSize == 0)) {
        target.MakeFolders(resolved.native);
        // A read-only folder stays writable, as on the game's platform, where the
        // flag does not keep files from being made in it.
        platform::CTargetFolder::SetAttributes(resolved.native, header.GetAttributes() & ~platform::kAttributeReadOnly);
        return true;
    }
    if (folderName) {
        progress.failure = "entry '" + name + "' has no file name";
        return false;
    }
    if (!OpenEntry(index)) {
        progress.failure = header.IsAesEncrypted() ? "entry '" + name + "': AES encryption is not supported"
                           : header.IsEncrypted() ? "entry '" + name + "' is encrypted"
                                                  : "cannot open entry '" + name + "'";
        return false;
    }
    std::string targetPath = BuildTargetPath(destination, relative);
    platform::COutputFile file;
    if (!target.MakeFolders(FolderOf(resolved.native)) || !target.CreateFile(file, resolved.native)) {
        progress.failure = "cannot create " + targetPath + OsText(file.LastError());
        CloseEntry({}, true);
        return false;
    }
    CZipAutoBuffer chunk(kChunkSize);
    uint32_t count = 0;
    do {
        count = ReadEntry(chunk.Data(), kChunkSize);
        if (count && !file.Write(chunk.Data(), count)) {
            progress.failure = "cannot write " + targetPath + OsText(file.LastError());
            CloseEntry({}, true);
            return false;
        }
        if (progress.host.IsStopRequested()) {
            file.Close();
            FinishEntry(resolved.native, false, true);
            return true;
        }
        progress.Advance(count);
    } while (count == kChunkSize);
    if (!file.Close()) {
        progress.failure = "cannot write " + targetPath + OsText(file.LastError());
        CloseEntry({}, true);
        return false;
    }
    int result = FinishEntry(resolved.native, false, true);
    if (result != kEntryComplete) progress.failure = "entry '" + name + "': " + DescribeCloseResult(result);
    return result == kEntryComplete;
}
