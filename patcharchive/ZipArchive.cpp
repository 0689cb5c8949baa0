#include "patcharchive/ZipArchive.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "patcharchive/ZipBytes.h"
#include "patcharchive/ZipException.h"
#include "patcharchive/ZipExtraField.h"
#include "platform/FileSystem.h"
#include "platform/TargetFolder.h"

namespace {

// The zlib version the stream is set up for; zlib accepts any 1.x caller.
constexpr char kZlibVersion[] = "1.1.3";

}  // namespace

CZipArchive::CZipArchive() = default;

CZipArchive::~CZipArchive() {
    try {
        Close(true);
    } catch (...) {
        // Closing after an error reads nothing that could fail; nothing may escape here.
    }
    FreeZlibBlocks();
}

void CZipArchive::SetBufferSizes(int writeBuffer, int readBuffer, int searchBuffer) {
    if (!IsClosed()) return;
    m_nWriteBufferSize = static_cast<size_t>(std::max(writeBuffer, 1024));
    m_info.m_nBufferSize = static_cast<size_t>(std::max(readBuffer, 1024));
    m_centralDir.m_nSearchBufferSize = static_cast<size_t>(std::max(searchBuffer, 1024));
}

void CZipArchive::Open(std::string_view path) {
    Close(true);
    m_storage.Open(path, m_nWriteBufferSize);
    m_pszPassword.Release();
    m_iFileOpened = ExtractionState::Nothing;
    try {
        m_centralDir.Read(m_storage);
    } catch (...) {
        Close(true);
        throw;
    }
}

void CZipArchive::Close(bool afterError) {
    if (IsClosed()) return;
    if (m_iFileOpened == ExtractionState::Extracting) CloseEntry({}, afterError);
    m_centralDir.Clear();
    m_storage.Close();
    m_info.ReleaseBuffer();
    FreeZlibBlocks();
}

int CZipArchive::GetEntryCount() const { return IsClosed() ? 0 : static_cast<int>(m_centralDir.GetCount()); }

bool CZipArchive::IsDirectoryEntry(int index) const {
    const CZipFileHeader* header = IsClosed() || index < 0 ? nullptr : m_centralDir.GetHeader(static_cast<size_t>(index));
    return header && header->IsDirectory();
}

bool CZipArchive::GetEntryInfo(CZipFileHeader& header, int index) const {
    const CZipFileHeader* found = IsClosed() || index < 0 ? nullptr : m_centralDir.GetHeader(static_cast<size_t>(index));
    if (!found) return false;
    header = *found;
    return true;
}

void CZipArchive::CheckLocalHeader(const CZipFileHeader& header) {
    unsigned char local[CZipFileHeader::kLocalSize];
    m_storage.ReadExact(local, sizeof local);
    m_storage.Skip(header.m_uFileNameSize);
    uint16_t extraSize = ZipU16(local + 28);
    m_centralDir.m_pLocalExtraField.Allocate(extraSize);
    if (extraSize) m_storage.ReadExact(m_centralDir.m_pLocalExtraField.Data(), extraSize);

    uint16_t flag = ZipU16(local + 6);
    bool same = ZipSignature(local, 3, 4) &&
                ((flag ^ header.m_uFlag) & CZipFileHeader::kFlagsThatMustAgree) == 0 &&
                ZipU16(local + 8) == header.m_uMethod && ZipU16(local + 26) == header.m_uFileNameSize;
    if (!same) ThrowError(CZipException::BadArchive);
    // A ZIP64 block here moves the sizes into it, and those of a data descriptor
    // become 8 bytes each.
    bool zip64 = FindExtraBlock(m_centralDir.m_pLocalExtraField.View(), kExtraZip64).has_value();
    if (zip64 && (header.HasDataDescriptor() || ZipU32(local + 18) == UINT32_MAX || ZipU32(local + 22) == UINT32_MAX)) {
        ThrowError(CZipException::Zip64Unsupported);
    }
    if (!header.HasDataDescriptor() &&
        (ZipU32(local + 14) != header.m_uCrc32 || ZipU32(local + 18) != header.m_uComprSize ||
         ZipU32(local + 22) != header.m_uUncomprSize)) {
        ThrowError(CZipException::BadArchive);
    }
}

