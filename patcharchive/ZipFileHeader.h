#pragma once
// One entry's central header: the fields the reader uses plus its name, extra field
// and comment. The name is held converted (UTF-8, '\' separators; see ZipEntryName.h);
// the length of the name as stored is kept for the comparison with the local header.
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "patcharchive/ZipAutoBuffer.h"

class CZipFileHeader {
public:
    static constexpr uint16_t kFlagEncrypted = 0x0001;
    static constexpr uint16_t kFlagDataDescriptor = 0x0008;
    static constexpr uint16_t kFlagUtf8Name = 0x0800;
    // The flag bits that change how an entry is read (encryption, data descriptor,
    // patched data, strong encryption, name encoding, masked local values): they
    // must agree between the local and the central header. The others are hints
    // (bits 1 and 2 tell the compression level) or carry nothing for a reader.
    static constexpr uint16_t kFlagsThatMustAgree = 0x0001 | 0x0008 | 0x0020 | 0x0040 | 0x0800 | 0x2000;
    static constexpr uint16_t kMethodAes = 99;
    static constexpr uint32_t kAttributeDirectory = 0x10;
    static constexpr size_t kCentralSize = 46;
    static constexpr size_t kLocalSize = 30;

    virtual ~CZipFileHeader() = default;

    // Takes one central header from the front of the directory's bytes; false when
    // they end too early or the signature is missing.
    bool ReadCentral(std::string_view& directory);
    // Converts the stored name as read; see DecodeZipEntryName.
    void ConvertFileName();
    // Why the converted name cannot be used (its bytes are not what the archive
    // says they are), or an empty text.
    const std::string& GetNameProblem() const { return m_strNameProblem; }

    std::string GetFileName() const { return std::string(m_pszFileName.View()); }
    bool IsEncrypted() const { return (m_uFlag & kFlagEncrypted) != 0; }
    bool HasDataDescriptor() const { return (m_uFlag & kFlagDataDescriptor) != 0; }
    bool IsDirectory() const { return (m_uExternalAttr & kAttributeDirectory) != 0; }
    bool IsAesEncrypted() const { return m_uMethod == kMethodAes; }
    // A size, offset or disk number that says its value lies in a ZIP64 block.
    bool UsesZip64() const;
    // The file attributes to give the extracted entry: the DOS ones of the external
    // attributes, read-only also when an entry made on Unix has a mode without the
    // owner's write permission (writers there often leave the DOS bits empty).
    uint32_t GetAttributes() const;
    // The modification time: the UTC time of an extended-timestamp or NTFS block of
    // the central extra field, else of `localExtra`, else the DOS date and time
    // taken as local time.
    std::time_t GetTime(std::string_view localExtra = {}) const;

    uint16_t m_uVersionMadeBy = 0;
    uint16_t m_uVersionNeeded = 0;
    uint16_t m_uFlag = 0;
    uint16_t m_uMethod = 0;
    uint16_t m_uModTime = 0;
    uint16_t m_uModDate = 0;
    uint32_t m_uCrc32 = 0;
    uint32_t m_uComprSize = 0;
    uint32_t m_uUncomprSize = 0;
    uint16_t m_uFileNameSize = 0;  // as stored, before conversion
    uint16_t m_uDiskStart = 0;
    uint16_t m_uInternalAttr = 0;
    uint32_t m_uExternalAttr = 0;
    uint32_t m_uOffset = 0;
    CZipAutoBuffer m_pszFileName;
    CZipAutoBuffer m_pExtraField;
    CZipAutoBuffer m_pszComment;

private:
    std::string m_strNameProblem;
};
