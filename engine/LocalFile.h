#pragma once
// The file a download writes: created or truncated, binary, write only.
#include <cstddef>
#include <string_view>

#include "platform/File.h"

class LocalFile {
public:
    // Closes a file that is still open first.
    bool Open(std::string_view name);
    // True when every byte was stored.
    bool Write(const void* bytes, size_t count);
    void Close();
    bool IsOpen() const { return m_file.IsOpen(); }
    int LastError() const { return m_file.LastError(); }

private:
    platform::CFile m_file;
};
