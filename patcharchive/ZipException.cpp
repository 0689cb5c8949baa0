#include "patcharchive/ZipException.h"

#include <zlib.h>

#include <utility>

CZipException::CZipException(int cause, std::string archivePath, std::string description)
    : m_nCause(cause), m_archivePath(std::move(archivePath)) {
    m_message = description.empty() ? std::string(DescribeCause(cause)) : std::move(description);
    if (!m_archivePath.empty()) m_message += " (" + m_archivePath + ")";
}

int CZipException::CauseFromZlib(int zlibResult) {
    switch (zlibResult) {
        case Z_STREAM_END: return ZlibStreamEnd;
        case Z_NEED_DICT: return ZlibNeedDictionary;
        case Z_ERRNO: return ZlibFileError;
        case Z_STREAM_ERROR: return ZlibStreamError;
        case Z_DATA_ERROR: return ZlibDataError;
        case Z_MEM_ERROR: return ZlibMemoryError;
        case Z_BUF_ERROR: return ZlibBufferError;
        case Z_VERSION_ERROR: return ZlibVersionError;
        default: return Generic;
    }
}

const char* CZipException::DescribeCause(int cause) {
    switch (cause) {
        case ZlibStreamEnd: return "unexpected end of the compressed data";
        case ZlibNeedDictionary: return "the compressed data needs a dictionary";
        case ZlibFileError: return "file error while decompressing";
        case ZlibStreamError: return "inconsistent decompression state";
        case ZlibDataError: return "the compressed data are damaged";
        case ZlibMemoryError: return "out of memory while decompressing";
        case ZlibBufferError: return "the compressed data end too early";
        case ZlibVersionError: return "incompatible zlib version";
        case BadArchive: return "the archive is damaged or not a ZIP archive";
        case BadCrc: return "CRC mismatch: an entry's data are damaged";
        case RemovableMultiVolume: return "multi-volume archive on a removable drive";
        case DiskChangeRefused: return "disk change refused";
        case VolumeWriteAborted:
        case VolumeTooSmall:
        case TooManyVolumes: return "multi-volume archives cannot be written";
        case BadPassword: return "wrong password";
        case CentralDirNotFound: return "the archive's central directory was not found";
        case Zip64Unsupported: return "ZIP64 archives are not supported";
        case TooManyEntries: return "the archive holds more than 65535 entries";
        case UnsupportedMethod: return "unsupported compression method";
        default: return "ZIP archive error";
    }
}

void ThrowZipError(int cause, const std::string& archivePath, const std::string& description) {
    throw CZipException(cause, archivePath, description);
}
