#include "pack/DataFileBatch.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>

#include "platform/File.h"

CDataFileBatch::CDataFileBatch(platform::CFile& file, char* buffer, size_t capacity)
    : m_file(file), m_pBuffer(buffer), m_nCapacity(capacity) {}

bool CDataFileBatch::Reserve(uint64_t offset, size_t length, char*& place) {
    place = nullptr;
    // No file position lies there; below it nothing here can wrap around.
    if (offset > static_cast<uint64_t>(INT64_MAX) - length) return false;
    uint64_t end = m_uStart + m_nLength;
    bool extends = m_nLength > 0 && offset >= end && offset - end <= kMaxGap &&
                   offset + length - m_uStart <= m_nCapacity;
    if (!extends) {
        if (!Flush()) return false;
        if (length > m_nCapacity) return true;
        m_uStart = offset;
    } else if (!Fill(static_cast<size_t>(offset - m_uStart))) {
        return false;
    }
    place = m_pBuffer + (offset - m_uStart);
    m_nLength = static_cast<size_t>(offset + length - m_uStart);
    m_nFilled = std::max(m_nFilled, m_nLength);
    return true;
}

// The bytes between two copies are written back as they are; past the file's end
// they are the zeros a hole would read as. A read that fails short of the end
// must not turn them into zeros.
bool CDataFileBatch::Fill(size_t until) {
    if (until <= m_nFilled) return true;
    size_t want = std::min(m_nCapacity, std::max(until, m_nFilled + kReadAhead)) - m_nFilled;
    uint64_t from = m_uStart + m_nFilled;
    size_t got = m_file.ReadAt(m_pBuffer + m_nFilled, want, from);
    if (got < until - m_nFilled) {
        std::optional<uint64_t> size = m_file.Size();
        if (!size || from + got < *size) return false;
        std::memset(m_pBuffer + m_nFilled + got, 0, until - m_nFilled - got);
        got = until - m_nFilled;
    }
    m_nFilled += got;
    return true;
}

bool CDataFileBatch::Flush() {
    if (m_nLength == 0) return true;
    bool written = m_file.WriteAt(m_pBuffer, m_nLength, m_uStart);
    if (written) m_uWritten += m_nLength;
    m_nLength = m_nFilled = 0;
    return written;
}

bool CDataFileBatch::WriteDirect(const char* bytes, size_t length, uint64_t offset) {
    if (!m_file.WriteAt(bytes, length, offset)) return false;
    m_uWritten += length;
    return true;
}