bool CZipArchive::OpenEntry(int index) {
    if (IsClosed() || index < 0 || m_iFileOpened != ExtractionState::Nothing) return false;
    const CZipFileHeader* header = m_centralDir.GetHeader(static_cast<size_t>(index));
    if (!header) return false;
    m_info.AllocateBuffer();
    m_storage.ChangeVolume(header->m_uDiskStart);
    m_storage.Seek(m_centralDir.m_uBytesBeforeZip + header->m_uOffset);
    CheckLocalHeader(*header);
    if (header->IsEncrypted()) {
        m_info.ReleaseBuffer();
        return false;
    }
    if (header->m_uMethod != kMethodStored && header->m_uMethod != kMethodDeflated) {
        ThrowError(CZipException::UnsupportedMethod,
                   "unsupported compression method " + std::to_string(header->m_uMethod));
    }
    // A stored entry holds its bytes as they are: other sizes mean a damaged header,
    // and reading by them would never end.
    if (header->m_uMethod == kMethodStored && header->m_uComprSize != header->m_uUncomprSize) {
        ThrowError(CZipException::BadArchive);
    }
    z_stream& stream = m_info.m_stream;
    stream = z_stream{};
    if (header->m_uMethod == kMethodDeflated) {
        if (m_bDetectZlibMemoryLeaks) {
            stream.zalloc = &CZipArchive::ZlibAlloc;
            stream.zfree = &CZipArchive::ZlibFree;
            stream.opaque = this;
        }
        int result = inflateInit2_(&stream, -MAX_WBITS, kZlibVersion, static_cast<int>(sizeof(z_stream)));
        if (result != Z_OK) ThrowError(CZipException::CauseFromZlib(result));
        m_bZlibInitialised = true;
    }
    m_bStreamEnded = false;
    m_uComprLeft = header->m_uComprSize;
    m_uUncomprLeft = header->m_uUncomprSize;
    m_uCrc32 = 0;
    m_pOpenedHeader = header;
    m_centralDir.m_pOpenedFile = header;
    m_iFileOpened = ExtractionState::Extracting;
    return true;
}

bool CZipArchive::FillInput() {
    z_stream& stream = m_info.m_stream;
    if (stream.avail_in > 0) return true;
    if (m_uComprLeft == 0) return false;
    uint32_t size = static_cast<uint32_t>(std::min<uint64_t>(m_info.m_pBuffer.Size(), m_uComprLeft));
    m_storage.ReadExact(m_info.m_pBuffer.Data(), size);
    m_uComprLeft -= size;
    stream.next_in = reinterpret_cast<Bytef*>(m_info.m_pBuffer.Data());
    stream.avail_in = size;
    return true;
}

uint32_t CZipArchive::Inflate(unsigned char* output, uint32_t room, bool drain) {
    z_stream& stream = m_info.m_stream;
    stream.next_out = output;
    stream.avail_out = room;
    uint32_t delivered = 0;
    while (drain || delivered < room) {
        // With all compressed bytes handed over, zlib may still hold output (a long
        // match, its window): it is called on until the stream ends.
        FillInput();
        uInt inBefore = stream.avail_in;
        Bytef* outBefore = stream.next_out;
        int result = inflate(&stream, Z_SYNC_FLUSH);
        auto produced = static_cast<uint32_t>(stream.next_out - outBefore);
        m_uCrc32 = static_cast<uint32_t>(crc32(m_uCrc32, outBefore, produced));
        m_uUncomprLeft -= produced;
        delivered += produced;
        if (result == Z_STREAM_END) {
            m_bStreamEnded = true;
            break;
        }
        if (result != Z_OK && result != Z_NEED_DICT) ThrowError(CZipException::CauseFromZlib(result));
        // No progress: the compressed bytes ended before the stream did, or the
        // stream holds more than the header announces. A raw stream cannot ask for
        // a dictionary, so that result is no progress either.
        if (produced == 0 && stream.avail_in == inBefore) ThrowError(CZipException::CauseFromZlib(Z_BUF_ERROR));
    }
    return delivered;
}

uint32_t CZipArchive::CopyStored(unsigned char* output, uint32_t room) {
    z_stream& stream = m_info.m_stream;
    uint32_t delivered = 0;
    while (delivered < room && FillInput()) {
        uint32_t count = std::min<uint32_t>(room - delivered, stream.avail_in);
        std::memcpy(output + delivered, stream.next_in, count);
        m_uCrc32 = static_cast<uint32_t>(crc32(m_uCrc32, output + delivered, count));
        stream.next_in += count;
        stream.avail_in -= count;
        m_uUncomprLeft -= count;
        delivered += count;
    }
    return delivered;
}

