#pragma once
// A file written front to back whose final size is announced beforehand. The
// announced size is reserved on disk and the bytes are copied straight into the
// file's shared pages, so each write reaches the file at once without a system
// call per write. Bytes past the announced size, and files where the space
// cannot be reserved or mapped, go through plain writes instead.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/File.h"

namespace platform {

class CMappedFileWriter {
public:
    CMappedFileWriter() = default;
    ~CMappedFileWriter();
    CMappedFileWriter(const CMappedFileWriter&) = delete;
    CMappedFileWriter& operator=(const CMappedFileWriter&) = delete;

    // Creates or truncates the file. Closes a file that is still open first.
    bool Open(std::string_view path);
    // The size the writes will reach. The space is reserved by the first
    // write, so that a free-space check between opening and writing still
    // sees it free; where it cannot be reserved, writes are plain.
    void ExpectSize(uint64_t size) { m_expected = m_written == 0 ? size : 0; }
    // True when every byte was stored.
    bool Write(const void* bytes, size_t count);
    // Cuts the reserved tail off and writes plainly from here on, so that the
    // file holds exactly what was written while it stays open.
    bool Settle();
    // Settles and closes.
    bool Close();
    bool IsOpen() const { return m_file.IsOpen(); }
    uint64_t Written() const { return m_written; }
    int LastError() const { return m_nLastError; }

private:
    bool OpenView();
    bool Reserve(uint64_t size);
    bool MapWindowAt(uint64_t position);
    void UnmapWindow();
    void WriteMapped(const unsigned char*& bytes, size_t& count);
    bool WritePlain(const void* bytes, size_t count);
    bool Fail(int error);

    CFile m_file;
    int m_nViewDescriptor = -1;  // read-write, for the mapping only
    uint64_t m_written = 0;
    uint64_t m_expected = 0;
    uint64_t m_reserved = 0;  // allocated on disk; cut back to what was written on close
    uint64_t m_mappable = 0;  // written through the mapping below this offset
    unsigned char* m_pWindow = nullptr;
    uint64_t m_windowStart = 0;
    size_t m_windowLength = 0;
    bool m_bSeekBeforePlainWrite = false;  // the mapping moved past the descriptor's position
    int m_nLastError = 0;
};

}  // namespace platform
