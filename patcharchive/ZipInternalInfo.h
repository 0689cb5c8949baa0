#pragma once
// Decompression state of the open entry: the zlib stream and the buffer of
// compressed input read from the archive.
#include <zlib.h>

#include "patcharchive/ZipAutoBuffer.h"

class CZipInternalInfo {
public:
    CZipInternalInfo();
    virtual ~CZipInternalInfo() = default;
    CZipInternalInfo(const CZipInternalInfo&) = delete;
    CZipInternalInfo& operator=(const CZipInternalInfo&) = delete;

    void AllocateBuffer() { m_pBuffer.Allocate(m_nBufferSize); }
    void ReleaseBuffer() { m_pBuffer.Release(); }

    z_stream m_stream;
    CZipAutoBuffer m_pBuffer;
    size_t m_nBufferSize = 16384;
};