uint32_t CZipArchive::ReadEntry(void* buffer, uint32_t size) {
    if (m_iFileOpened != ExtractionState::Extracting || !buffer || size == 0 || m_bStreamEnded) return 0;
    uint32_t room = std::min(size, m_uUncomprLeft);
    auto* output = static_cast<unsigned char*>(buffer);
    if (m_pOpenedHeader->m_uMethod == kMethodStored) return CopyStored(output, room);
    // With nothing left to deliver, what remains of the stream is still decoded so
    // that its end is seen (an empty deflated file is two bytes of stream).
    return Inflate(output, room, room == 0);
}

int CZipArchive::CloseEntry(std::string_view targetPath, bool afterError) {
    return FinishEntry(targetPath, afterError, false);
}

int CZipArchive::FinishEntry(std::string_view targetPath, bool afterError, bool nativeTarget) {
    if (m_iFileOpened != ExtractionState::Extracting) return kEntryNotClosed;
    struct CEntryEnd {
        CZipArchive& archive;
        ~CEntryEnd() { archive.EndEntry(); }
    } end{*this};
    const CZipFileHeader& header = *m_pOpenedHeader;
    int result = kEntryComplete;
    if (!afterError) {
        if (m_uUncomprLeft > 0) {
            result = kEntryShort;
        } else if (m_uCrc32 != header.m_uCrc32) {
            ThrowError(CZipException::BadCrc);
        }
        if (!targetPath.empty()) {
            std::time_t time = header.GetTime(m_centralDir.m_pLocalExtraField.View());
            std::string native(targetPath);
            bool timeSet = time != static_cast<std::time_t>(-1) &&
                           (nativeTarget ? platform::CTargetFolder::SetWriteTime(native, time)
                                         : platform::SetFileWriteTime(targetPath, time));
            if (!timeSet) return kEntryNotClosed;
            uint32_t attributes = header.GetAttributes();
            bool attributesSet = nativeTarget ? platform::CTargetFolder::SetAttributes(native, attributes)
                                              : platform::SetFileAttributes(targetPath, attributes);
            if (!attributesSet) result = kEntryAttributesFailed;
        }
        // A short entry is a failure already; its descriptor would prove nothing more.
        if (result == kEntryComplete && header.HasDataDescriptor()) ReadDataDescriptor(header);
    }
    return result;
}

void CZipArchive::ReadDataDescriptor(const CZipFileHeader& header) {
    // Whatever compressed bytes the entry did not need lie between here and the descriptor.
    m_storage.Skip(m_uComprLeft);
    m_uComprLeft = 0;
    unsigned char descriptor[12];
    m_storage.ReadExact(descriptor, 4);
    if (!ZipSignature(descriptor, 7, 8)) m_storage.StepBack(4);
    m_storage.ReadExact(descriptor, 12);
    if (ZipU32(descriptor) != header.m_uCrc32 || ZipU32(descriptor + 4) != header.m_uComprSize ||
        ZipU32(descriptor + 8) != header.m_uUncomprSize) {
        ThrowError(CZipException::BadArchive);
    }
}

void CZipArchive::EndEntry() {
    if (m_bZlibInitialised) inflateEnd(&m_info.m_stream);
    m_bZlibInitialised = false;
    m_info.m_stream = z_stream{};
    m_iFileOpened = ExtractionState::Nothing;
    m_pOpenedHeader = nullptr;
    m_centralDir.m_pOpenedFile = nullptr;
    m_info.ReleaseBuffer();
    FreeZlibBlocks();
}

void* CZipArchive::ZlibAlloc(void* opaque, unsigned items, unsigned size) {
    auto* archive = static_cast<CZipArchive*>(opaque);
    if (size != 0 && items > SIZE_MAX / size) return nullptr;
    void* block = std::malloc(static_cast<size_t>(items) * size);
    if (!block) return nullptr;
    try {
        archive->m_zlibBlocks.push_back(block);
    } catch (...) {
        std::free(block);
        return nullptr;
    }
    return block;
}

void CZipArchive::ZlibFree(void* opaque, void* address) {
    auto* archive = static_cast<CZipArchive*>(opaque);
    auto& blocks = archive->m_zlibBlocks;
    auto found = std::find(blocks.begin(), blocks.end(), address);
    if (found != blocks.end()) {
        *found = blocks.back();
        blocks.pop_back();
    }
    std::free(address);
}

void CZipArchive::FreeZlibBlocks() {
    for (void* block : m_zlibBlocks) std::free(block);
    m_zlibBlocks.clear();
}

void CZipArchive::ThrowError(int cause, const std::string& description) const {
    ThrowZipError(cause, m_storage.GetPath(), description);
}
