#pragma once
// An open file, closed when the object goes. Binary I/O only.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace platform {

class CFile {
public:
    enum class Mode {
        Read,          // existing file, read only
        ReadWrite,     // existing file, read and write
        Create,        // create or truncate, write only
        CreateReadWrite,  // create or truncate, read and write
        Append,        // existing file, read and write, writes go to the end
    };

    CFile() = default;
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    CFile(CFile&& other) noexcept;
    CFile& operator=(CFile&& other) noexcept;

    bool Open(std::string_view path, Mode mode);
    bool Close();
    bool IsOpen() const { return m_nDescriptor >= 0; }
    int Descriptor() const { return m_nDescriptor; }

    // Reads until count bytes, end of file or an error; returns what was read.
    size_t Read(void* buffer, size_t count);
    bool ReadExact(void* buffer, size_t count) { return Read(buffer, count) == count; }
    // Writes everything or returns false.
    bool Write(const void* buffer, size_t count);
    // The same at a position, leaving the file position alone.
    size_t ReadAt(void* buffer, size_t count, uint64_t position);
    bool WriteAt(const void* buffer, size_t count, uint64_t position);
    bool Seek(uint64_t position);
    bool SeekRelative(int64_t delta);
    std::optional<uint64_t> SeekToEnd();
    std::optional<uint64_t> Tell() const;
    std::optional<uint64_t> Size() const;
    // Cuts the file (or extends it with zeros) to `length` bytes.
    bool Truncate(uint64_t length);
    bool Sync();
    // errno of the last failed call.
    int LastError() const { return m_nLastError; }

private:
    int m_nDescriptor = -1;
    int m_nLastError = 0;
};

}  // namespace platform
