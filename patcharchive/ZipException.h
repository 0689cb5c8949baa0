#pragma once
// Errors of the ZIP reader. Every damaged, truncated or unreadable archive ends in
// one of these; nothing of the reader reports such a state by crashing or looping.
#include <exception>
#include <string>

class CZipException : public std::exception {
public:
    enum Cause {
        Generic = 1,
        // zlib results 1, 2, -1, -2, -3, -4, -5, -6 in this order.
        ZlibStreamEnd = 2,
        ZlibNeedDictionary = 3,
        ZlibFileError = 4,
        ZlibStreamError = 5,
        ZlibDataError = 6,
        ZlibMemoryError = 7,
        ZlibBufferError = 8,
        ZlibVersionError = 9,
        BadArchive = 10,
        BadCrc = 11,
        RemovableMultiVolume = 12,
        DiskChangeRefused = 13,
        VolumeWriteAborted = 14,
        VolumeTooSmall = 15,
        TooManyVolumes = 16,
        BadPassword = 17,
        CentralDirNotFound = 18,
        // Features of the format that this reader does not implement, told apart
        // from damage so that a publisher knows what to change.
        Zip64Unsupported = 19,
        TooManyEntries = 20,
        UnsupportedMethod = 21,
    };

    // `description` replaces the cause's own text (to name a method, for example).
    CZipException(int cause, std::string archivePath, std::string description = {});
    ~CZipException() override = default;

    int GetCause() const { return m_nCause; }
    const std::string& GetArchivePath() const { return m_archivePath; }
    const char* what() const noexcept override { return m_message.c_str(); }

    // The cause that a zlib result stands for.
    static int CauseFromZlib(int zlibResult);
    static const char* DescribeCause(int cause);

private:
    int m_nCause;
    std::string m_archivePath;
    std::string m_message;
};

// Raises a CZipException.
[[noreturn]] void ThrowZipError(int cause, const std::string& archivePath, const std::string& description = {});
