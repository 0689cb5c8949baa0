#include "patcharchive/ZipFileHeader.h"

#include <zlib.h>

#include <algorithm>

#include "patcharchive/ZipBytes.h"
#include "patcharchive/ZipExtraField.h"
#include "platform/CodePage.h"
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

std::string CZipFileHeader::UnicodePathFromExtra(std::string_view storedName) const {
    // The Unicode path extra field (0x7075) that writers add to names stored in a
    // local code page: version 1, CRC-32 of the stored name, then the UTF-8 name.
    std::string_view extra = m_pExtraField.View();
    size_t at = 0;
    while (at + 4 <= extra.size()) {
        auto* p = reinterpret_cast<const unsigned char*>(extra.data() + at);
        uint16_t id = ZipU16(p);
        uint16_t size = ZipU16(p + 2);
        if (at + 4 + size > extra.size()) break;
        if (id == 0x7075 && size >= 5 && p[4] == 1) {
            uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(storedName.data()),
                              static_cast<uInt>(storedName.size()));
            std::string_view name(extra.data() + at + 9, size - 5u);
            if (ZipU32(p + 5) == crc && platform::IsValidUtf8(name)) return std::string(name);
        }
        at += 4u + size;
    }
    return {};
}

void CZipFileHeader::ConvertFileName() {
    std::string_view stored = m_pszFileName.View();
    std::string name;
    if ((m_uFlag & kFlagUtf8Name) && platform::IsValidUtf8(stored)) {
        name = stored;
    } else {
        name = UnicodePathFromExtra(stored);
        // Without a mark, a name is GBK, as Simplified-Chinese tools write it, unless
        // it is valid UTF-8 (ASCII included): writers on UTF-8 systems store their
        // names as they are, and GBK text almost never forms valid UTF-8.
        if (name.empty()) name = platform::IsValidUtf8(stored) ? std::string(stored) : platform::GbkToUtf8(stored);
    }
    std::replace(name.begin(), name.end(), '/', '\\');
    m_pszFileName.Assign(name);
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
