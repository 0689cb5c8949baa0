#include "pack/HeaderStream.h"

#include <algorithm>
#include <cstring>

#include "pack/PackFileEntry.h"
#include "platform/File.h"

namespace {
constexpr size_t kReadChunk = 1 << 16;
}

CHeaderReader::CHeaderReader(std::string_view bytes) : m_data(bytes) {}

CHeaderReader::CHeaderReader(platform::CFile& file) : m_pFile(&file) {
    std::optional<uint64_t> size = file.Size();
    std::optional<uint64_t> position = file.Tell();
    if (size && position && *size > *position) m_nFileLeft = *size - *position;
}

bool CHeaderReader::Refill() {
    if (!m_pFile || m_nFileLeft == 0) return false;
    size_t keep = m_data.size() - m_nPosition;
    std::vector<char> next(keep + static_cast<size_t>(std::min<uint64_t>(kReadChunk, m_nFileLeft)));
    if (keep > 0) std::memcpy(next.data(), m_data.data() + m_nPosition, keep);
    size_t want = next.size() - keep;
    size_t got = m_pFile->Read(next.data() + keep, want);
    // A file that shrank under us ends here.
    m_nFileLeft = got < want ? 0 : m_nFileLeft - got;
    next.resize(keep + got);
    m_buffer = std::move(next);
    m_data = std::string_view(m_buffer.data(), m_buffer.size());
    m_nPosition = 0;
    return got > 0;
}

bool CHeaderReader::ReadBytes(void* out, size_t count) {
    auto* target = static_cast<char*>(out);
    while (count > 0) {
        if (m_nPosition == m_data.size() && !Refill()) return false;
        size_t take = std::min(count, m_data.size() - m_nPosition);
        std::memcpy(target, m_data.data() + m_nPosition, take);
        m_nPosition += take;
        target += take;
        count -= take;
    }
    return true;
}

bool CHeaderReader::ReadU32(uint32_t& value) {
    unsigned char bytes[4];
    if (!ReadBytes(bytes, sizeof bytes)) return false;
    value = uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
    return true;
}

bool CHeaderReader::ReadI32(int32_t& value) {
    uint32_t raw = 0;
    if (!ReadU32(raw)) return false;
    value = static_cast<int32_t>(raw);
    return true;
}

bool CHeaderReader::ReadU64(uint64_t& value) {
    uint32_t low = 0, high = 0;
    if (!ReadU32(low) || !ReadU32(high)) return false;
    value = uint64_t{high} << 32 | low;
    return true;
}

bool CHeaderReader::ReadName(std::string& name) {
    uint32_t length = 0;
    if (!ReadU32(length) || length == 0 || length > kPackNameMax) return false;
    char bytes[kPackNameMax];
    if (!ReadBytes(bytes, length)) return false;
    const void* zero = std::memchr(bytes, 0, length);
    if (!zero) return false;
    name.assign(bytes, static_cast<size_t>(static_cast<const char*>(zero) - bytes));
    return true;
}

void CHeaderWriter::WriteU32(uint32_t value) {
    char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
                     static_cast<char>(value >> 24)};
    m_buffer.append(bytes, sizeof bytes);
}

void CHeaderWriter::WriteU64(uint64_t value) {
    WriteU32(static_cast<uint32_t>(value));
    WriteU32(static_cast<uint32_t>(value >> 32));
}

void CHeaderWriter::WriteName(std::string_view name) {
    WriteU32(static_cast<uint32_t>(name.size() + 1));
    m_buffer.append(name);
    m_buffer.push_back('\0');
}
