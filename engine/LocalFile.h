#pragma once
// The file a download writes: created or truncated, binary, written front to
// back. Once the announced size is reserved, each read is stored straight
// into the file's pages.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/MappedFileWriter.h"

class LocalFile {
public:
    // Closes a file that is still open first.
    bool Open(std::string_view name) { return m_file.Open(name); }
    // The size the server announced; a file that cannot reserve it is still written.
    void ExpectSize(int64_t size) { m_file.ExpectSize(size > 0 ? static_cast<uint64_t>(size) : 0); }
    // True when every byte was stored.
    bool Write(const void* bytes, size_t count) { return m_file.Write(bytes, count); }
    // After a failed transfer the open file holds what arrived, nothing more.
    void Settle() { m_file.Settle(); }
    void Close() { m_file.Close(); }
    bool IsOpen() const { return m_file.IsOpen(); }
    int LastError() const { return m_file.LastError(); }

private:
    platform::CMappedFileWriter m_file;
};
