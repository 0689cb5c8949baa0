#pragma once
// The end of central directory record and the entry headers, read once when the
// archive opens. Offsets in the file are shifted by the bytes before the archive
// (a program stub in front of it, for example).
#include <cstdint>
#include <memory>
#include <vector>

#include "patcharchive/ZipAutoBuffer.h"
#include "patcharchive/ZipFileHeader.h"

class CZipStorage;

class CZipCentralDir {
public:
    static constexpr size_t kEndRecordSize = 22;
    static constexpr uint64_t kMaxCommentSize = 65535;
    // Entry indices are 16-bit.
    static constexpr size_t kMaxEntries = 65535;

    virtual ~CZipCentralDir() = default;

    void Read(CZipStorage& storage);
    void Clear();

    size_t GetCount() const { return m_headers.size(); }
    const CZipFileHeader* GetHeader(size_t index) const {
        return index < m_headers.size() ? m_headers[index].get() : nullptr;
    }

    // End record.
    uint16_t m_uThisDisk = 0;
    uint16_t m_uDiskWithCentralDir = 0;
    uint16_t m_uDiskEntries = 0;
    uint16_t m_uEntriesNumber = 0;
    uint32_t m_uSize = 0;
    uint32_t m_uOffset = 0;
    CZipAutoBuffer m_pszComment;

    uint64_t m_uEndOffset = 0;
    uint64_t m_uBytesBeforeZip = 0;
    std::vector<std::unique_ptr<CZipFileHeader>> m_headers;
    const CZipFileHeader* m_pOpenedFile = nullptr;
    CZipAutoBuffer m_pLocalExtraField;
    bool m_bOnDisk = false;
    bool m_bConvertNames = true;
    size_t m_nSearchBufferSize = 32768;

private:
    uint64_t LocateEndRecord(CZipStorage& storage) const;
    // Raises the refusal of a ZIP64 archive when its locator precedes the end record.
    void RefuseZip64(CZipStorage& storage) const;
    void ReadHeaders(CZipStorage& storage);
};
