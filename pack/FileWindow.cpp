#include "pack/FileWindow.h"

#include <algorithm>
#include <cstring>

#include "platform/File.h"

bool CFileWindow::Read(void* out, size_t count, uint64_t offset) {
    bool inside = offset >= m_uStart && offset - m_uStart <= m_nLength && count <= m_nLength - (offset - m_uStart);
    if (!inside) {
        // Reading on from the window grows it; a jump starts small again, so
        // pieces taken in no order cost little more than a read each.
        bool onward = offset >= m_uStart && offset - m_uStart <= m_nLength && m_nLength > 0;
        m_nReadSize = onward ? std::min(m_buffer.size(), 2 * m_nReadSize) : kFirstRead;
        if (count > m_nReadSize) return m_file.ReadAt(out, count, offset) == count;
        m_uStart = offset;
        m_nLength = m_file.ReadAt(m_buffer.data(), m_nReadSize, offset);
        if (count > m_nLength) return false;
    }
    std::memcpy(out, m_buffer.data() + (offset - m_uStart), count);
    return true;
}
