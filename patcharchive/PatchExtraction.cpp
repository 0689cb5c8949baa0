#include "patcharchive/PatchExtraction.h"

#include <new>

#include "patcharchive/FileError.h"
#include "patcharchive/ZipArchive.h"
#include "patcharchive/ZipException.h"
#include "platform/FileSystemSync.h"

namespace {

constexpr int kWriteBufferSize = 1500000;
constexpr int kReadBufferSize = 16384;
constexpr int kSearchBufferSize = 32768;

int Extract(std::string_view archivePath, std::string_view destination, ExtractionProgress& progress) {
    CZipArchive archive;
    archive.SetBufferSizes(kWriteBufferSize, kReadBufferSize, kSearchBufferSize);
    archive.Open(archivePath);
    uint64_t total = 0;
    CZipFileHeader header;
    for (int index = 0; index < archive.GetEntryCount(); ++index) {
        if (!archive.IsDirectoryEntry(index) && archive.GetEntryInfo(header, index)) total += header.m_uUncomprSize;
    }
    progress.host.SetFileProgressRange(0, total);
    progress.host.SetFileProgressPos(0);
    progress.Reset();
    for (int index = 0; index < archive.GetEntryCount(); ++index) {
        if (!archive.ExtractEntry(index, destination, progress)) return kExtractFailed;
        progress.entry.clear();
        if (progress.host.IsStopRequested()) {
            archive.Close();
            return kExtractStopped;
        }
    }
    archive.Close();
    // The caller records the extraction as done next; what it wrote must be on
    // disk first, or a crash could leave empty game files behind that record.
    if (!platform::SyncFileSystemOf(destination)) {
        progress.failure = "cannot flush the extracted files to disk";
        return kExtractFailed;
    }
    return kExtractDone;
}

std::string NamingTheEntry(const ExtractionProgress& progress, const std::string& reason) {
    return progress.entry.empty() ? reason : "entry '" + progress.entry + "': " + reason;
}

}  // namespace

int ExtractPatchArchive(std::string_view archivePath, std::string_view destination, IExtractionHost& host,
                        std::string* failure) {
    ExtractionProgress progress(host);
    std::string reason;
    try {
        int result = Extract(archivePath, destination, progress);
        if (result != kExtractFailed) return result;
        reason = progress.failure;
    } catch (const CZipException& error) {
        reason = NamingTheEntry(progress, error.what());
    } catch (const CFileError& error) {
        reason = NamingTheEntry(progress, error.what());
    } catch (const std::bad_alloc&) {
        reason = "out of memory";
    }
    if (failure) *failure = reason;
    return kExtractFailed;
}
