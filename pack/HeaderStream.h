#pragma once
// Little-endian field access for pack headers. The reader never reads past its
// source and knows how many bytes are left, so that a damaged count can be
// rejected before anything is allocated for it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class CFile;
}

class CHeaderReader {
public:
    // Reads from memory.
    explicit CHeaderReader(std::string_view bytes);
    // Reads an open file from its current position to its end.
    explicit CHeaderReader(platform::CFile& file);

    bool ReadBytes(void* out, size_t count);
    bool ReadU32(uint32_t& value);
    bool ReadI32(int32_t& value);
    bool ReadU64(uint64_t& value);
    // A NameLength and its Name; false for a length of 0, one over kPackNameMax, or
    // a name without its terminating zero.
    bool ReadName(std::string& name);

    uint64_t Remaining() const { return (m_data.size() - m_nPosition) + m_nFileLeft; }
    bool AtEnd() const { return Remaining() == 0; }

private:
    bool Refill();

    platform::CFile* m_pFile = nullptr;
    std::vector<char> m_buffer;
    std::string_view m_data;
    size_t m_nPosition = 0;
    uint64_t m_nFileLeft = 0;
};

class CHeaderWriter {
public:
    void WriteBytes(const void* bytes, size_t count) { m_buffer.append(static_cast<const char*>(bytes), count); }
    void WriteU32(uint32_t value);
    void WriteI32(int32_t value) { WriteU32(static_cast<uint32_t>(value)); }
    void WriteU64(uint64_t value);
    // NameLength (the string length plus 1), then the name with its zero.
    void WriteName(std::string_view name);

    const std::string& Bytes() const { return m_buffer; }

private:
    std::string m_buffer;
};
