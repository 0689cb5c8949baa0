#pragma once
// Small pieces of a file read through a window of it: pieces that follow one
// another cost one read call per window instead of one each. For a file that
// nothing writes while it is read (the update pack's data file).
#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {
class CFile;
}

class CFileWindow {
public:
    static constexpr size_t kSize = 64 * 1024;
    static constexpr size_t kFirstRead = 4 * 1024;

    explicit CFileWindow(platform::CFile& file) : m_file(file), m_buffer(kSize) {}

    // The `count` bytes at `offset`; false when the file ends before them.
    bool Read(void* out, size_t count, uint64_t offset);

private:
    platform::CFile& m_file;
    std::vector<char> m_buffer;
    // The window holds [m_uStart, m_uStart + m_nLength) of the file.
    uint64_t m_uStart = 0;
    size_t m_nLength = 0;
    // How much the next refill reads.
    size_t m_nReadSize = kFirstRead;
};
