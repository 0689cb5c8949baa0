#include "patcharchive/ZipCentralDir.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "patcharchive/ZipBytes.h"
#include "patcharchive/ZipException.h"
#include "patcharchive/ZipStorage.h"

namespace {

// Blocks overlap by this much so that a signature cut by a block edge is found.
constexpr uint64_t kSignatureOverlap = 3;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kZip64EndRecordSize = 56;

// How many whole central headers the bytes begin with.
size_t CountCentralHeaders(std::string_view bytes) {
    size_t count = 0;
    for (CZipFileHeader header; header.ReadCentral(bytes);) ++count;
    return count;
}

}  // namespace

uint64_t CZipCentralDir::LocateEndRecord(CZipStorage& storage) const {
    uint64_t length = storage.GetLength();
    uint64_t regionStart = length - std::min<uint64_t>(length, kEndRecordSize + kMaxCommentSize);
    std::vector<unsigned char> block(std::max<size_t>(m_nSearchBufferSize, 1024));
    uint64_t blockEnd = length;
    while (blockEnd > regionStart) {
        uint64_t blockStart = blockEnd - std::min<uint64_t>(blockEnd - regionStart, block.size());
        size_t size = static_cast<size_t>(blockEnd - blockStart);
        storage.Seek(blockStart);
        storage.ReadExact(block.data(), size);
        for (size_t at = size >= 4 ? size - 4 + 1 : 0; at-- > 0;) {
            if (ZipSignature(block.data() + at, 5, 6)) return blockStart + at;
        }
        if (blockStart == regionStart) break;
        blockEnd = blockStart + kSignatureOverlap;
    }
    ThrowZipError(CZipException::CentralDirNotFound, storage.GetPath());
}

void CZipCentralDir::RefuseZip64(CZipStorage& storage) const {
    if (m_uEndOffset < kZip64LocatorSize) return;
    unsigned char locator[kZip64LocatorSize];
    storage.Seek(m_uEndOffset - kZip64LocatorSize);
    storage.ReadExact(locator, sizeof locator);
    if (!ZipSignature(locator, 6, 7)) return;
    // The ZIP64 end record says whether ZIP64 was needed for the number of entries,
    // which deserves its own words; where it cannot be read, ZIP64 it is all the same.
    unsigned char record[kZip64EndRecordSize];
    uint64_t recordOffset = ZipU64(locator + 8);
    uint64_t locatorOffset = m_uEndOffset - kZip64LocatorSize;
    if (locatorOffset >= sizeof record && recordOffset <= locatorOffset - sizeof record) {
        storage.Seek(recordOffset);
        if (storage.Read(record, sizeof record) == sizeof record && ZipSignature(record, 6, 6) &&
            ZipU64(record + 32) > kMaxEntries) {
            ThrowZipError(CZipException::TooManyEntries, storage.GetPath());
        }
    }
    ThrowZipError(CZipException::Zip64Unsupported, storage.GetPath());
}

void CZipCentralDir::Read(CZipStorage& storage) {
    Clear();
    m_uEndOffset = LocateEndRecord(storage);
    RefuseZip64(storage);
    unsigned char record[kEndRecordSize];
    storage.Seek(m_uEndOffset);
    storage.ReadExact(record, sizeof record);
    m_uThisDisk = ZipU16(record + 4);
    m_uDiskWithCentralDir = ZipU16(record + 6);
    m_uDiskEntries = ZipU16(record + 8);
    m_uEntriesNumber = ZipU16(record + 10);
    m_uSize = ZipU32(record + 12);
    m_uOffset = ZipU32(record + 16);
    uint16_t commentSize = ZipU16(record + 20);

    storage.SettleVolumes(m_uThisDisk);
    uint64_t directoryEnd = static_cast<uint64_t>(m_uOffset) + m_uSize;
    if (!storage.IsSplit() && m_uEndOffset < directoryEnd) storage.ThrowDamaged();
    m_pszComment.Allocate(commentSize);
    if (commentSize) storage.ReadExact(m_pszComment.Data(), commentSize);
    m_uBytesBeforeZip = storage.IsSplit() ? 0 : m_uEndOffset - directoryEnd;
    // A size without entries is looked at more closely below: a count that wrapped.
    if (m_uSize == 0 && m_uEntriesNumber != 0) storage.ThrowDamaged();

    m_bOnDisk = true;
    storage.ChangeVolume(m_uDiskWithCentralDir);
    if (m_uSize != 0) ReadHeaders(storage);
}

void CZipCentralDir::ReadHeaders(CZipStorage& storage) {
    storage.Seek(m_uBytesBeforeZip + m_uOffset);
    // The directory is read whole rather than a few bytes per header; in pieces, so
    // that a size that the file does not hold fails before it is all allocated. The
    // headers must lie inside it, which bounds what a hostile archive can claim.
    constexpr uint64_t kPiece = 1 << 20;
    std::string bytes;
    for (uint64_t left = m_uSize; left > 0;) {
        size_t piece = static_cast<size_t>(std::min(left, kPiece));
        size_t used = bytes.size();
        bytes.resize(used + piece);
        storage.ReadExact(bytes.data() + used, piece);
        left -= piece;
    }
    std::string_view rest(bytes);
    m_headers.reserve(m_uEntriesNumber);
    for (uint32_t i = 0; i < m_uEntriesNumber; ++i) {
        auto header = std::make_unique<CZipFileHeader>();
        if (!header->ReadCentral(rest)) storage.ThrowDamaged();
        if (header->UsesZip64()) ThrowZipError(CZipException::Zip64Unsupported, storage.GetPath());
        if (m_bConvertNames) header->ConvertFileName();
        m_headers.push_back(std::move(header));
    }
    // Writers without ZIP64 store the count of more than 65535 entries modulo 65536;
    // the headers behind the count must not be dropped unnoticed.
    if (size_t further = CountCentralHeaders(rest)) {
        bool tooMany = m_uEntriesNumber + further > kMaxEntries;
        ThrowZipError(tooMany ? CZipException::TooManyEntries : CZipException::BadArchive, storage.GetPath());
    }
    if (m_uEntriesNumber == 0) storage.ThrowDamaged();
}

void CZipCentralDir::Clear() {
    m_headers.clear();
    m_pOpenedFile = nullptr;
    m_pLocalExtraField.Release();
    m_pszComment.Release();
    m_bOnDisk = false;
    m_uBytesBeforeZip = 0;
    m_uEndOffset = 0;
}
