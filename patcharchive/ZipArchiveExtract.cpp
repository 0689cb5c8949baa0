// CZipArchive::ExtractEntry: one entry of a patch written into the game folder.
#include <cerrno>
#include <cstring>

#include "patcharchive/EntryPath.h"
#include "patcharchive/ForceFolder.h"
#include "patcharchive/IExtractionHost.h"
#include "patcharchive/ZipArchive.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/SymbolicLink.h"

namespace {

constexpr uint32_t kChunkSize = 65535;

std::string ParentOfTarget(const std::string& target) {
    size_t separator = target.find_last_of("\\/");
    return separator == std::string::npos ? std::string() : target.substr(0, separator);
}

std::string OsText(int error) { return error ? std::string(": ") + std::strerror(error) : std::string(); }

// A read-only file left by an earlier patch is replaced all the same, as a patch
// that ships the file again means to replace it.
bool CreateTarget(platform::CFile& file, const std::string& target) {
    if (file.Open(target, platform::CFile::Mode::Create)) return true;
    if (file.LastError() != EACCES || !platform::RegularFileExists(target)) return false;
    return platform::SetFileAttributes(target, 0) && file.Open(target, platform::CFile::Mode::Create);
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
    std::string name = header.GetFileName();
    std::string relative = StripEntryRoot(name);
    // Nothing of an entry is written before its whole route is known to stay inside.
    std::string refusal = RefuseEntryName(relative);
    if (refusal.empty() && platform::HasSymbolicLinkBelow(destination, relative)) {
        refusal = "a symbolic link lies on the way";
    }
    if (!refusal.empty()) {
        progress.failure = "refused entry '" + name + "': " + refusal;
        return false;
    }
    std::string target = BuildTargetPath(destination, relative);
    bool folderName = relative.empty() || relative.back() == '\\';
    if (header.IsDirectory() || (folderName && header.m_uUncomprSize == 0)) {
        ForceFolder(target);
        // A read-only folder stays writable, as on the game's platform, where the
        // flag does not keep files from being made in it.
        platform::SetFileAttributes(target, header.m_uExternalAttr & ~platform::kAttributeReadOnly);
        return true;
    }
    if (folderName) {
        progress.failure = "entry '" + name + "' has no file name";
        return false;
    }
    if (!OpenEntry(index)) {
        progress.failure = header.IsEncrypted() ? "entry '" + name + "' is encrypted" : "cannot open entry '" + name + "'";
        return false;
    }
    ForceFolder(ParentOfTarget(target));
    platform::CFile file;
    if (!CreateTarget(file, target)) {
        progress.failure = "cannot create " + target + OsText(file.LastError());
        CloseEntry({}, true);
        return false;
    }
    CZipAutoBuffer chunk(kChunkSize);
    uint32_t count = 0;
    do {
        count = ReadEntry(chunk.Data(), kChunkSize);
        if (count && !file.Write(chunk.Data(), count)) {
            progress.failure = "cannot write " + target + OsText(file.LastError());
            CloseEntry({}, true);
            return false;
        }
        if (progress.host.IsStopRequested()) {
            file.Close();
            CloseEntry(target);
            return true;
        }
        progress.Advance(count);
    } while (count == kChunkSize);
    if (!file.Close()) {
        progress.failure = "cannot write " + target + OsText(file.LastError());
        CloseEntry({}, true);
        return false;
    }
    int result = CloseEntry(target);
    if (result != kEntryComplete) progress.failure = "entry '" + name + "': " + DescribeCloseResult(result);
    return result == kEntryComplete;
}
