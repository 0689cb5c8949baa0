#pragma once
// A ZIP archive opened for reading, and the one entry being read from it. Stored
// and deflated entries are delivered with their CRC-32 checked; encrypted entries
// are refused (no password is ever given). Errors are raised as CZipException, or
// CFileError for the file system.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "patcharchive/ZipAutoBuffer.h"
#include "patcharchive/ZipCentralDir.h"
#include "patcharchive/ZipInternalInfo.h"
#include "patcharchive/ZipStorage.h"

struct ExtractionProgress;

class CZipArchive {
public:
    static constexpr uint16_t kMethodStored = 0;
    static constexpr uint16_t kMethodDeflated = 8;
    // Results of CloseEntry.
    static constexpr int kEntryComplete = 1;
    static constexpr int kEntryShort = -1;
    static constexpr int kEntryAttributesFailed = -2;
    static constexpr int kEntryNotClosed = 0;

    CZipArchive();
    virtual ~CZipArchive();
    CZipArchive(const CZipArchive&) = delete;
    CZipArchive& operator=(const CZipArchive&) = delete;

    // Only while closed; values below 1024 become 1024.
    void SetBufferSizes(int writeBuffer, int readBuffer, int searchBuffer);
    void Open(std::string_view path);
    void Close(bool afterError = false);
    bool IsClosed() const { return !m_storage.IsOpen(); }
    const std::string& GetArchivePath() const { return m_storage.GetPath(); }

    int GetEntryCount() const;
    bool IsDirectoryEntry(int index) const;
    bool GetEntryInfo(CZipFileHeader& header, int index) const;

    bool OpenEntry(int index);
    // Delivers up to `size` uncompressed bytes of the open entry.
    uint32_t ReadEntry(void* buffer, uint32_t size);
    // Ends the open entry; with a target path, gives that file the entry's time and
    // attributes. 1 complete, -1 short, -2 attributes failed, 0 no entry or time failed.
    int CloseEntry(std::string_view targetPath = {}, bool afterError = false);

    // Writes one entry below `destination` (the launcher's patch extraction).
    bool ExtractEntry(int index, std::string_view destination, ExtractionProgress& progress);

private:
    enum class ExtractionState { Nothing, Extracting };

    static void* ZlibAlloc(void* opaque, unsigned items, unsigned size);
    static void ZlibFree(void* opaque, void* address);
    void FreeZlibBlocks();
    // CloseEntry for a target given as a program path or as a resolved native one.
    int FinishEntry(std::string_view targetPath, bool afterError, bool nativeTarget);
    void EndEntry();
    void CheckLocalHeader(const CZipFileHeader& header);
    void ReadDataDescriptor(const CZipFileHeader& header);
    uint32_t Inflate(unsigned char* output, uint32_t room, bool drain);
    uint32_t CopyStored(unsigned char* output, uint32_t room);
    bool FillInput();
    [[noreturn]] void ThrowError(int cause, const std::string& description = {}) const;

    CZipStorage m_storage;
    CZipCentralDir m_centralDir;
    CZipInternalInfo m_info;
    ExtractionState m_iFileOpened = ExtractionState::Nothing;
    const CZipFileHeader* m_pOpenedHeader = nullptr;
    bool m_bZlibInitialised = false;
    bool m_bStreamEnded = false;
    uint32_t m_uCrc32 = 0;
    uint32_t m_uComprLeft = 0;
    uint32_t m_uUncomprLeft = 0;
    CZipAutoBuffer m_pszPassword;
    std::vector<void*> m_zlibBlocks;
    bool m_bDetectZlibMemoryLeaks = true;
    size_t m_nWriteBufferSize = 65535;
};
