#pragma once
// The merge's writes into data.vaf, gathered. Copies that follow one another
// into regions lying close together are put into one buffer, with the bytes
// between them read back from the file, and go out as one write. A write into
// the page cache costs the kernel a walk over the whole folio it lands in, and
// large files sit in large folios: a write per small file made the merge's cost
// grow faster than the pack.
#include <cstddef>
#include <cstdint>

namespace platform {
class CFile;
}

class CDataFileBatch {
public:
    // Gaps up to this long are read back and written again rather than split
    // the batch: a few pages cost less than another walk over a large folio.
    static constexpr size_t kMaxGap = 16 * 1024;
    // Bytes past a gap are read along with it: the next gaps are then in hand.
    static constexpr size_t kReadAhead = 64 * 1024;

    // `buffer` of `capacity` bytes holds the batch; the file is open for reading
    // and writing.
    CDataFileBatch(platform::CFile& file, char* buffer, size_t capacity);

    // Room for `length` bytes at `offset`: inside the batch, which is extended
    // over the gap before it or written out and begun anew. `place` is null when
    // the region does not fit the buffer; it must then be written directly, once
    // the batch is out. False when the batch could not be written, the bytes
    // between not read, or the region lies beyond any file's reach.
    bool Reserve(uint64_t offset, size_t length, char*& place);
    // Writes what the batch holds.
    bool Flush();
    // Writes bytes outside the batch (an empty one: after a Reserve without room).
    bool WriteDirect(const char* bytes, size_t length, uint64_t offset);
    // Bytes written to the file so far.
    uint64_t Written() const { return m_uWritten; }

private:
    // Makes the buffer hold the file's bytes up to `until` (relative to m_uStart).
    bool Fill(size_t until);

    platform::CFile& m_file;
    char* m_pBuffer;
    size_t m_nCapacity;
    // The batch stands for [m_uStart, m_uStart + m_nLength) of the file; the
    // buffer holds the file's own bytes on from there up to m_nFilled.
    uint64_t m_uStart = 0;
    size_t m_nLength = 0;
    size_t m_nFilled = 0;
    uint64_t m_uWritten = 0;
};
