#include "patcharchive/ZipFileHeader.h"

#include "patcharchive/ZipBytes.h"
#include "patcharchive/ZipEntryName.h"
#include "patcharchive/ZipExtraField.h"
#include "platform/FileSystem.h"

namespace {

bool TakePart(std::string_view& directory, CZipAutoBuffer& buffer, uint16_t size) {
    if (size > directory.size()) return false;
    buffer.Assign(directory.substr(0, size));
    directory.remove_prefix(size);
    return true;
}

}  // namespace

bool CZipFileHeader::ReadCentral(std::string_view& directory) {
    if (directory.size() < kCentralSize) return false;
    const auto* fixed = reinterpret_cast<const unsigned char*>(directory.data());
    if (!ZipSignature(fixed, 1, 2)) return false;
    m_uVersionMadeBy = ZipU16(fixed + 4);
    m_uVersionNeeded = ZipU16(fixed + 6);
    m_uFlag = ZipU16(fixed + 8);
    m_uMethod = ZipU16(fixed + 10);
    m_uModTime = ZipU16(fixed + 12);
    m_uModDate = ZipU16(fixed + 14);
    m_uCrc32 = ZipU32(fixed + 16);
    m_uComprSize = ZipU32(fixed + 20);
    m_uUncomprSize = ZipU32(fixed + 24);
    m_uFileNameSize = ZipU16(fixed + 28);
    uint16_t extraSize = ZipU16(fixed + 30);
    uint16_t commentSize = ZipU16(fixed + 32);
    m_uDiskStart = ZipU16(fixed + 34);
    m_uInternalAttr = ZipU16(fixed + 36);
    m_uExternalAttr = ZipU32(fixed + 38);
    m_uOffset = ZipU32(fixed + 42);
    directory.remove_prefix(kCentralSize);
    return TakePart(directory, m_pszFileName, m_uFileNameSize) && TakePart(directory, m_pExtraField, extraSize) &&
           TakePart(directory, m_pszComment, commentSize);
}

void CZipFileHeader::ConvertFileName() {
    ZipEntryName decoded =
        DecodeZipEntryName((m_uFlag & kFlagUtf8Name) != 0, m_pszFileName.View(), m_pExtraField.View());
    m_strNameProblem = std::move(decoded.problem);
    m_pszFileName.Assign(decoded.name);
}

bool CZipFileHeader::UsesZip64() const {
    bool saturated = m_uComprSize == UINT32_MAX || m_uUncomprSize == UINT32_MAX || m_uOffset == UINT32_MAX ||
                     m_uDiskStart == UINT16_MAX;
    return saturated && FindExtraBlock(m_pExtraField.View(), kExtraZip64).has_value();
}

uint32_t CZipFileHeader::GetAttributes() const {
    constexpr unsigned kHostUnix = 3;
    constexpr unsigned kHostDarwin = 19;
    constexpr uint32_t kOwnerWrite = 0200;
    unsigned host = m_uVersionMadeBy >> 8;
    if (host != kHostUnix && host != kHostDarwin) return m_uExternalAttr;
    // The high half is the Unix mode; a mode of 0 is a writer that recorded none,
    // not a file that nobody may write.
    uint32_t mode = m_uExternalAttr >> 16;
    uint32_t attributes = m_uExternalAttr & 0xFFFF;
    if (mode != 0 && (mode & kOwnerWrite) == 0) attributes |= platform::kAttributeReadOnly;
    return attributes;
}

std::time_t CZipFileHeader::GetTime(std::string_view localExtra) const {
    if (auto exact = ExtraModificationTime(m_pExtraField.View())) return *exact;
    if (auto exact = ExtraModificationTime(localExtra)) return *exact;
    std::tm time{};
    time.tm_sec = (m_uModTime & 0x1F) * 2;
    time.tm_min = (m_uModTime >> 5) & 0x3F;
    time.tm_hour = m_uModTime >> 11;
    time.tm_mday = m_uModDate & 0x1F;
    time.tm_mon = ((m_uModDate >> 5) & 0x0F) - 1;
    time.tm_year = (m_uModDate >> 9) + 80;
    time.tm_isdst = -1;  // daylight saving as the system decides for that date
    return std::mktime(&time);
}
